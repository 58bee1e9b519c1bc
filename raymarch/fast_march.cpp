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

// One cell: marchCell step for step, with the frame's constants.
template <FastScene scene>
void marchOne(const MarchFrame& frame, CellContext& cell)
{
    CharInfo& out = screenBuffer[cell.cellY * SCREEN_COLUMNS + cell.cellX];
    out = CharInfo{MISS_GLYPH, MISS_ATTR};

    const float dx = float(double(cell.cellU) / SCREEN_HALF_WIDTH);
    const float dy = float(double(cell.cellV) / SCREEN_HALF_HEIGHT);
    const Vector3 dir = rotateXYZ(dx, dy, 1.0f, frame.turnA, frame.turnB, frame.turnG);
    const Vector3 ref = frame.reference;
    Vector3 p = advance(frame.camera, float(START_LENGTHS), dir);
    const float viewDistance = frame.viewDistance;

    float d;
    float travelled;
    for (;;) {
        cell.samplePoint = p;
        d = scene(cell, p.x, p.y, p.z);
        travelled = length3(float(double(p.x) - ref.x), float(double(p.y) - ref.y), float(double(p.z) - ref.z));
        if (d < HIT_DISTANCE) break;
        if (escapeHeld()) return;
        const Vector3 next = advance(p, d, dir);
        if (!(travelled < viewDistance)) return;
        if (next.x == p.x && next.y == p.y && next.z == p.z) return;
        p = next;
    }

    p = advance(p, d, dir);
    const Vector3 n = normalAt<scene>(cell, p.x, p.y, p.z);
    const Vector3 light = frame.light;
    const float lit = dot3(n.x, n.y, n.z, light.x, light.y, light.z);
    float shade = float(std::fabs(double(lit)) * 0.5 + 0.5);
    if (shade < 0.0f) shade = 0.0f;
    else if (shade > 1.0f) shade = 1.0f;

    const double fade = hitFade(travelled, viewDistance);
    out.glyph = shadeGlyph(shadeIndexOf(shade, fade));
    const int64_t ramp = rampNumber(frame.effectId, p, cell.hitMaterial, relaxedLoad(demo.beatCount));
    out.attr = rampAttribute(colourIndexOf(shade, fade), ramp);
}

template <FastScene scene>
void marchCells(const MarchFrame& frame, CellContext& cell, int y)
{
    cell.cellY = y;
    cell.cellV = float(y - 25);
    for (int x = 0; x < SCREEN_COLUMNS; ++x) {
        cell.cellX = x;
        cell.cellU = float(x - 40);
        marchOne<scene>(frame, cell);
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

void marchRow(const MarchFrame& frame, CellContext& cell, int y)
{
    switch (frame.effectId) {
    case 1: marchCells<fastscene::scene1>(frame, cell, y); break;
    case 2: marchCells<fastscene::scene2>(frame, cell, y); break;
    case 3: marchCells<fastscene::scene3>(frame, cell, y); break;
    case 4: marchCells<fastscene::scene4>(frame, cell, y); break;
    case 5: marchCells<fastscene::scene5>(frame, cell, y); break;
    case 6: marchCells<fastscene::scene6>(frame, cell, y); break;
    default: marchCells<fastscene::noScene>(frame, cell, y); break;
    }
}
