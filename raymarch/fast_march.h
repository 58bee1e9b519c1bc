// The ray marcher for the fast cell loop: what marchCell computes for every
// cell but depends only on the frame (the camera's turns, the light, the
// reference point) is taken once in prepareMarchFrame, and marchSpan draws
// part of a row with the scene of the frame called directly.
#pragma once

#include "raymarch/cell_context.h"
#include "raymarch/ray_steps.h"

// marchFrameOf(demo) (effectId 1..8, timeSec, cameraPos, viewDistance).
// Called once per frame, before any row.
MarchFrame prepareMarchFrame();

// Rays a thread keeps in flight at once, each with its own CellContext.
constexpr int MARCH_LANES = 2;

// Row y, columns firstColumn up to endColumn (excluded), the cells exactly as
// marchCell draws them. Uses cells for the per-cell values and the scratch, one per ray in flight; reads
// the pulses, beatCount and timeSec from demo as marchCell does, and asks
// escapeHeld on every step of every ray.
void marchSpan(const MarchFrame& frame, CellContext (&cells)[MARCH_LANES], int y, int firstColumn, int endColumn);
