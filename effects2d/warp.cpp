// The texture warp: the texture repeated without end, seen through a camera
// that turns back and forth, zooms, glides and wobbles each axis in a wave.
// Each repetition gets its own colour ramp; every beat moves all ramps on.
//
// The fast cell loop draws it with fast_effects2d.cpp, which must give the same
// cells; a change here goes there too.
#include <cmath>

#include "art/images.h"
#include "art/tables.h"
#include "effects2d/effects2d.h"
#include "runtime/demo_state.h"

void warpCell()
{
    const double t = demo.timeSec;
    const int beats = relaxedLoad(demo.beatCount);

    const float u = float((demo.cellX - 40) / 80.0);
    const float v = float((demo.cellY - 25) / 50.0);
    const float turn = float(std::cos(t * double(0.2f)) * 6.28);
    const float zoom = float(std::sin(t) * 150.0 + 200.0);
    const float ct = float(std::cos(double(turn)));
    const float st = float(std::sin(double(turn)));
    const double slow = t * double(0.1f);
    const double fast = t * 3.0;

    const double wobbleX = (std::sin(fast + double(u)) * zoom + zoom) * 0.5;
    const double glideX = std::sin(slow) * 640.0 + 1000.0;
    const float offsetX = float(double(zoom) * (double(ct) * u - double(st) * v));
    const int tx = int(float(double(float(glideX + offsetX)) + wobbleX)) + 40;

    const double wobbleY = (std::sin(double(v) + fast) * zoom + zoom) * 0.5;
    const double glideY = std::cos(slow) * 300.0 + 1000.0;
    const float offsetY = float(double(zoom) * (double(st) * u + double(ct) * v));
    const int ty = int(float(double(float(glideY + offsetY)) + wobbleY)) + 25;

    // tx and ty are always positive (the glides dwarf the offsets), so the
    // remainders and quotients below are never negative.
    const int value = warpTexture[(ty % TEXTURE_HEIGHT) * TEXTURE_WIDTH + tx % TEXTURE_WIDTH];
    const int tile = ty / TEXTURE_HEIGHT + tx / TEXTURE_WIDTH + beats;

    CharInfo& cell = currentCell();
    cell.attr = uint16_t(warpColours[(value + 4 * tile) % 28] & 0xFFFF);
    cell.glyph = uint16_t(beatGlyphs[beats % BEAT_GLYPH_COUNT] & 0xFF);
}
