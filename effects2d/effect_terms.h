// The formulas of the two flat effects, split into the terms that depend only
// on the frame, the row or the column and the rest of a cell. plasmaCell and
// warpCell take every term for every cell; the fast cell loop
// (fast_effects2d.cpp) takes each term once per frame and per row or column,
// and both draw the cell with the same function.
#pragma once

#include <cmath>

#include "art/images.h"
#include "art/tables.h"
#include "state/demo_state.h"

// --- the plasma

// The terms of the plasma that depend only on the frame.
struct PlasmaConstants {
    double drift;   // t * 3
    double swell;   // sin(t - 1.5) + 1
    bool oddOrder;  // musicOrder % 2 == 1: the five-ramp palette
};

inline PlasmaConstants plasmaConstantsOf(double t, int musicOrder)
{
    return {t * 3.0, std::sin(t - 1.5) + 1.0, musicOrder % 2 == 1};
}

// The wave along the rows, for row = cellY - 25, and the one along the
// columns, for column = cellX - 40.
inline double plasmaRowWave(float row, double t) { return std::cos(double(row) / 3.0 - t * 13.0); }
inline double plasmaColumnWave(float column, double t) { return std::sin(double(column) / 3.0 - t * 11.0); }

// The cell at (cellU, cellV) from the waves, the rings and the beat: each
// beat moves the cell one ramp on and changes the glyph of the screen.
inline CharInfo plasmaCellOf(const PlasmaConstants& frame, double columnWave, double rowWave, float cellU,
                             float cellV, int beats)
{
    const float waves = float((columnWave + rowWave) * 1.5 - frame.drift);

    const float radiusSquared = float(double(cellU) * cellU + double(cellV) * cellV);
    const int ring = int(float(std::sqrt(double(radiusSquared))));
    const double field = double(waves) + ring / 1.5;

    const int pattern = int(frame.swell * field);
    const int shifted = pattern + 6 * beats;

    // A negative remainder reads the entries stored just before the palette.
    const int attr = frame.oddOrder ? plasmaColoursA[shifted % 30] : plasmaColoursB[shifted % 12];
    return CharInfo{uint16_t(beatGlyphs[beats % BEAT_GLYPH_COUNT] & 0xFF), uint16_t(attr & 0xFFFF)};
}

// --- the texture warp

// The camera of the warp, which depends only on the frame: its zoom, the
// cosine and sine of its turn, and the slow glide across the texture.
struct WarpCamera {
    float zoom, ct, st;
    double glideX, glideY;
};

inline WarpCamera warpCameraAt(double t)
{
    const float turn = float(std::cos(t * double(0.2f)) * 6.28);
    const double slow = t * double(0.1f);
    WarpCamera camera;
    camera.zoom = float(std::sin(t) * 150.0 + 200.0);
    camera.ct = float(std::cos(double(turn)));
    camera.st = float(std::sin(double(turn)));
    camera.glideX = std::sin(slow) * 640.0 + 1000.0;
    camera.glideY = std::cos(slow) * 300.0 + 1000.0;
    return camera;
}

// The screen coordinates: u of column x, v of row y.
inline float warpU(int x) { return float((x - 40) / 80.0); }
inline float warpV(int y) { return float((y - 25) / 50.0); }

// The wave that wobbles one axis, for u of a column or v of a row.
inline double warpWobble(float uv, double t, double zoom)
{
    return (std::sin(t * 3.0 + double(uv)) * zoom + zoom) * 0.5;
}

// The cell at (u, v): the texel under the turned, zoomed and wobbled point,
// coloured by its repetition of the texture and the beat.
inline CharInfo warpCellOf(const WarpCamera& camera, float u, float v, double wobbleX, double wobbleY, int beats)
{
    const double zoom = camera.zoom, ct = camera.ct, st = camera.st;
    const float offsetX = float(zoom * (ct * u - st * v));
    const int tx = int(float(double(float(camera.glideX + offsetX)) + wobbleX)) + 40;
    const float offsetY = float(zoom * (st * u + ct * v));
    const int ty = int(float(double(float(camera.glideY + offsetY)) + wobbleY)) + 25;

    // tx and ty are always positive (the glides dwarf the offsets), so the
    // remainders and quotients below are never negative.
    const int value = warpTexture[(ty % TEXTURE_HEIGHT) * TEXTURE_WIDTH + tx % TEXTURE_WIDTH];
    const int tile = ty / TEXTURE_HEIGHT + tx / TEXTURE_WIDTH + beats;
    return CharInfo{uint16_t(beatGlyphs[beats % BEAT_GLYPH_COUNT] & 0xFF),
                    uint16_t(warpColours[(value + 4 * tile) % 28] & 0xFFFF)};
}
