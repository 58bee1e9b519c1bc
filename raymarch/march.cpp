// The ray-march renderer: one ray per cell from the camera, turned by three
// time-driven angles, marched by the scene's distances until it comes within
// 0.001 of a surface or passes the view distance. A hit is shaded by the angle
// between its normal and a light that turns with the camera, faded with
// distance, and coloured by a ramp chosen from its position and the beat.
//
// This is the straightforward renderer, one cell per call with every value
// computed per cell and every distance through sceneDistanceAt; the demo
// draws with the fast one (fast_march.cpp), which takes the same steps
// (ray_steps.h) with per-frame values and must give the same cells.
#include "raymarch/march.h"

#include "raymarch/ray_steps.h"
#include "raymarch/scenes.h"

namespace {

float distanceAt(float x, float y, float z) { return sceneDistanceAt(x, y, z); }

}  // namespace

float sceneDistanceAt(float x, float y, float z)
{
    const int id = demo.effectId;
    for (const SceneEntry& scene : sceneTable)
        if (scene.id == id) return scene.distance(x, y, z);
    return 0.0f;
}

Vector3 estimateNormal(float x, float y, float z) { return normalOf(distanceAt, x, y, z); }

void marchCell()
{
    CharInfo& cell = currentCell();
    cell = CharInfo{MISS_GLYPH, MISS_ATTR};

    // The camera's turns, the light and the reference point, for this cell.
    const MarchFrame frame = marchFrameOf(demo);
    RayState ray;
    startRay(frame, ray, demo.cellU, demo.cellV);
    for (;;) {
        const RayStep step = stepRay(frame, ray, demo.samplePoint, distanceAt);
        if (step == RayStep::Hit) break;
        if (step == RayStep::Ended) return;
    }
    cell = shadeHit(frame, ray, demo.hitMaterial, distanceAt);
}
