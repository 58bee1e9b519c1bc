// Captures for video sites, read back through FFmpeg: frames of any size with
// the picture on black in blocks of whole pixels, the MP4's index before its
// data, the colour tags and the matrix the colours were converted by, and the
// 48 kHz sound track in step with the pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// The first frame of a capture's cells as nearest-neighbour scaling draws it:
// each frame pixel in the picture's rectangle shows the console pixel under
// its centre, the rest is black. RGB24.
std::vector<uint8_t> scaledPicture(const std::string& cellsFile, const Placement& at)
{
    const ScreenBuffer cells = cellsOf(bytesOf(cellsFile), 0);
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

// One frame from 1 s into a show that has colours there.
ReadBack captureOneFrame(const std::string& out, const std::string& size, const std::string& cells)
{
    EXPECT_EQ(capture(out + " " + size + " --fps 10 --start 1 --seconds 0.1 --song " + longIntroSong() +
                      " --cells " + cells).first, 0) << out;
    ReadBack file = readBack(out);
    EXPECT_EQ(file.pictures.size(), 1u) << out;
    if (file.pictures.empty()) file.pictures.emplace_back();
    return file;
}

TEST(CaptureForSites, SizesCentreThePictureOnBlackInBlocksOfWholePixels)
{
    // 16:9: at 2.7 (blocks of 2 and 3 pixels) filling the height, and at the
    // whole scale 5 with bars all round; a portrait frame: the width filled.
    const Placement sizes[] = {
        {1920, 1080, 96, 0, 1728, 1080}, {3840, 2160, 320, 80, 3200, 2000}, {800, 1200, 0, 350, 800, 500}};
    const std::string out = temp("size.mkv"), cells = temp("size.cells");
    for (const Placement& at : sizes) {
        const std::string size = std::to_string(at.frameWidth) + "x" + std::to_string(at.frameHeight);
        const ReadBack file = captureOneFrame(out, "--size " + size, cells);
        EXPECT_EQ(std::make_pair(file.width, file.height), std::make_pair(at.frameWidth, at.frameHeight));
        const std::vector<uint8_t> expected = scaledPicture(cells, at), &got = file.pictures[0];
        const auto wrong = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
        EXPECT_TRUE(got.size() == expected.size() && wrong.first == got.end())
            << size << ": first wrong pixel " << (wrong.first - got.begin()) / 3;
    }
    std::remove(out.c_str());
    std::remove(cells.c_str());
}

// Mean distance of a decoded 4:2:0 frame's coloured pixels (greys are the
// same by every matrix) from the expected RGB frame in limited-range Y'CbCr by
// the matrix of luma weights kr and kb; chroma from each 2 by 2 block's top
// left pixel.
double meanDifference(const std::vector<uint8_t>& yuv, const std::vector<uint8_t>& rgb, int width, double kr,
                      double kb)
{
    const size_t luma = rgb.size() / 3, chroma = luma / 4;
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < luma; ++i) {
        const double r = rgb[3 * i] / 255.0, g = rgb[3 * i + 1] / 255.0, b = rgb[3 * i + 2] / 255.0;
        if (r == g && g == b) continue;
        const double y = kr * r + (1 - kr - kb) * g + kb * b;
        sum += std::fabs(yuv[i] - (16 + 219 * y)), ++count;
        const size_t x = i % size_t(width), row = i / size_t(width), c = row / 2 * size_t(width / 2) + x / 2;
        if (x % 2 || row % 2) continue;
        sum += std::fabs(yuv[luma + c] - (128 + 224 * (b - y) / (2 * (1 - kb))));
        sum += std::fabs(yuv[luma + chroma + c] - (128 + 224 * (r - y) / (2 * (1 - kr)))), count += 2;
    }
    return sum / double(count);
}

TEST(CaptureForSites, IndexFirstAndColoursConvertedAsTheirTagsSay)
{
    const struct {
        const char* name;
        std::string size;
        Placement at;
        bool hd;
    } kinds[] = {
        {"hd.mp4", "--size 1920x1080", {1920, 1080, 96, 0, 1728, 1080}, true},
        {"sd.mp4", "--scale 1", {640, 400, 0, 0, 640, 400}, false},
        {"hd.webm", "--size 1280x720", {1280, 720, 64, 0, 1152, 720}, true},  // 720 lines: HD
    };
    const std::string cells = temp("tags.cells");
    for (const auto& kind : kinds) {
        const std::string out = temp(kind.name);
        const ReadBack file = captureOneFrame(out, kind.size, cells);
        EXPECT_EQ(std::vector<int>({file.primaries, file.transfer, file.matrix}),
                  kind.hd ? std::vector<int>({AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709})
                          : std::vector<int>({AVCOL_PRI_SMPTE170M, AVCOL_TRC_SMPTE170M, AVCOL_SPC_SMPTE170M}))
            << kind.name;
        // The top-level boxes of an MP4: the index before the data.
        const std::vector<uint8_t> bytes = bytesOf(out);
        std::vector<std::string> boxes;
        for (size_t at = 0, size = 8; size >= 8 && at + 8 <= bytes.size(); at += size) {
            size = size_t(bytes[at]) << 24 | size_t(bytes[at + 1]) << 16 | size_t(bytes[at + 2]) << 8;
            size |= bytes[at + 3];
            boxes.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        }
        const auto index = std::find(boxes.begin(), boxes.end(), "moov");
        EXPECT_TRUE(!std::string(kind.name).ends_with(".mp4") || index < std::find(boxes.begin(), boxes.end(), "mdat")) << kind.name;
        // Decoded, the colours are the tagged matrix's within the coding's small
        // loss, and far from the other matrix's.
        const std::vector<uint8_t> rgb = scaledPicture(cells, kind.at);
        const double bt709 = meanDifference(file.pictures[0], rgb, kind.at.frameWidth, 0.2126, 0.0722);
        const double bt601 = meanDifference(file.pictures[0], rgb, kind.at.frameWidth, 0.299, 0.114);
        EXPECT_LT(kind.hd ? bt709 : bt601, 2.5) << kind.name << ": BT.709 " << bt709 << ", BT.601 " << bt601;
        EXPECT_GT(kind.hd ? bt601 : bt709, 5.0) << kind.name << ": BT.709 " << bt709 << ", BT.601 " << bt601;
        std::remove(out.c_str());
    }
    std::remove(cells.c_str());
}

TEST(CaptureForSites, SoundAt48kHzStartsWithThePictures)
{
    // The decoder's sound, taken to 48 kHz by linear interpolation, against
    // the coded track: the best match within 50 ms either way (the notes
    // repeat every 120 ms) is where it should be, not moved by the
    // resampler's or the encoder's delay (AAC's alone is 21 ms).
    const std::string song = songOf("rate.xm", 10);
    const std::vector<int16_t> sound = decoderSound(song, 44100);
    std::vector<double> played(24000);
    for (size_t i = 0; i < played.size(); ++i) {
        const double at = double(i) * 44100.0 / 48000.0, f = at - std::floor(at);
        played[i] = (1 - f) * sound[2 * size_t(at)] + f * sound[2 * size_t(at) + 2];
    }
    constexpr int RANGE = 2400;
    for (const char* name : {"rate.mp4", "rate.webm"}) {
        const std::string out = temp(name);
        ASSERT_EQ(capture(out + " --scale 1 --fps 10 --seconds 0.5 --song " + song).first, 0) << name;
        const ReadBack file = readBack(out);
        EXPECT_EQ(file.soundRate, 48000) << name;
        std::vector<double> score;
        for (int lag = -RANGE; lag <= RANGE; ++lag) {
            score.push_back(0);
            for (size_t i = RANGE; i + RANGE < played.size() && i + RANGE < file.left.size(); ++i)
                score.back() += played[i] * file.left[size_t(int(i) + lag)];
        }
        // One millisecond either way is far below what anyone hears.
        const int best = int(std::max_element(score.begin(), score.end()) - score.begin()) - RANGE;
        EXPECT_LE(std::abs(best), 48) << name;
        std::remove(out.c_str());
    }
}

}  // namespace
