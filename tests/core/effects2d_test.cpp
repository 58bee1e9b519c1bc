// The plasma and the texture warp at cells whose values are known: the centre
// at time 0, the corners, negative pattern values that read the entries stored
// before a palette, the beat shift and the order's parity. Catches a wrong
// rounding or order of terms, a remainder wrapped into range (or read outside
// the tables), and a texture sampled at the wrong row or column.
#include <gtest/gtest.h>

#include <algorithm>

#include "art/images.h"
#include "art/tables.h"
#include "effects2d/effects2d.h"
#include "state/demo_state.h"
#include "runtime/frame_loop.h"

namespace {

CharInfo renderOne(void (*effect)(), double time, int beats, int order, int x, int y)
{
    resetDemoState();
    demo.timeSec = time;
    relaxedStore(demo.beatCount, beats);
    demo.musicOrder = order;
    demo.cellX = x;
    demo.cellY = y;
    demo.cellU = float(x - 40);
    demo.cellV = float(y - 25);
    effect();
    return screenBuffer[y * SCREEN_COLUMNS + x];
}

int texel(int row, int column) { return warpTexture[row * TEXTURE_WIDTH + column]; }

TEST(Effects2d, KnownCells)
{
    const struct {
        const char* what;
        void (*effect)();
        double time;
        int beats, order, x, y;
        CharInfo expected;
    } cases[] = {
        {"plasma corner, odd order: white", plasmaCell, 3.0, 0, 1, 0, 0, {1, 15}},
        {"plasma corner, even order: light cyan", plasmaCell, 3.0, 0, 0, 0, 0, {1, 11}},
        {"plasma corner, negative odd order: the two-ramp palette", plasmaCell, 3.0, 0, -1, 0, 0,
         {1, uint16_t(plasmaColoursB[3])}},
        {"plasma corner, two beats move two ramps on (heart)", plasmaCell, 3.0, 2, 1, 0, 0,
         {3, uint16_t(plasmaColoursA[9 + 12])}},
        // Pattern -14 at the centre: remainder -2 reads position 80 - 2 on even
        // orders, remainder -14 position 50 - 14 on odd ones (wrapped into the
        // palette they would be 6 and 11).
        {"plasma centre, pattern -14, even order", plasmaCell, 2.5, 0, 0, 40, 25, {1, uint16_t(colourTable[78])}},
        {"plasma centre, pattern -14, odd order", plasmaCell, 2.5, 0, 1, 40, 25, {1, uint16_t(colourTable[36])}},
        // Warp at time 0: the centre samples row 57, column 180 on tile 12, the
        // corner row 61, column 31 on tile 11; (79, 49) is in the empty margin.
        {"warp centre", warpCell, 0.0, 0, 2, 40, 25, {1, uint16_t(warpColours[(texel(57, 180) + 4 * 12) % 28])}},
        {"warp centre, 11 beats", warpCell, 0.0, 11, 2, 40, 25,
         {uint16_t(beatGlyphs[11]), uint16_t(warpColours[(texel(57, 180) + 4 * 23) % 28])}},
        {"warp corner", warpCell, 0.0, 0, 2, 0, 0, {1, uint16_t(warpColours[(texel(61, 31) + 4 * 11) % 28])}},
        {"warp corner in the margin", warpCell, 0.0, 0, 2, 79, 49, {1, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renderOne(c.effect, c.time, c.beats, c.order, c.x, c.y), c.expected) << c.what;
}

TEST(Effects2d, WholeFramesStartBlackAndStayInsideTheTables)
{
    // Through the cell loop the plasma at time 0 writes every cell black.
    resetDemoState();
    screenBuffer.fill(CharInfo{7, 7});
    renderCells();
    EXPECT_EQ(std::count(screenBuffer.begin(), screenBuffer.end(), CharInfo{1, 0}), CELL_COUNT);
    for (int y = 0; y < SCREEN_ROWS; ++y)
        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
            // Far into a run the plasma's drift makes every pattern negative.
            for (int order : {-3, -2, 0, 1}) ASSERT_LE(renderOne(plasmaCell, 5000.0, 0, order, x, y).attr, 15);
            for (double t : {-100.0, 0.5, 17.3, 1234.5}) ASSERT_LE(renderOne(warpCell, t, 5, 24, x, y).attr, 15);
        }
}

}  // namespace
