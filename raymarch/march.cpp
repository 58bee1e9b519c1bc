// The ray-march renderer: one ray per cell from the camera, turned by three
// time-driven angles, marched by the scene's distances until it comes within
// 0.001 of a surface or passes the view distance. A hit is shaded by the angle
// between its normal and a light that turns with the camera, faded with
// distance, and coloured by a ramp chosen from its position and the beat.
//
// This is the straightforward renderer, one cell per call with every value
// computed per cell; the demo draws with the fast one (fast_march.cpp), which
// must give the same cells.
#include "raymarch/march.h"

#include <cmath>
#include <cstdint>

#include "raymarch/primitives.h"
#include "raymarch/scenes.h"
#include "raymarch/shading.h"
#include "runtime/console_host.h"

namespace {

constexpr uint16_t MISS_GLYPH = 219;  // full block, drawn black
constexpr uint16_t MISS_ATTR = 0;

constexpr float HIT_DISTANCE = 0.001f;     // a sample closer than this is a hit
constexpr float NORMAL_STEP = 0.001f;      // offset of the normal's samples
constexpr float REFERENCE_LIFT = 0.001f;   // travelled distances are measured from camera + this in z
constexpr double START_LENGTHS = 3.0;      // the march starts this many direction lengths out

constexpr double SCREEN_HALF_WIDTH = 40.0;   // cellU / 40 spans -1 .. 0.975
constexpr double SCREEN_HALF_HEIGHT = 25.0;  // cellV / 25 spans -1 .. 0.96

// Camera angle: amplitude * sin(t * rate), the product, the sine and the
// scaled result each rounded.
float cameraAngle(double t, float rate, double amplitude)
{
    const float argument = float(t * double(rate));
    return float(double(float(std::sin(double(argument)))) * amplitude);
}

// p + d * dir, each component rounded.
Vector3 advance(Vector3 p, float d, Vector3 dir)
{
    return {float(double(p.x) + double(d) * dir.x), float(double(p.y) + double(d) * dir.y),
            float(double(p.z) + double(d) * dir.z)};
}

}  // namespace

float sceneDistanceAt(float x, float y, float z)
{
    const int id = demo.effectId;
    for (const SceneEntry& scene : sceneTable)
        if (scene.id == id) return scene.distance(x, y, z);
    return 0.0f;
}

Vector3 estimateNormal(float x, float y, float z)
{
    const double h = NORMAL_STEP;
    const float gx = sceneDistanceAt(float(double(x) + h), y, z);
    const float gy = sceneDistanceAt(x, float(double(y) + h), z);
    const float gz = sceneDistanceAt(x, y, float(double(z) + h));
    return normalize({gx, gy, gz});
}

void marchCell()
{
    CharInfo& cell = currentCell();
    cell = CharInfo{MISS_GLYPH, MISS_ATTR};

    const float dx = float(double(demo.cellU) / SCREEN_HALF_WIDTH);
    const float dy = float(double(demo.cellV) / SCREEN_HALF_HEIGHT);

    const double t = demo.timeSec;
    const float a = cameraAngle(t, 0.04f, 11.5);
    const float b = cameraAngle(t, 0.05f, 15.5);
    const float g = cameraAngle(t, 0.07f, 17.5);

    const Vector3 dir = rotateXYZ(dx, dy, 1.0f, a, b, g);
    const Vector3 light = rotateXYZ(0.3f, 0.3f, -1.0f, a, b, g);

    const Vector3 camera = demo.cameraPos;
    const Vector3 ref = {camera.x, camera.y, float(double(camera.z) + double(REFERENCE_LIFT))};
    Vector3 p = advance(camera, float(START_LENGTHS), dir);
    const float viewDistance = demo.viewDistance;

    float d;
    float travelled;
    for (;;) {
        demo.samplePoint = p;
        d = sceneDistanceAt(p.x, p.y, p.z);
        travelled = length3(float(double(p.x) - ref.x), float(double(p.y) - ref.y), float(double(p.z) - ref.z));
        if (d < HIT_DISTANCE) break;
        if (escapeHeld()) return;
        const Vector3 next = advance(p, d, dir);
        // The test is on the point sampled before the step; written so that
        // a NaN distance ends the ray too.
        if (!(travelled < viewDistance)) return;
        // Far from the origin a short step can round away to nothing; the
        // ray would then sample the same point forever, so it ends as a miss.
        if (next.x == p.x && next.y == p.y && next.z == p.z) return;
        p = next;
    }

    // Hit: one more step with the last distance gives the shaded point.
    p = advance(p, d, dir);
    const Vector3 n = estimateNormal(p.x, p.y, p.z);
    const float lit = dot3(n.x, n.y, n.z, light.x, light.y, light.z);
    float shade = float(std::fabs(double(lit)) * 0.5 + 0.5);
    if (shade < 0.0f) shade = 0.0f;
    else if (shade > 1.0f) shade = 1.0f;

    const double fade = hitFade(travelled, viewDistance);
    cell.glyph = shadeGlyph(shadeIndexOf(shade, fade));
    const int64_t ramp = rampNumber(demo.effectId, p, demo.hitMaterial, relaxedLoad(demo.beatCount));
    cell.attr = rampAttribute(colourIndexOf(shade, fade), ramp);
}
