// The logos: the fixed random sequence of offsets, one redraw however many
// beats a frame saw, placement by order with the pulses' jolts and the clamp
// on order 2, and transparent pixels that leave the effect's cells alone.
// Catches a draw order swapped between x and y, pulses rounded instead of
// truncated, a logo written off its place, and a transparent pixel drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "art/images.h"
#include "art/tables.h"
#include "fake_platform.h"
#include "runtime/overlays.h"

namespace {

const CharInfo BACKGROUND{42, 0x0B};

int changedCells()
{
    return int(std::count_if(screenBuffer.begin(), screenBuffer.end(), [](CharInfo c) { return c != BACKGROUND; }));
}

TEST(Overlays, OffsetsFollowTheFixedSequenceOnePairPerMovedBeatCount)
{
    fake::reset();
    demo.musicOrder = 7;
    screenBuffer.fill(BACKGROUND);
    const int expected[][2] = {{3, 7}, {26, 0}, {17, 4}, {2, 18}};
    for (int i = 0; i < 4; ++i) {
        relaxedStore(demo.beatCount, i == 0 ? 3 : relaxedLoad(demo.beatCount) + 1);
        stampOverlays();
        EXPECT_EQ(demo.overlayX, expected[i][0]);
        EXPECT_EQ(demo.overlayY, expected[i][1]);
        EXPECT_EQ(demo.lastBeatCount, relaxedLoad(demo.beatCount));
    }
    stampOverlays();  // an unchanged beat count draws nothing new
    EXPECT_EQ(demo.overlayX, 2);
    EXPECT_EQ(demo.overlayY, 18);
    EXPECT_EQ(changedCells(), 0);  // nothing is stamped on order 7
}

TEST(Overlays, EachOrderStampsItsLogosAtTheirPlaceAndOnlyTheirOpaquePixels)
{
    struct Stamp { const char* image; int top, left; };
    const struct {
        int order, overlayX, overlayY;
        float accent, beat;
        std::vector<Stamp> stamps;
    } cases[] = {
        // Order 1: the two halves move against each other.
        {1, 0, 0, 0, 0, {{"logo1a", 1, 1}, {"logo1b", 26, 39}}},
        {1, 37, 19, 0, 0, {{"logo1a", 20, 38}, {"logo1b", 7, 2}}},
        // Order 2: column offset clamped to 29, pushed 3 by the accent, lifted
        // 2 (not 3) by the beat pulse 2.9.
        {2, 37, 5, 3.0f, 2.9f, {{"logo2", 7 + 5 - 2, 1 + 29 + 3}}},
        // Order 3: the roles swapped, no clamp; the accent 1.5 lifts by 1.
        {3, 37, 0, 1.5f, 3.0f, {{"logo3", 7 + 0 - 1, 1 + 37 + 3}}},
    };
    for (const auto& c : cases) {
        fake::reset();
        demo.musicOrder = c.order;
        demo.overlayX = c.overlayX;
        demo.overlayY = c.overlayY;
        relaxedStore(demo.accentPulse, c.accent);
        relaxedStore(demo.beatPulse, c.beat);
        screenBuffer.fill(BACKGROUND);
        stampOverlays();
        int opaque = 0;
        for (const Stamp& s : c.stamps) {
            const ImageInfo& image = *findImage(s.image);
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x) {
                    const int value = image.pixels[y * image.width + x];
                    if (value == LOGO_TRANSPARENT) continue;
                    ++opaque;
                    const CharInfo drawn{uint16_t(overlayGlyph[value]), uint16_t(overlayAttr[value])};
                    EXPECT_EQ(screenBuffer[(s.top + y) * SCREEN_COLUMNS + s.left + x], drawn)
                        << "order " << c.order << " " << s.image << " " << x << "," << y;
                }
        }
        // Every opaque pixel changes its cell, so no other cell may change.
        if (c.stamps.size() == 1) {
            EXPECT_EQ(changedCells(), opaque) << "order " << c.order;
        }
    }
}

}  // namespace
