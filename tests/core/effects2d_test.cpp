// The plasma and the texture warp at cells whose values are known: the centre
// at time 0, the corners, negative pattern values that read the entries stored
// before a palette, the beat shift and the order's parity. Catches a wrong
// rounding or order of terms, a remainder wrapped into range (or read outside
// the tables), and a texture sampled at the wrong row or column.
#include <gtest/gtest.h>

#include "art/images.h"
#include "art/tables.h"
#include "effects2d/effects2d.h"
#include "runtime/demo_state.h"

namespace {

CharInfo renderOne(void (*effect)(), int x, int y)
{
    demo.cellX = x;
    demo.cellY = y;
    demo.cellU = float(x - 40);
    demo.cellV = float(y - 25);
    effect();
    return screenBuffer[y * SCREEN_COLUMNS + x];
}

void setFrame(double time, int beats, int order)
{
    resetDemoState();
    demo.timeSec = time;
    relaxedStore(demo.beatCount, beats);
    demo.musicOrder = order;
}

TEST(Plasma, TimeZeroIsBlackEverywhereWithTheFirstBeatGlyph)
{
    setFrame(0.0, 0, 0);
    for (int y = 0; y < SCREEN_ROWS; ++y)
        for (int x = 0; x < SCREEN_COLUMNS; ++x) EXPECT_EQ(renderOne(plasmaCell, x, y), (CharInfo{1, 0}));
}

TEST(Plasma, CornerAtThreeSecondsIsWhiteOnOddOrdersAndLightCyanOnEven)
{
    setFrame(3.0, 0, 1);
    EXPECT_EQ(renderOne(plasmaCell, 0, 0).attr, 15);
    setFrame(3.0, 0, 0);
    EXPECT_EQ(renderOne(plasmaCell, 0, 0).attr, 11);
}

TEST(Plasma, NegativePatternReadsTheEntriesStoredBeforeThePalette)
{
    // The centre at two seconds has pattern -7: position 80 - 7 = 73 on even
    // orders, 50 - 7 = 43 on odd ones; both hold blue.
    setFrame(2.0, 0, 0);
    EXPECT_EQ(renderOne(plasmaCell, 40, 25).attr, colourTable[73]);
    EXPECT_EQ(colourTable[73], 1);
    setFrame(2.0, 0, 1);
    EXPECT_EQ(renderOne(plasmaCell, 40, 25).attr, colourTable[43]);
    // Far into a run the drift makes every pattern negative; no read leaves the tables.
    for (int order : {-3, -2, 0, 1}) {
        setFrame(5000.0, 0, order);
        for (int y = 0; y < SCREEN_ROWS; ++y)
            for (int x = 0; x < SCREEN_COLUMNS; ++x) EXPECT_LE(renderOne(plasmaCell, x, y).attr, 15);
    }
}

TEST(Plasma, BeatsMoveTwoRampsOnAndChangeTheGlyph)
{
    setFrame(3.0, 0, 1);
    const CharInfo before = renderOne(plasmaCell, 0, 0);
    setFrame(3.0, 2, 1);
    const CharInfo after = renderOne(plasmaCell, 0, 0);
    EXPECT_EQ(after.glyph, 3);  // heart
    EXPECT_EQ(before.attr, plasmaColoursA[9]);
    EXPECT_EQ(after.attr, plasmaColoursA[(9 + 12) % 30]);
}

TEST(Plasma, NegativeOddOrderUsesTheTwoRampPalette)
{
    setFrame(3.0, 0, -1);
    EXPECT_EQ(renderOne(plasmaCell, 0, 0).attr, plasmaColoursB[3]);
}

int textureAt(int row, int column) { return warpTexture[row * TEXTURE_WIDTH + column]; }

TEST(Warp, CentreAtTimeZeroSamplesRow57Column180WithRampOfTile12PlusBeats)
{
    for (int beats : {0, 3, 11}) {
        setFrame(0.0, beats, 2);
        const CharInfo cell = renderOne(warpCell, 40, 25);
        EXPECT_EQ(cell.attr, warpColours[(textureAt(57, 180) + 4 * (12 + beats)) % 28]) << beats;
        EXPECT_EQ(cell.glyph, beatGlyphs[beats % 19]);
    }
}

TEST(Warp, CornersAtTimeZero)
{
    setFrame(0.0, 0, 2);
    EXPECT_EQ(renderOne(warpCell, 0, 0).attr, warpColours[(textureAt(61, 31) + 4 * 11) % 28]);
    // Column 4 is in the texture's empty margin: black whatever the ramp.
    EXPECT_EQ(renderOne(warpCell, 79, 49), (CharInfo{1, 0}));
}

TEST(Warp, StaysInsideTheTextureAndThePaletteAtAnyTime)
{
    for (double t : {-100.0, 0.5, 17.3, 1234.5}) {
        setFrame(t, 5, 24);
        for (int y = 0; y < SCREEN_ROWS; ++y)
            for (int x = 0; x < SCREEN_COLUMNS; ++x) EXPECT_LE(renderOne(warpCell, x, y).attr, 15);
    }
}

}  // namespace
