// The ray marcher for the fast cell loop: what marchCell computes for every
// cell but depends only on the frame (the camera's turns, the light, the
// reference point) is taken once in prepareMarchFrame, and marchSpans draws
// part of a row with the scene of the frame called directly.
#pragma once

#include <atomic>

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
// AVX2 register, where the processor has AVX2 (checked once at start), two to
// a register in a WebAssembly build with SIMD, and the scalar lanes elsewhere; Scalar and Vector force one (Vector only where
// it runs).
enum class MarchLanes { Auto, Scalar, Vector };
// Returns whether the vector lanes are now in use.
bool chooseMarchLanes(MarchLanes choice);
bool vectorLanesAvailable();

// Rays a thread keeps in flight at once on the scalar lanes, each with its
// own CellContext.
constexpr int MARCH_LANES = 2;

// The frame's rows handed out in spans, equal parts of a row, one at a time
// from a counter the drawing threads share. The rows are all of the frame's,
// or a share of them: every rowStep-th row from firstRow.
struct Span {
    int y, first, end;  // row y, columns first up to end (excluded)
};
struct SpanClaims {
    std::atomic<int>& next;  // the next span to claim; none left from count on
    int count;               // spans in the rows drawn
    int perRow;
    int firstRow = 0;
    int rowStep = 1;
    // The index of a span no other thread has, count or more when none is left.
    int claim() const { return next.fetch_add(1, std::memory_order_acquire); }
    Span at(int index) const
    {
        const int width = SCREEN_COLUMNS / perRow;
        const int first = index % perRow * width;
        return {firstRow + index / perRow * rowStep, first, first + width};
    }
};

// Span `first`, claimed by the caller, then spans claimed from claims until
// none is left, the cells exactly as marchCell draws them; returns how many
// spans it drew. The scalar lanes use cells for the per-cell values and the
// scratch, one per ray in flight (the vector lanes keep their own), and
// finish a span before they claim the next; a vector lane whose ray ends
// takes the next cell even when that is in the next span, so the last rays
// of a span do not leave the other lanes idle. Reads the pulses, beatCount
// and timeSec from demo as marchCell does, and asks escapeHeld on every step
// of every ray.
int marchSpans(const FastMarchFrame& frame, CellContext (&cells)[MARCH_LANES], const SpanClaims& claims, int first);

// The vector lanes' part of marchSpans (fast_march_avx2.cpp for AVX2,
// fast_march_wasm.cpp for WebAssembly SIMD; lane_march.h for both).
int marchSpansLanes(const MarchFrame& frame, const SpanClaims& claims, int first);
// What the vector lanes leave to one ray at a time, built for any processor:
// the default cell of column x of row y and the ray's start; a hit's cell
// from its shaded point and normal samples (shadeSamples); scene 4's wobble
// by the library.
RayState startRayOfCell(const MarchFrame& frame, int x, int y);
CharInfo shadeCellOfRay(const MarchFrame& frame, float travelled, Vector3 p, Vector3 samples, int hitMaterial);
float wobbleOfOneRay(float x, double t, double beat);

// The vector lanes' sine and cosine (sinCosRounded, and sinRounded with one
// polynomial a lane) and scene 4's wobble (wobbleExact) over arrays, for
// checks against the library. Where the vector lanes are built only.
void sinCosByLanes(const float* x, int count, float* sines, float* cosines, float* sinesAlone);
void wobbleByLanes(const float* x, int count, double t, double beat, float* out);
