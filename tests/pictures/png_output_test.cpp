// The PNG pictures of the workbench are what the window and the videos show
// and what the README displays, and other renderings are compared with them:
// each must be the rasterised cells of the frame asked for, at the scale asked
// for, as 8-bit RGB; a bad scale must fail loudly; and the README's committed
// pictures must still be what the code renders. The icons drawn at each size
// must be the logo, transparent where it is.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "art/images.h"
#include "raster/rasterise.h"
#include "tool_process.h"

namespace {

struct Decoded {
    bool ok = false;
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
    std::vector<uint8_t> rgb;  // or RGBA, as asked for
};

Decoded decodePng(const std::string& bytes, png_uint_32 format = PNG_FORMAT_RGB)
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
    image.format = format;
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

// The icon at every size the packages and the Windows build use: at 256
// pixels the opaque pixels are the 256-pixel RGB icon's; below 4 pixels a
// cell, each pixel is its cell's colour (lit white, solid black); everywhere
// transparent exactly where the logo (or the square's margin) is.
TEST(IconPng, IsTheLogoWithItsTransparencyAtEachSize)
{
    const std::string digits = tool("art", "logo3 --format digits").second;
    const int side = LOGO3_WIDTH, top = (side - LOGO3_HEIGHT) / 2;
    auto cell = [&](int row, int column) {
        row -= top;
        return row < 0 || row >= LOGO3_HEIGHT ? 2 : digits[size_t(row * (LOGO3_WIDTH + 1) + column)] - '0';
    };
    const Decoded opaqueIcon = decodePng(tool("art", "logo3 --format png").second);
    ASSERT_TRUE(opaqueIcon.ok && opaqueIcon.width == 256);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const auto png = tool("art", "logo3 --format png --size " + std::to_string(size));
        ASSERT_EQ(png.first, 0) << size;
        const Decoded d = decodePng(png.second, PNG_FORMAT_RGBA);
        ASSERT_TRUE(d.ok && d.width == size && d.height == size) << size;
        EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_RGB_ALPHA) << size;
        int wrong = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const uint8_t* p = &d.rgb[size_t(y * size + x) * 4];
                const int value = cell(y * side / size, x * side / size);
                bool right = (p[3] == 0) == (value == 2) && (p[3] == 0 || p[3] == 255);
                if (size == 256 && value != 2)
                    right = right && std::equal(p, p + 3, &opaqueIcon.rgb[size_t(y * size + x) * 3]);
                else if (size < 128 && value != 2)
                    right = right && p[0] == p[1] && p[1] == p[2] && p[0] == (value == 1 ? 255 : 0);
                wrong += right ? 0 : 1;
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels not as the logo at size " << size;
    }
    for (const char* bad : {"--size 15", "--size 257", "--size 32.0", "--size", "--size=0"}) {
        const auto refused = tool("art", std::string("logo3 --format png ") + bad, "2>&1 >/dev/null");
        EXPECT_EQ(refused.first, 2) << bad;
        EXPECT_NE(refused.second.find("16 to 256"), std::string::npos) << bad;
    }
    // Only a logo, only as a PNG.
    EXPECT_EQ(tool("art", "warpTexture --format png --size 32").first, 2);
    EXPECT_EQ(tool("art", "logo3 --format digits --size 32"), std::make_pair(2, std::string()));
    EXPECT_EQ(tool("art", "logo2 --format=png --size=48").first, 0);
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
