#include "effects2d/fast_effects2d.h"

#include <cmath>

#include "art/images.h"
#include "art/tables.h"

void preparePlasmaFrame(PlasmaFrame& frame)
{
    const double t = demo.timeSec;
    for (int y = 0; y < SCREEN_ROWS; ++y) frame.rowWave[y] = std::cos(double(float(y - 25)) / 3.0 - t * 13.0);
    for (int x = 0; x < SCREEN_COLUMNS; ++x)
        frame.columnWave[x] = std::sin(double(float(x - 40)) / 3.0 - t * 11.0);
    frame.drift = t * 3.0;
    frame.swell = std::sin(t - 1.5) + 1.0;
    frame.oddOrder = demo.musicOrder % 2 == 1;
}

void plasmaSpan(const PlasmaFrame& frame, int y, int firstColumn, int endColumn)
{
    const double rowWave = frame.rowWave[y];
    const double cellV = double(float(y - 25));
    for (int x = firstColumn; x < endColumn; ++x) {
        const int beats = relaxedLoad(demo.beatCount);
        const float waves = float((frame.columnWave[x] + rowWave) * 1.5 - frame.drift);
        const double cellU = double(float(x - 40));
        const float radiusSquared = float(cellU * cellU + cellV * cellV);
        const int ring = int(float(std::sqrt(double(radiusSquared))));
        const double field = double(waves) + ring / 1.5;
        const int shifted = int(frame.swell * field) + 6 * beats;

        // A negative remainder reads the entries stored just before the palette.
        const int attr = frame.oddOrder ? plasmaColoursA[shifted % 30] : plasmaColoursB[shifted % 12];
        CharInfo& cell = screenBuffer[y * SCREEN_COLUMNS + x];
        cell.glyph = uint16_t(beatGlyphs[beats % BEAT_GLYPH_COUNT] & 0xFF);
        cell.attr = uint16_t(attr & 0xFFFF);
    }
}

void prepareWarpFrame(WarpFrame& frame)
{
    const double t = demo.timeSec;
    const float turn = float(std::cos(t * double(0.2f)) * 6.28);
    frame.zoom = float(std::sin(t) * 150.0 + 200.0);
    frame.ct = float(std::cos(double(turn)));
    frame.st = float(std::sin(double(turn)));
    const double slow = t * double(0.1f);
    const double fast = t * 3.0;
    const double zoom = frame.zoom;
    for (int x = 0; x < SCREEN_COLUMNS; ++x) {
        frame.u[x] = float((x - 40) / 80.0);
        frame.wobbleX[x] = (std::sin(fast + double(frame.u[x])) * zoom + zoom) * 0.5;
    }
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        frame.v[y] = float((y - 25) / 50.0);
        frame.wobbleY[y] = (std::sin(double(frame.v[y]) + fast) * zoom + zoom) * 0.5;
    }
    frame.glideX = std::sin(slow) * 640.0 + 1000.0;
    frame.glideY = std::cos(slow) * 300.0 + 1000.0;
}

void warpSpan(const WarpFrame& frame, int y, int firstColumn, int endColumn)
{
    const double zoom = frame.zoom, ct = frame.ct, st = frame.st;
    const double v = frame.v[y];
    const double wobbleY = frame.wobbleY[y];
    for (int x = firstColumn; x < endColumn; ++x) {
        const int beats = relaxedLoad(demo.beatCount);
        const double u = frame.u[x];
        const float offsetX = float(zoom * (ct * u - st * v));
        const int tx = int(float(double(float(frame.glideX + offsetX)) + frame.wobbleX[x])) + 40;
        const float offsetY = float(zoom * (st * u + ct * v));
        const int ty = int(float(double(float(frame.glideY + offsetY)) + wobbleY)) + 25;

        // tx and ty are always positive, as in warpCell.
        const int value = warpTexture[(ty % TEXTURE_HEIGHT) * TEXTURE_WIDTH + tx % TEXTURE_WIDTH];
        const int tile = ty / TEXTURE_HEIGHT + tx / TEXTURE_WIDTH + beats;
        CharInfo& cell = screenBuffer[y * SCREEN_COLUMNS + x];
        cell.attr = uint16_t(warpColours[(value + 4 * tile) % 28] & 0xFFFF);
        cell.glyph = uint16_t(beatGlyphs[beats % BEAT_GLYPH_COUNT] & 0xFF);
    }
}
