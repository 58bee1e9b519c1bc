// The plasma and the texture warp for the fast cell loop: every term that
// depends only on the frame, the row or the column is taken once per frame,
// and a run of a row is drawn in one call. The cells are those of plasmaCell and
// warpCell, bit for bit.
#pragma once

#include "runtime/demo_state.h"

struct PlasmaFrame {
    double rowWave[SCREEN_ROWS];        // cos(yr / 3 - t * 13) per row
    double columnWave[SCREEN_COLUMNS];  // sin(xr / 3 - t * 11) per column
    double drift;                       // t * 3
    double swell;                       // sin(t - 1.5) + 1
    bool oddOrder;                      // musicOrder % 2 == 1: the five-ramp palette
};

struct WarpFrame {
    float u[SCREEN_COLUMNS];               // (x - 40) / 80 per column
    float v[SCREEN_ROWS];                  // (y - 25) / 50 per row
    double wobbleX[SCREEN_COLUMNS];        // the column wobble, per column
    double wobbleY[SCREEN_ROWS];           // the row wobble, per row
    float zoom, ct, st;                    // zoom and the turn's cosine and sine
    double glideX, glideY;                 // the slow glide across the texture
};

// From demo (timeSec, musicOrder); once per frame, before any row.
void preparePlasmaFrame(PlasmaFrame& frame);
void prepareWarpFrame(WarpFrame& frame);

// Row y, columns firstColumn up to endColumn (excluded). beatCount is read
// once per cell, as the cell functions do.
void plasmaSpan(const PlasmaFrame& frame, int y, int firstColumn, int endColumn);
void warpSpan(const WarpFrame& frame, int y, int firstColumn, int endColumn);
