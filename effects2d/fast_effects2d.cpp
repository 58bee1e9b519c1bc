#include "effects2d/fast_effects2d.h"

void preparePlasmaFrame(PlasmaFrame& frame)
{
    const double t = demo.timeSec;
    frame.constants = plasmaConstantsOf(t, demo.musicOrder);
    for (int y = 0; y < SCREEN_ROWS; ++y) frame.rowWave[y] = plasmaRowWave(float(y - 25), t);
    for (int x = 0; x < SCREEN_COLUMNS; ++x) frame.columnWave[x] = plasmaColumnWave(float(x - 40), t);
}

void plasmaSpan(const PlasmaFrame& frame, int y, int firstColumn, int endColumn)
{
    const double rowWave = frame.rowWave[y];
    const float cellV = float(y - 25);
    for (int x = firstColumn; x < endColumn; ++x) {
        const int beats = relaxedLoad(demo.beatCount);
        screenBuffer[y * SCREEN_COLUMNS + x] =
            plasmaCellOf(frame.constants, frame.columnWave[x], rowWave, float(x - 40), cellV, beats);
    }
}

void prepareWarpFrame(WarpFrame& frame)
{
    const double t = demo.timeSec;
    frame.camera = warpCameraAt(t);
    for (int x = 0; x < SCREEN_COLUMNS; ++x) {
        frame.u[x] = warpU(x);
        frame.wobbleX[x] = warpWobble(frame.u[x], t, frame.camera.zoom);
    }
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        frame.v[y] = warpV(y);
        frame.wobbleY[y] = warpWobble(frame.v[y], t, frame.camera.zoom);
    }
}

void warpSpan(const WarpFrame& frame, int y, int firstColumn, int endColumn)
{
    const float v = frame.v[y];
    const double wobbleY = frame.wobbleY[y];
    for (int x = firstColumn; x < endColumn; ++x) {
        const int beats = relaxedLoad(demo.beatCount);
        screenBuffer[y * SCREEN_COLUMNS + x] =
            warpCellOf(frame.camera, frame.u[x], v, frame.wobbleX[x], wobbleY, beats);
    }
}
