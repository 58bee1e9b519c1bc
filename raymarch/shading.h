// How the ray marcher turns a hit into a cell: the fade with distance, the
// shade and colour indexes, the glyph from shadeRamp and the attribute from
// the colour ramps of marchColours.
#pragma once

#include <cstdint>

#include "state/demo_state.h"

// 1 - travelled / viewDistance, in double. A zero view distance gives no
// finite fade; such a hit counts as fully faded (0).
double hitFade(float travelled, float viewDistance);

// trunc(shade * 3.7 * fade) and trunc(shade * 4 * fade), capped at 3 above.
// There is no lower clamp: a hit detected far past the view distance gets a
// negative index.
int64_t colourIndexOf(float shade, double fade);
int64_t shadeIndexOf(float shade, double fade);

// The glyph byte for a shade index: shadeRamp at s rem 4, where a negative
// remainder reads the last entries of beatGlyphs, stored just before it.
uint16_t shadeGlyph(int64_t shadeIndex);

// The ramp number of a hit point: for scene 4 its material, for scene 6 the
// sum of its 10-unit cells, for the others the sum of its 20-unit cells (cells
// truncate toward zero), plus the beat count.
int64_t rampNumber(int effectId, Vector3 hit, int hitMaterial, int beatCount);

// The attribute for colour index c on ramp k: marchColours at (c + 4k) rem 20.
// Remainders -1 and -2 read the overlayAttr entries stored before it; lower
// ones wrap by 20 to the same ramp position, as a positive remainder would.
uint16_t rampAttribute(int64_t colourIndex, int64_t ramp);
