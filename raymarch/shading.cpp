#include "raymarch/shading.h"

#include <cmath>

#include "art/tables.h"

namespace {

constexpr double COLOUR_LEVELS = double(3.7f);
constexpr double SHADE_LEVELS = 4.0;
constexpr double TOP_INDEX = 3.0;
constexpr int SHADE_RAMP_SIZE = 4;
constexpr int RAMP_LENGTH = 4;          // entries per colour ramp
constexpr int MARCH_COLOUR_COUNT = 20;  // five ramps of four

// Integers beyond this are clamped before conversion. Only a hit far past a
// vanishing view distance, or a point far outside any scene, comes near it.
constexpr double INTEGER_LIMIT = 1.0e15;

int64_t clampedTrunc(double v)
{
    const double whole = std::trunc(v);
    if (std::isnan(whole)) return 0;
    if (whole < -INTEGER_LIMIT) return int64_t(-INTEGER_LIMIT);
    if (whole > INTEGER_LIMIT) return int64_t(INTEGER_LIMIT);
    return int64_t(whole);
}

int64_t fadedIndex(float shade, double levels, double fade)
{
    const double level = double(shade) * levels * fade;
    return level > TOP_INDEX ? int64_t(TOP_INDEX) : clampedTrunc(level);
}

}  // namespace

double hitFade(float travelled, float viewDistance)
{
    const double fade = 1.0 - double(travelled) / double(viewDistance);
    return std::isfinite(fade) ? fade : 0.0;
}

int64_t colourIndexOf(float shade, double fade) { return fadedIndex(shade, COLOUR_LEVELS, fade); }
int64_t shadeIndexOf(float shade, double fade) { return fadedIndex(shade, SHADE_LEVELS, fade); }

uint16_t shadeGlyph(int64_t shadeIndex)
{
    const int r = int(shadeIndex % SHADE_RAMP_SIZE);  // -3 .. 3
    return uint16_t(shadeRamp[r] & 0xFF);
}

int64_t rampNumber(int effectId, Vector3 hit, int hitMaterial, int beatCount)
{
    if (effectId == 4) return int64_t(hitMaterial) + beatCount;
    const double cell = effectId == 6 ? 10.0 : 20.0;
    return clampedTrunc(double(hit.x) / cell) + clampedTrunc(double(hit.y) / cell) +
           clampedTrunc(double(hit.z) / cell) + beatCount;
}

uint16_t rampAttribute(int64_t colourIndex, int64_t ramp)
{
    int r = int((colourIndex + RAMP_LENGTH * ramp) % MARCH_COLOUR_COUNT);  // -19 .. 19
    if (MARCH_COLOURS_AT + r < 0) r += MARCH_COLOUR_COUNT;
    return uint16_t(marchColours[r] & 0xFFFF);
}
