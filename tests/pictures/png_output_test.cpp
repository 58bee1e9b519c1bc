// The PNG pictures of the workbench are what the window and the videos show
// and what the README displays, and other renderings are compared with them:
// each must be the rasterised cells of the frame asked for, at the scale asked
// for, as 8-bit RGB; a bad scale must fail loudly; and the README's committed
// pictures must still be what the code renders.
#include <gtest/gtest.h>

#include <png.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "raster/rasterise.h"
#include "tool_process.h"

namespace {

struct Decoded {
    bool ok = false;
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
    std::vector<uint8_t> rgb;
};

Decoded decodePng(const std::string& bytes)
{
    Decoded d;
    if (bytes.size() < 33) return d;
    // The header chunk as written: width, height, bit depth, colour type.
    auto u8 = [&](size_t i) { return unsigned(uint8_t(bytes[i])); };
    d.bitDepth = int(u8(24));
    d.colourType = int(u8(25));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return d;
    image.format = PNG_FORMAT_RGB;
    d.rgb.resize(PNG_IMAGE_SIZE(image));
    d.ok = png_image_finish_read(&image, nullptr, d.rgb.data(), 0, nullptr) != 0;
    d.width = int(image.width);
    d.height = int(image.height);
    return d;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PngOutput, IsTheRasterisedCellsOfTheFrameAtEachScale)
{
    const std::string state = "--order 20 --time 101.5 --view 100 --beats 7 --accent 2 --beat-pulse 1";
    const auto raw = tool("frame", state + " --format raw");
    ASSERT_EQ(raw.first, 0);
    ASSERT_EQ(raw.second.size(), size_t(CELL_COUNT * 4));
    ScreenBuffer cells;
    for (int i = 0; i < CELL_COUNT; ++i) {
        auto byte = [&](int k) { return uint16_t(uint8_t(raw.second[size_t(4 * i + k)])); };
        cells[size_t(i)] = {uint16_t(byte(0) | byte(1) << 8), uint16_t(byte(2) | byte(3) << 8)};
    }
    for (int scale : {1, 3}) {
        const auto png = tool("frame", state + " --format png" + (scale == 1 ? "" : " --scale 3"));
        ASSERT_EQ(png.first, 0);
        const Decoded d = decodePng(png.second);
        ASSERT_TRUE(d.ok) << "scale " << scale;
        EXPECT_EQ(d.width, 640 * scale);
        EXPECT_EQ(d.height, 400 * scale);
        EXPECT_EQ(d.bitDepth, 8);
        EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_RGB);
        std::vector<uint8_t> expected(raster::pictureBytes(scale));
        raster::rasteriseCells(cells.data(), scale, expected.data(), raster::pictureRowBytes(scale));
        EXPECT_TRUE(d.rgb == expected) << "scale " << scale;
    }
}

TEST(PngOutput, BadScalesAndUnwritableOutputFail)
{
    for (const char* bad : {"--format png --scale 0", "--format png --scale 9", "--format png --scale 1.5",
                            "--format png --scale", "--scale 2", "--format raw --scale 1"}) {
        EXPECT_EQ(tool("frame", bad), std::make_pair(2, std::string())) << bad;
        EXPECT_NE(tool("frame", bad, "2>&1 >/dev/null").second.find("usage: murl13-tool frame"), std::string::npos)
            << bad;
    }
    EXPECT_EQ(tool("frame", "--format png", ">/dev/full 2>/dev/null").first, 1);
}

TEST(ReadmePictures, AreWhatTheCurrentCodeRenders)
{
    std::ifstream list(std::string(MURL13_SOURCE_DIR) + "/docs/pictures.txt");
    ASSERT_TRUE(list) << "docs/pictures.txt";
    int pictures = 0;
    for (std::string line; std::getline(list, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string name = line.substr(0, line.find(' '));
        const std::string options = line.substr(name.size());
        const Decoded committed = decodePng(readFile(std::string(MURL13_SOURCE_DIR) + "/docs/" + name));
        const Decoded rendered = decodePng(tool("frame", options + " --format png").second);
        ASSERT_TRUE(committed.ok && rendered.ok) << name;
        EXPECT_TRUE(committed.rgb == rendered.rgb) << name << " differs: run docs/make_pictures.sh";
        ++pictures;
    }
    EXPECT_GE(pictures, 5);
}

}  // namespace
