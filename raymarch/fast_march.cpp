#include "raymarch/fast_march.h"

#include <cmath>
#include <cstdint>

#include "raymarch/fast_scenes.h"
#include "raymarch/shading.h"
#include "runtime/console_host.h"

namespace {

// The constants of march.cpp.
constexpr uint16_t MISS_GLYPH = 219;
constexpr uint16_t MISS_ATTR = 0;
constexpr float HIT_DISTANCE = 0.001f;
constexpr float NORMAL_STEP = 0.001f;
constexpr float REFERENCE_LIFT = 0.001f;
constexpr double START_LENGTHS = 3.0;
constexpr double SCREEN_HALF_WIDTH = 40.0;
constexpr double SCREEN_HALF_HEIGHT = 25.0;

using FastScene = float (*)(CellContext&, float, float, float);

float cameraAngle(double t, float rate, double amplitude)
{
    const float argument = float(t * double(rate));
    return float(double(float(std::sin(double(argument)))) * amplitude);
}

inline Vector3 advance(Vector3 p, float d, Vector3 dir)
{
    return {float(double(p.x) + double(d) * dir.x), float(double(p.y) + double(d) * dir.y),
            float(double(p.z) + double(d) * dir.z)};
}

template <FastScene scene>
Vector3 normalAt(CellContext& cell, float x, float y, float z)
{
    const double h = NORMAL_STEP;
    const float gx = scene(cell, float(double(x) + h), y, z);
    const float gy = scene(cell, x, float(double(y) + h), z);
    const float gz = scene(cell, x, y, float(double(z) + h));
    return normalize({gx, gy, gz});
}

// One ray in flight: marchCell's locals for one cell.
struct Ray {
    CellContext* cell;  // the lane's per-cell values and scratch
    CharInfo* out;      // the cell it draws
    Vector3 dir;        // its direction, not normalised
    Vector3 p;          // the point about to be sampled
    float d;            // the last distance
    float travelled;    // how far that sample lies from the reference point
    bool inFlight;
};

enum class RayStep { Going, Hit, Ended };

// marchCell up to the march loop: the default cell, the direction, the start.
void startRay(const MarchFrame& frame, Ray& ray, int x, int y)
{
    CellContext& cell = *ray.cell;
    cell.cellX = x;
    cell.cellY = y;
    cell.cellU = float(x - 40);
    cell.cellV = float(y - 25);
    ray.out = &screenBuffer[y * SCREEN_COLUMNS + x];
    *ray.out = CharInfo{MISS_GLYPH, MISS_ATTR};
    const float dx = float(double(cell.cellU) / SCREEN_HALF_WIDTH);
    const float dy = float(double(cell.cellV) / SCREEN_HALF_HEIGHT);
    ray.dir = rotateXYZ(dx, dy, 1.0f, frame.turnA, frame.turnB, frame.turnG);
    ray.p = advance(frame.camera, float(START_LENGTHS), ray.dir);
    ray.inFlight = true;
}

// One iteration of marchCell's loop.
template <FastScene scene>
RayStep stepRay(const MarchFrame& frame, Ray& ray)
{
    CellContext& cell = *ray.cell;
    const Vector3 p = ray.p;
    const Vector3 ref = frame.reference;
    cell.samplePoint = p;
    ray.d = scene(cell, p.x, p.y, p.z);
    ray.travelled = length3(float(double(p.x) - ref.x), float(double(p.y) - ref.y), float(double(p.z) - ref.z));
    if (ray.d < HIT_DISTANCE) return RayStep::Hit;
    if (escapeHeld()) return RayStep::Ended;
    const Vector3 next = advance(p, ray.d, ray.dir);
    if (!(ray.travelled < frame.viewDistance)) return RayStep::Ended;
    if (next.x == p.x && next.y == p.y && next.z == p.z) return RayStep::Ended;
    ray.p = next;
    return RayStep::Going;
}

// marchCell's hit steps.
template <FastScene scene>
void shadeHit(const MarchFrame& frame, Ray& ray)
{
    CellContext& cell = *ray.cell;
    const Vector3 p = advance(ray.p, ray.d, ray.dir);
    const Vector3 n = normalAt<scene>(cell, p.x, p.y, p.z);
    const Vector3 light = frame.light;
    const float lit = dot3(n.x, n.y, n.z, light.x, light.y, light.z);
    float shade = float(std::fabs(double(lit)) * 0.5 + 0.5);
    if (shade < 0.0f) shade = 0.0f;
    else if (shade > 1.0f) shade = 1.0f;

    const double fade = hitFade(ray.travelled, frame.viewDistance);
    ray.out->glyph = shadeGlyph(shadeIndexOf(shade, fade));
    const int64_t ramp = rampNumber(frame.effectId, p, cell.hitMaterial, relaxedLoad(demo.beatCount));
    ray.out->attr = rampAttribute(colourIndexOf(shade, fade), ramp);
}

// The cells of row y from firstColumn up to endColumn, MARCH_LANES rays at a
// time: a ray's steps depend on each other, but not on another ray's, so the
// processor works on both at once. When a ray ends its lane takes the next
// column.
template <FastScene scene>
void marchCells(const MarchFrame& frame, CellContext (&cells)[MARCH_LANES], int y, int firstColumn,
                int endColumn)
{
    Ray rays[MARCH_LANES];
    int nextColumn = firstColumn;
    int inFlight = 0;
    for (int lane = 0; lane < MARCH_LANES; ++lane) {
        rays[lane].cell = &cells[lane];
        rays[lane].inFlight = false;
        if (nextColumn < endColumn) {
            startRay(frame, rays[lane], nextColumn++, y);
            ++inFlight;
        }
    }
    while (inFlight > 0) {
        for (Ray& ray : rays) {
            if (!ray.inFlight) continue;
            const RayStep step = stepRay<scene>(frame, ray);
            if (step == RayStep::Going) continue;
            if (step == RayStep::Hit) shadeHit<scene>(frame, ray);
            if (nextColumn < endColumn) {
                startRay(frame, ray, nextColumn++, y);
            } else {
                ray.inFlight = false;
                --inFlight;
            }
        }
    }
}

}  // namespace

MarchFrame prepareMarchFrame()
{
    MarchFrame frame;
    frame.effectId = demo.effectId;
    const double t = demo.timeSec;
    const float a = cameraAngle(t, 0.04f, 11.5);
    const float b = cameraAngle(t, 0.05f, 15.5);
    const float g = cameraAngle(t, 0.07f, 17.5);
    frame.turnA = axisTurn(a);
    frame.turnB = axisTurn(b);
    frame.turnG = axisTurn(g);
    frame.light = rotateXYZ(0.3f, 0.3f, -1.0f, frame.turnA, frame.turnB, frame.turnG);
    frame.camera = demo.cameraPos;
    frame.reference = {frame.camera.x, frame.camera.y, float(double(frame.camera.z) + double(REFERENCE_LIFT))};
    frame.viewDistance = demo.viewDistance;
    return frame;
}

void marchSpan(const MarchFrame& frame, CellContext (&cell)[MARCH_LANES], int y, int firstColumn, int endColumn)
{
    switch (frame.effectId) {
    case 1: marchCells<fastscene::scene1>(frame, cell, y, firstColumn, endColumn); break;
    case 2: marchCells<fastscene::scene2>(frame, cell, y, firstColumn, endColumn); break;
    case 3: marchCells<fastscene::scene3>(frame, cell, y, firstColumn, endColumn); break;
    case 4: marchCells<fastscene::scene4>(frame, cell, y, firstColumn, endColumn); break;
    case 5: marchCells<fastscene::scene5>(frame, cell, y, firstColumn, endColumn); break;
    case 6: marchCells<fastscene::scene6>(frame, cell, y, firstColumn, endColumn); break;
    default: marchCells<fastscene::noScene>(frame, cell, y, firstColumn, endColumn); break;
    }
}
