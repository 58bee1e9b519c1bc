// murl13-tool art and frame are how the images and frames are read from outside
// the program (other renderings are compared against what they print), so the
// digits must be the very pixels the demo draws, a raw frame must be the very
// cells the frame loop renders, in their documented byte layout, and a mistyped
// command must fail loudly: usage on stderr, status 2 and nothing on stdout that
// a script could mistake for a picture. The tool is run as a separate program
// from the folder this test binary was built into.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <utility>

#include "art/images.h"
#include "fake_platform.h"
#include "tool_process.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"

namespace {

std::pair<int, std::string> art(const std::string& args, const char* redirect = "2>/dev/null")
{
    return tool("art", args, redirect);
}

TEST(ArtCommand, DigitsAreThePixelsAndBadArgumentsFailWithUsageOnly)
{
    ASSERT_EQ(access(toolPath().c_str(), X_OK), 0) << "build murl13-tool first: " << toolPath();
    const ImageInfo images[] = {{"logo1a", logo1a, LOGO1A_WIDTH, LOGO1A_HEIGHT},
                                {"logo1b", logo1b, LOGO1B_WIDTH, LOGO1B_HEIGHT},
                                {"logo2", logo2, LOGO2_WIDTH, LOGO2_HEIGHT},
                                {"logo3", logo3, LOGO3_WIDTH, LOGO3_HEIGHT},
                                {"warpTexture", warpTexture, TEXTURE_WIDTH, TEXTURE_HEIGHT}};
    for (const ImageInfo& image : images) {
        std::string digits;
        for (int i = 0; i < image.width * image.height; ++i)
            digits += std::string(1, char('0' + image.pixels[i])) + ((i + 1) % image.width ? "" : "\n");
        EXPECT_EQ(art(std::string(image.name) + " --format digits"), std::make_pair(0, digits)) << image.name;
        // Into a pipe, digits are the default.
        EXPECT_EQ(art(image.name), std::make_pair(0, digits)) << image.name;
    }
    // No image, an unknown image, format or option, a missing value, two images.
    for (const char* bad :
         {"", "nosuch", "logo1a --format bmp", "logo1a --format", "logo1a --colour", "logo1a logo2"}) {
        EXPECT_EQ(art(bad), std::make_pair(2, std::string())) << "'" << bad << "'";
        EXPECT_NE(art(bad, "2>&1 >/dev/null").second.find("usage: murl13-tool art"), std::string::npos) << bad;
    }
    // The desktop icon's source: a PNG, not text.
    EXPECT_EQ(art("logo3 --format png").second.substr(0, 4), "\x89PNG");
    const auto help = art("--help");
    EXPECT_EQ(help.first, 0);
    EXPECT_NE(help.second.find("usage: murl13-tool art"), std::string::npos);
}

TEST(ArtCommand, AnsiPreviewIsColouredText)
{
    // Lit pixels show as U+25A0; the texture packs two pixel rows into each
    // upper-half block U+2580.
    const auto logo = art("--format=ansi logo3"), texture = art("warpTexture --format ansi");
    EXPECT_TRUE(logo.first == 0 && logo.second.rfind("\x1b[", 0) == 0);
    EXPECT_NE(logo.second.find("\xe2\x96\xa0"), std::string::npos);
    EXPECT_TRUE(texture.first == 0 && texture.second.find("\xe2\x96\x80") != std::string::npos);
    EXPECT_EQ(std::count(texture.second.begin(), texture.second.end(), '\n'), TEXTURE_HEIGHT / 2);
}

TEST(FrameCommand, RawIsTheLoopsCellsLittleEndianAndBadValuesAreRefused)
{
    // Order 2 at 7.25 s: the warp with logo2 lifted and pushed by the pulses.
    const auto raw = tool("frame", "--time 7.25 --order 2 --beats 5 --accent 2.5 --beat-pulse 1 "
                                   "--overlay-x 37 --overlay-y 3 --format raw");
    ASSERT_EQ(raw.first, 0);
    ASSERT_EQ(raw.second.size(), size_t(CELL_COUNT * 4));
    fake::reset();
    demo.timeSec = 7.25;
    demo.musicOrder = 2;
    relaxedStore(demo.beatCount, 5);
    demo.lastBeatCount = 5;
    relaxedStore(demo.accentPulse, 2.5f);
    relaxedStore(demo.beatPulse, 1.0f);
    demo.overlayX = 37;
    demo.overlayY = 3;
    applyTimeline();
    updateViewDistance();
    renderCells();
    stampOverlays();
    const auto byte = [&](int i) { return unsigned(uint8_t(raw.second[size_t(i)])); };
    for (int i = 0; i < CELL_COUNT; ++i) {
        const CharInfo cell{uint16_t(byte(4 * i) | byte(4 * i + 1) << 8), uint16_t(byte(4 * i + 2) | byte(4 * i + 3) << 8)};
        ASSERT_EQ(cell, screenBuffer[i]) << "cell " << i;
    }
    // Offsets and pulses that would put a logo outside the screen, and values that are no numbers.
    for (const char* bad : {"--overlay-x 38", "--overlay-y -1", "--accent 3.01", "--beat-pulse -0.5", "--beats -1",
                            "--time nan", "--view 100.01", "--view -3.4e38", "--camera 1,2", "--format bmp", "--order", "--bogus 1"}) {
        EXPECT_EQ(tool("frame", bad), std::make_pair(2, std::string())) << bad;
    }
}

}  // namespace
