// The logos: the fixed random sequence of offsets, one redraw however many
// beats a frame saw, placement by order with the pulses' jolts and the clamp
// on order 2, and transparent pixels that leave the effect's cells alone.
// Catches a draw order swapped between x and y, pulses rounded instead of
// truncated, a logo written off its place, and a transparent pixel drawn.
#include <gtest/gtest.h>

#include "art/images.h"
#include "art/tables.h"
#include "fake_platform.h"
#include "runtime/overlays.h"

namespace {

const CharInfo BACKGROUND{42, 0x0B};

void setFrame(int order, int beats, float accent = 0, float beat = 0)
{
    fake::reset();
    demo.musicOrder = order;
    relaxedStore(demo.beatCount, beats);
    relaxedStore(demo.accentPulse, accent);
    relaxedStore(demo.beatPulse, beat);
    screenBuffer.fill(BACKGROUND);
}

// Checks that exactly the image's non-transparent pixels were stamped at (top, left).
void expectStamped(const ImageInfo& image, int top, int left)
{
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const int value = image.pixels[y * image.width + x];
            const CharInfo cell = screenBuffer[(top + y) * SCREEN_COLUMNS + left + x];
            if (value == 2) continue;
            EXPECT_EQ(cell.glyph, overlayGlyph[value]) << image.name << " " << x << "," << y;
            EXPECT_EQ(cell.attr, overlayAttr[value]) << image.name << " " << x << "," << y;
        }
    }
}

int changedCells()
{
    int changed = 0;
    for (const CharInfo& cell : screenBuffer) changed += cell != BACKGROUND;
    return changed;
}

int opaquePixels(const ImageInfo& image)
{
    int count = 0;
    for (int i = 0; i < image.width * image.height; ++i) count += image.pixels[i] != 2;
    return count;
}

TEST(Overlays, OffsetsFollowTheFixedSequenceOnePairPerMovedBeatCount)
{
    setFrame(7, 0);
    const int expected[][2] = {{3, 7}, {26, 0}, {17, 4}, {2, 18}};
    for (int i = 0; i < 4; ++i) {
        relaxedStore(demo.beatCount, i == 0 ? 3 : relaxedLoad(demo.beatCount) + 1);
        stampOverlays();
        EXPECT_EQ(demo.overlayX, expected[i][0]);
        EXPECT_EQ(demo.overlayY, expected[i][1]);
        EXPECT_EQ(demo.lastBeatCount, relaxedLoad(demo.beatCount));
    }
    // Nothing is stamped on order 7, but the offsets moved.
    EXPECT_EQ(changedCells(), 0);
    // An unchanged beat count draws nothing new.
    stampOverlays();
    EXPECT_EQ(demo.overlayX, 2);
    EXPECT_EQ(demo.overlayY, 18);
}

TEST(Overlays, OrderOneStampsBothHalvesMovingAgainstEachOther)
{
    setFrame(1, 0);
    stampOverlays();
    expectStamped(*findImage("logo1a"), 1, 1);
    expectStamped(*findImage("logo1b"), 26, 39);
    setFrame(1, 0);
    demo.overlayX = 37;
    demo.overlayY = 19;
    stampOverlays();
    expectStamped(*findImage("logo1a"), 20, 38);
    expectStamped(*findImage("logo1b"), 7, 2);
}

TEST(Overlays, OrderTwoIsLiftedByTheBeatPushedByTheAccentAndClamped)
{
    setFrame(2, 0, 3.0f, 2.9f);
    demo.overlayX = 37;
    demo.overlayY = 5;
    stampOverlays();
    // Column offset clamped to 29, plus 3; the beat pulse 2.9 lifts by 2.
    expectStamped(*findImage("logo2"), 7 + 5 - 2, 1 + 29 + 3);
    EXPECT_EQ(changedCells(), opaquePixels(*findImage("logo2")));
}

TEST(Overlays, OrderThreeSwapsThePulsesRolesWithoutClamp)
{
    setFrame(3, 0, 1.5f, 3.0f);
    demo.overlayX = 37;
    demo.overlayY = 0;
    stampOverlays();
    expectStamped(*findImage("logo3"), 7 + 0 - 1, 1 + 37 + 3);
}

TEST(Overlays, TransparentPixelsKeepTheEffectsCell)
{
    setFrame(3, 0);
    stampOverlays();
    const ImageInfo& logo = *findImage("logo3");
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) {
            if (logo.pixels[y * logo.width + x] == 2) {
                EXPECT_EQ(screenBuffer[(7 + y) * SCREEN_COLUMNS + 1 + x], BACKGROUND);
            }
        }
    }
}

}  // namespace
