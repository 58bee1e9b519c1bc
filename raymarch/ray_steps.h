// The steps of one ray, shared by marchCell and the fast cell loop: the
// constants of the camera, the start, one iteration of the march loop, the
// normal and the shading of a hit. A Distance is anything called as
// distance(x, y, z) that returns the scene's float distance.
#pragma once

#include <cmath>
#include <cstdint>

#include "raymarch/primitives.h"
#include "raymarch/shading.h"
#include "state/console_host.h"

constexpr uint16_t MISS_GLYPH = 219;  // full block, drawn black
constexpr uint16_t MISS_ATTR = 0;

constexpr float HIT_DISTANCE = 0.001f;     // a sample closer than this is a hit
constexpr float NORMAL_STEP = 0.001f;      // offset of the normal's samples
constexpr float REFERENCE_LIFT = 0.001f;   // travelled distances are measured from camera + this in z
constexpr double START_LENGTHS = 3.0;      // the march starts this many direction lengths out

constexpr double SCREEN_HALF_WIDTH = 40.0;   // cellU / 40 spans -1 .. 0.975
constexpr double SCREEN_HALF_HEIGHT = 25.0;  // cellV / 25 spans -1 .. 0.96

// What a ray needs of the frame: values that depend only on demo's frame
// parameters and timeSec.
struct MarchFrame {
    int effectId;        // the scene, 1..8
    AxisTurn turnA;      // the camera's turn about x ...
    AxisTurn turnB;      // ... then about y ...
    AxisTurn turnG;      // ... then about z
    Vector3 light;       // the light vector, turned like the rays
    Vector3 camera;      // cameraPos
    Vector3 reference;   // cameraPos lifted by 0.001 in z: travelled distances start here
    float viewDistance;  // longest ray and fog distance
};

// Camera angle: amplitude * sin(t * rate), the product, the sine and the
// scaled result each rounded.
inline float cameraAngle(double t, float rate, double amplitude)
{
    const float argument = float(t * double(rate));
    return float(double(float(std::sin(double(argument)))) * amplitude);
}

// The frame's values from demo (effectId, timeSec, cameraPos, viewDistance).
inline MarchFrame marchFrameOf(const DemoState& state)
{
    MarchFrame frame;
    frame.effectId = state.effectId;
    const double t = state.timeSec;
    const float a = cameraAngle(t, 0.04f, 11.5);
    const float b = cameraAngle(t, 0.05f, 15.5);
    const float g = cameraAngle(t, 0.07f, 17.5);
    frame.turnA = axisTurn(a);
    frame.turnB = axisTurn(b);
    frame.turnG = axisTurn(g);
    frame.light = rotateXYZ(0.3f, 0.3f, -1.0f, frame.turnA, frame.turnB, frame.turnG);
    frame.camera = state.cameraPos;
    frame.reference = {frame.camera.x, frame.camera.y, float(double(frame.camera.z) + double(REFERENCE_LIFT))};
    frame.viewDistance = state.viewDistance;
    return frame;
}

// p + d * dir, each component rounded.
template <class P, class F>
inline P advance(P p, F d, P dir)
{
    return {narrow(widen(p.x) + widen(d) * widen(dir.x)), narrow(widen(p.y) + widen(d) * widen(dir.y)),
            narrow(widen(p.z) + widen(d) * widen(dir.z))};
}

// How far the sample p lies from the reference point.
template <class P>
inline auto travelledFrom(P p, Vector3 ref)
{
    return length3(narrow(widen(p.x) - double(ref.x)), narrow(widen(p.y) - double(ref.y)),
                   narrow(widen(p.z) - double(ref.z)));
}

// A ray's locals between the steps.
struct RayState {
    Vector3 dir;      // its direction, not normalised
    Vector3 p;        // the point about to be sampled
    float d;          // the last distance
    float travelled;  // how far that sample lies from the reference point
};

// The direction through the cell at (cellU, cellV) and the start three
// direction lengths out.
inline void startRay(const MarchFrame& frame, RayState& ray, float cellU, float cellV)
{
    const float dx = float(double(cellU) / SCREEN_HALF_WIDTH);
    const float dy = float(double(cellV) / SCREEN_HALF_HEIGHT);
    ray.dir = rotateXYZ(dx, dy, 1.0f, frame.turnA, frame.turnB, frame.turnG);
    ray.p = advance(frame.camera, float(START_LENGTHS), ray.dir);
}

enum class RayStep { Going, Hit, Ended };

// One iteration of the march loop: samplePoint write, distance, hit test,
// Escape query, step and miss tests in that order.
template <class Distance>
inline RayStep stepRay(const MarchFrame& frame, RayState& ray, Vector3& samplePoint, Distance distance)
{
    const Vector3 p = ray.p;
    const Vector3 ref = frame.reference;
    samplePoint = p;
    ray.d = distance(p.x, p.y, p.z);
    ray.travelled = travelledFrom(p, ref);
    if (ray.d < HIT_DISTANCE) return RayStep::Hit;
    if (escapeHeld()) return RayStep::Ended;
    const Vector3 next = advance(p, ray.d, ray.dir);
    // The test is on the point sampled before the step; written so that a
    // NaN distance ends the ray too.
    if (!(ray.travelled < frame.viewDistance)) return RayStep::Ended;
    // Far from the origin a short step can round away to nothing; the ray
    // would then sample the same point forever, so it ends as a miss.
    if (next.x == p.x && next.y == p.y && next.z == p.z) return RayStep::Ended;
    ray.p = next;
    return RayStep::Going;
}

// The three forward samples of the normal, in this order.
inline float normalSampleAt(float v) { return float(double(v) + double(NORMAL_STEP)); }
template <class Distance>
inline Vector3 normalSamples(Distance distance, float x, float y, float z)
{
    const float gx = distance(normalSampleAt(x), y, z);
    const float gy = distance(x, normalSampleAt(y), z);
    const float gz = distance(x, y, normalSampleAt(z));
    return {gx, gy, gz};
}

// The normalised gradient of three forward samples.
template <class Distance>
inline Vector3 normalOf(Distance distance, float x, float y, float z)
{
    return normalize(normalSamples(distance, x, y, z));
}

// A hit's cell from the shaded point p, the normal's samples and
// hitMaterial as they leave it: the normal's shade and the fade give the
// glyph, the material the ramp with beatCount.
inline CharInfo shadeSamples(const MarchFrame& frame, float travelled, Vector3 p, Vector3 samples, int hitMaterial)
{
    const Vector3 n = normalize(samples);
    const Vector3 light = frame.light;
    const float lit = dot3(n.x, n.y, n.z, light.x, light.y, light.z);
    float shade = float(std::fabs(double(lit)) * 0.5 + 0.5);
    if (shade < 0.0f) shade = 0.0f;
    else if (shade > 1.0f) shade = 1.0f;

    const double fade = hitFade(travelled, frame.viewDistance);
    const uint16_t glyph = shadeGlyph(shadeIndexOf(shade, fade));
    const int64_t ramp = rampNumber(frame.effectId, p, hitMaterial, relaxedLoad(demo.beatCount));
    return CharInfo{glyph, rampAttribute(colourIndexOf(shade, fade), ramp)};
}

// A hit: one more step with the last distance gives the shaded point, where
// the normal's samples are taken.
template <class Distance>
inline CharInfo shadeHit(const MarchFrame& frame, const RayState& ray, const int& hitMaterial, Distance distance)
{
    const Vector3 p = advance(ray.p, ray.d, ray.dir);
    const Vector3 samples = normalSamples(distance, p.x, p.y, p.z);
    return shadeSamples(frame, ray.travelled, p, samples, hitMaterial);
}
