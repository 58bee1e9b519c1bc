// The plasma and the texture warp for the fast cell loop: every term that
// depends only on the frame, the row or the column is taken once per frame,
// and a run of a row is drawn in one call, with the same formulas as plasmaCell
// and warpCell (effect_terms.h).
#pragma once

#include "effects2d/effect_terms.h"

struct PlasmaFrame {
    PlasmaConstants constants;          // drift, swell and the palette
    double rowWave[SCREEN_ROWS];        // plasmaRowWave per row
    double columnWave[SCREEN_COLUMNS];  // plasmaColumnWave per column
};

struct WarpFrame {
    WarpCamera camera;                // zoom, turn and glide
    float u[SCREEN_COLUMNS];          // warpU per column
    float v[SCREEN_ROWS];             // warpV per row
    double wobbleX[SCREEN_COLUMNS];   // the column wobble, per column
    double wobbleY[SCREEN_ROWS];      // the row wobble, per row
};

// From demo (timeSec, musicOrder); once per frame, before any row.
void preparePlasmaFrame(PlasmaFrame& frame);
void prepareWarpFrame(WarpFrame& frame);

// Row y, columns firstColumn up to endColumn (excluded). beatCount is read
// once per cell, as the cell functions do.
void plasmaSpan(const PlasmaFrame& frame, int y, int firstColumn, int endColumn);
void warpSpan(const WarpFrame& frame, int y, int firstColumn, int endColumn);
