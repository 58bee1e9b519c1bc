// The ray marcher for the fast cell loop: what marchCell computes for every
// cell but depends only on the frame (the camera's turns, the light, the
// reference point) is taken once in prepareMarchFrame, and marchSpan draws
// part of a row with the scene of the frame called directly.
#pragma once

#include "raymarch/cell_context.h"
#include "raymarch/ray_steps.h"

// marchFrameOf(demo) (effectId 1..8, timeSec, cameraPos, viewDistance).
// Called once per frame, before any row; the frame's rows are marched with
// the vector lanes or the scalar ones as chosen at that moment.
struct FastMarchFrame : MarchFrame {
    bool vectorLanes;
};
FastMarchFrame prepareMarchFrame();

// How the fast loop marches: Auto takes the vector lanes, four rays to an
// AVX2 register, where the processor has AVX2 (checked once at start) and
// the scalar lanes elsewhere; Scalar and Vector force one (Vector only where
// it runs).
enum class MarchLanes { Auto, Scalar, Vector };
// Returns whether the vector lanes are now in use.
bool chooseMarchLanes(MarchLanes choice);
bool vectorLanesAvailable();

// Rays a thread keeps in flight at once on the scalar lanes, each with its
// own CellContext.
constexpr int MARCH_LANES = 2;

// Row y, columns firstColumn up to endColumn (excluded), the cells exactly as
// marchCell draws them. The scalar lanes use cells for the per-cell values
// and the scratch, one per ray in flight (the vector lanes keep their own);
// reads the pulses, beatCount and timeSec from demo as marchCell does, and
// asks escapeHeld on every step of every ray.
void marchSpan(const FastMarchFrame& frame, CellContext (&cells)[MARCH_LANES], int y, int firstColumn,
               int endColumn);

// The vector lanes' part of marchSpan (fast_march_avx2.cpp, AVX2 only).
void marchSpanLanes(const MarchFrame& frame, int y, int firstColumn, int endColumn);
// What the vector lanes leave to one ray at a time, built for any processor:
// the default cell of column x of row y and the ray's start; a hit's cell
// from its shaded point and normal samples (shadeSamples); scene 4's wobble
// by the library.
RayState startRayOfCell(const MarchFrame& frame, int x, int y);
CharInfo shadeCellOfRay(const MarchFrame& frame, float travelled, Vector3 p, Vector3 samples, int hitMaterial);
float wobbleOfOneRay(float x, double t, double beat);

// The vector lanes' sine and cosine (sinCosRounded, and sinRounded with one
// polynomial a lane) and scene 4's wobble (wobbleExact) over arrays, for
// checks against the library. AVX2 only.
void sinCosByLanes(const float* x, int count, float* sines, float* cosines, float* sinesAlone);
void wobbleByLanes(const float* x, int count, double t, double beat, float* out);
