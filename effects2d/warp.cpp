// The texture warp: the texture repeated without end, seen through a camera
// that turns back and forth, zooms, glides and wobbles each axis in a wave.
// Each repetition gets its own colour ramp; every beat moves all ramps on.
//
// Every term is taken for this cell; the fast cell loop takes the same terms
// (effect_terms.h) once per frame, row and column.
#include "effects2d/effect_terms.h"
#include "effects2d/effects2d.h"

void warpCell()
{
    const double t = demo.timeSec;
    const int beats = relaxedLoad(demo.beatCount);

    const WarpCamera camera = warpCameraAt(t);
    const float u = warpU(demo.cellX);
    const float v = warpV(demo.cellY);
    const double wobbleX = warpWobble(u, t, camera.zoom);
    const double wobbleY = warpWobble(v, t, camera.zoom);
    currentCell() = warpCellOf(camera, u, v, wobbleX, wobbleY, beats);
}
