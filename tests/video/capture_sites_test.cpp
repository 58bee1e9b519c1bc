// Captures for video sites, read back through FFmpeg: frames of any size with
// the picture on black in blocks of whole pixels, the MP4's index before its
// data, the colour tags and the matrix the colours were converted by, and the
// 48 kHz sound track in step with the pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture_fixtures.h"
#include "raster/rasterise.h"
#include "read_back.h"

namespace {

using raster::PICTURE_HEIGHT;
using raster::PICTURE_WIDTH;

struct Placement {
    int frameWidth, frameHeight, left, top, width, height;
};

// The console picture of `cells` in the frame as nearest-neighbour scaling
// draws it: each frame pixel in the picture's rectangle shows the console pixel
// under its centre, the rest is black. RGB24.
std::vector<uint8_t> scaledPicture(const ScreenBuffer& cells, const Placement& at)
{
    std::vector<uint8_t> console(raster::pictureBytes(1));
    raster::rasteriseCells(cells.data(), 1, console.data(), raster::pictureRowBytes(1));
    std::vector<uint8_t> frame(size_t(at.frameWidth) * size_t(at.frameHeight) * 3, 0);
    for (int y = 0; y < at.height; ++y)
        for (int x = 0; x < at.width; ++x) {
            const int sx = (2 * x + 1) * PICTURE_WIDTH / (2 * at.width);
            const int sy = (2 * y + 1) * PICTURE_HEIGHT / (2 * at.height);
            std::memcpy(&frame[(size_t(y + at.top) * size_t(at.frameWidth) + size_t(x + at.left)) * 3],
                        &console[(size_t(sy) * PICTURE_WIDTH + size_t(sx)) * 3], 3);
        }
    return frame;
}

TEST(CaptureForSites, SizesCentreThePictureOnBlackInBlocksOfWholePixels)
{
    // 16:9 sizes: at 2.7 (blocks of 2 and 3 pixels) filling the height, at
    // the whole scale 5 with bars all round; a portrait frame: the width filled.
    const Placement sizes[] = {{1920, 1080, 96, 0, 1728, 1080},
                               {3840, 2160, 320, 80, 3200, 2000},
                               {800, 1200, 0, 350, 800, 500}};
    const std::string song = longIntroSong(), out = temp("size.mkv"), cells = temp("size.cells");
    for (const Placement& at : sizes) {
        const std::string size = std::to_string(at.frameWidth) + "x" + std::to_string(at.frameHeight);
        ASSERT_EQ(capture(out + " --size " + size + " --fps 10 --start 1 --seconds 0.1 --song " + song +
                          " --cells " + cells).first, 0) << size;
        const ReadBack file = readBack(out);
        ASSERT_EQ(file.pictures.size(), 1u) << size;
        EXPECT_EQ(file.width, at.frameWidth);
        EXPECT_EQ(file.height, at.frameHeight);
        const std::vector<uint8_t> expected = scaledPicture(cellsOf(bytesOf(cells), 0), at);
        const std::vector<uint8_t>& got = file.pictures[0];
        ASSERT_EQ(got.size(), expected.size()) << size;
        size_t wrong = 0, first = 0;
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] != expected[i] && wrong++ == 0) first = i / 3;
        EXPECT_EQ(wrong, 0u) << size << ": first at (" << first % size_t(at.frameWidth) << ", "
                             << first / size_t(at.frameWidth) << ")";
    }
    std::remove(out.c_str());
    std::remove(cells.c_str());
}

// The names of the top-level boxes of an MP4 file, in order.
std::vector<std::string> topLevelBoxes(const std::vector<uint8_t>& bytes)
{
    std::vector<std::string> names;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        uint64_t size = uint64_t(bytes[at]) << 24 | uint64_t(bytes[at + 1]) << 16 | uint64_t(bytes[at + 2]) << 8 | bytes[at + 3];
        names.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        if (size == 1 && at + 16 <= bytes.size())
            for (int i = 0; i < 8; ++i) size = i == 0 ? bytes[at + 8] : size << 8 | bytes[at + 8 + size_t(i)];
        if (size < 8) break;
        at += size;
    }
    return names;
}

// Limited-range Y'CbCr of an RGB colour by a matrix's luma weights of red and blue.
std::array<double, 3> yuvOf(const uint8_t* rgb, double kr, double kb)
{
    const double r = rgb[0] / 255.0, g = rgb[1] / 255.0, b = rgb[2] / 255.0;
    const double y = kr * r + (1 - kr - kb) * g + kb * b;
    return {16 + 219 * y, 128 + 224 * (b - y) / (2 * (1 - kb)), 128 + 224 * (r - y) / (2 * (1 - kr))};
}

// How far a decoded 4:2:0 frame is from the expected RGB frame converted by
// the matrix: the mean absolute difference over the three planes (chroma
// against the top left pixel of each 2 by 2 block), in the coloured pixels
// (greys are the same by every matrix).
double meanDifference(const std::vector<uint8_t>& yuv, const std::vector<uint8_t>& rgb, int width, int height,
                      double kr, double kb)
{
    const size_t lumaBytes = size_t(width) * size_t(height), chromaBytes = lumaBytes / 4;
    double sum = 0;
    size_t count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t pixel = size_t(y) * size_t(width) + size_t(x);
            const uint8_t* colour = &rgb[pixel * 3];
            if (colour[0] == colour[1] && colour[1] == colour[2]) continue;
            const std::array<double, 3> expected = yuvOf(colour, kr, kb);
            sum += std::fabs(yuv[pixel] - expected[0]);
            ++count;
            if (x % 2 == 0 && y % 2 == 0) {
                const size_t chroma = size_t(y / 2) * size_t(width / 2) + size_t(x / 2);
                sum += std::fabs(yuv[lumaBytes + chroma] - expected[1]);
                sum += std::fabs(yuv[lumaBytes + chromaBytes + chroma] - expected[2]);
                count += 2;
            }
        }
    return count > 0 ? sum / double(count) : 0.0;
}

TEST(CaptureForSites, IndexFirstAndColoursConvertedAsTheirTagsSay)
{
    const struct {
        const char* name;
        std::string size;
        Placement at;
        bool bt709;
    } kinds[] = {
        {"hd.mp4", "--size 1920x1080", {1920, 1080, 96, 0, 1728, 1080}, true},
        {"sd.mp4", "--scale 1", {640, 400, 0, 0, 640, 400}, false},
        {"hd.webm", "--size 1280x720", {1280, 720, 64, 0, 1152, 720}, true},  // 720 lines: HD
    };
    const std::string song = longIntroSong(), cells = temp("tags.cells");
    for (const auto& kind : kinds) {
        const std::string out = temp(kind.name);
        ASSERT_EQ(capture(out + " " + kind.size + " --fps 10 --start 1 --seconds 0.1 --song " + song +
                          " --cells " + cells).first, 0) << kind.name;
        const ReadBack file = readBack(out);
        const int matrix = kind.bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        EXPECT_EQ(file.matrix, matrix) << kind.name;
        EXPECT_EQ(file.primaries, kind.bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M) << kind.name;
        EXPECT_EQ(file.transfer, kind.bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M) << kind.name;
        if (std::string(kind.name).find(".mp4") != std::string::npos) {
            const std::vector<std::string> boxes = topLevelBoxes(bytesOf(out));
            const auto index = std::find(boxes.begin(), boxes.end(), "moov"), data = std::find(boxes.begin(), boxes.end(), "mdat");
            EXPECT_TRUE(index < data && data != boxes.end()) << kind.name << ": the index after the data";
        }
        // Decoded, the colours are those of the tagged matrix within the
        // coding's small loss, and far from the other matrix's.
        ASSERT_EQ(file.pictures.size(), 1u) << kind.name;
        const std::vector<uint8_t> rgb = scaledPicture(cellsOf(bytesOf(cells), 0), kind.at);
        const double bt709 = meanDifference(file.pictures[0], rgb, kind.at.frameWidth, kind.at.frameHeight, 0.2126, 0.0722);
        const double bt601 = meanDifference(file.pictures[0], rgb, kind.at.frameWidth, kind.at.frameHeight, 0.299, 0.114);
        EXPECT_LT(kind.bt709 ? bt709 : bt601, 2.5) << kind.name << ": BT.709 " << bt709 << ", BT.601 " << bt601;
        EXPECT_GT(kind.bt709 ? bt601 : bt709, 5.0) << kind.name << ": BT.709 " << bt709 << ", BT.601 " << bt601;
        std::remove(out.c_str());
    }
    std::remove(cells.c_str());
}

// The lag, in samples of `heard`, at which it matches `played` best, from
// -range to range.
int bestLag(const std::vector<float>& heard, const std::vector<float>& played, int range)
{
    int best = 0;
    double bestScore = -1e300;
    for (int lag = -range; lag <= range; ++lag) {
        double score = 0;
        for (size_t i = size_t(range); i + size_t(range) < played.size() && i + size_t(range) < heard.size(); ++i)
            score += double(played[i]) * heard[size_t(int(i) + lag)];
        if (score > bestScore) bestScore = score, best = lag;
    }
    return best;
}

TEST(CaptureForSites, SoundAt48kHzStartsWithThePictures)
{
    // The decoder's sound, taken to 48 kHz by linear interpolation, against
    // the coded track: the best match within 50 ms either way (the notes
    // repeat every 120 ms) is where it should be, not moved by the
    // resampler's or the encoder's delay (AAC's alone is 21 ms).
    const std::string song = songOf("rate.xm", 10);
    const std::vector<int16_t> sound = decoderSound(song, 44100);
    std::vector<float> played(48000 / 2);
    for (size_t i = 0; i < played.size(); ++i) {
        const double at = double(i) * 44100.0 / 48000.0;
        const size_t k = size_t(at);
        const double f = at - double(k);
        played[i] = float(((1 - f) * sound[2 * k] + f * sound[2 * k + 2]) / 32768.0);
    }
    for (const char* name : {"rate.mp4", "rate.webm"}) {
        const std::string out = temp(name);
        ASSERT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.5 --song " + song).first, 0) << name;
        const ReadBack file = readBack(out);
        EXPECT_EQ(file.soundRate, 48000) << name;
        // One millisecond either way is far below what anyone hears.
        EXPECT_LE(std::abs(bestLag(file.left, played, 2400)), 48) << name;
        std::remove(out.c_str());
    }
}

}  // namespace
