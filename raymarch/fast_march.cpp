#include "raymarch/fast_march.h"

#include <atomic>

#include "raymarch/fast_scenes.h"

namespace {

using FastScene = float (*)(CellContext&, float, float, float);

// One ray in flight: its lane's per-cell values and scratch, the cell it
// draws and marchCell's locals.
struct Lane {
    CellContext* cell;
    CharInfo* out;
    RayState ray;
    bool inFlight;
};

// The scene of the frame at a point, with the lane's per-cell values.
template <FastScene scene>
struct LaneDistance {
    CellContext& cell;
    float operator()(float x, float y, float z) const { return scene(cell, x, y, z); }
};

// marchCell up to the march loop: the default cell, the direction, the start.
void startLane(const MarchFrame& frame, Lane& lane, int x, int y)
{
    CellContext& cell = *lane.cell;
    cell.cellX = x;
    cell.cellY = y;
    cell.cellU = float(x - 40);
    cell.cellV = float(y - 25);
    lane.out = &screenBuffer[y * SCREEN_COLUMNS + x];
    *lane.out = CharInfo{MISS_GLYPH, MISS_ATTR};
    startRay(frame, lane.ray, cell.cellU, cell.cellV);
    lane.inFlight = true;
}

// The cells of row y from firstColumn up to endColumn, MARCH_LANES rays at a
// time: a ray's steps depend on each other, but not on another ray's, so the
// processor works on both at once. When a ray ends its lane takes the next
// column.
template <FastScene scene>
void marchCells(const MarchFrame& frame, CellContext (&cells)[MARCH_LANES], int y, int firstColumn,
                int endColumn)
{
    Lane lanes[MARCH_LANES];
    int nextColumn = firstColumn;
    int inFlight = 0;
    for (int i = 0; i < MARCH_LANES; ++i) {
        lanes[i].cell = &cells[i];
        lanes[i].inFlight = false;
        if (nextColumn < endColumn) {
            startLane(frame, lanes[i], nextColumn++, y);
            ++inFlight;
        }
    }
    while (inFlight > 0) {
        for (Lane& lane : lanes) {
            if (!lane.inFlight) continue;
            const LaneDistance<scene> distance{*lane.cell};
            const RayStep step = stepRay(frame, lane.ray, lane.cell->samplePoint, distance);
            if (step == RayStep::Going) continue;
            if (step == RayStep::Hit) *lane.out = shadeHit(frame, lane.ray, lane.cell->hitMaterial, distance);
            if (nextColumn < endColumn) {
                startLane(frame, lane, nextColumn++, y);
            } else {
                lane.inFlight = false;
                --inFlight;
            }
        }
    }
}

// Whether the processor runs the vector lanes, asked once at start. A
// WebAssembly build has them when it is built with SIMD: the engine then
// refuses the whole module rather than some instructions.
bool detectVectorLanes()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#elif defined(__wasm_simd128__)
    return true;
#else
    return false;
#endif
}
const bool avx2Present = detectVectorLanes();
std::atomic<bool> vectorLanesChosen{avx2Present};

}  // namespace

bool vectorLanesAvailable() { return avx2Present; }

bool chooseMarchLanes(MarchLanes choice)
{
    vectorLanesChosen = avx2Present && choice != MarchLanes::Scalar;
    return vectorLanesChosen;
}

FastMarchFrame prepareMarchFrame() { return {marchFrameOf(demo), vectorLanesChosen.load()}; }

RayState startRayOfCell(const MarchFrame& frame, int x, int y)
{
    screenBuffer[y * SCREEN_COLUMNS + x] = CharInfo{MISS_GLYPH, MISS_ATTR};
    RayState ray;
    startRay(frame, ray, float(x - 40), float(y - 25));
    return ray;
}

CharInfo shadeCellOfRay(const MarchFrame& frame, float travelled, Vector3 p, Vector3 samples, int hitMaterial)
{
    return shadeSamples(frame, travelled, p, samples, hitMaterial);
}

float wobbleOfOneRay(float x, double t, double beat) { return rods::wobble(x, t, beat); }

int marchSpans(const FastMarchFrame& frame, CellContext (&cells)[MARCH_LANES], const SpanClaims& claims, int span)
{
#if defined(__x86_64__) || defined(__i386__) || defined(__wasm_simd128__)
    if (frame.vectorLanes) return marchSpansLanes(frame, claims, span);
#endif
    int drawn = 0;
    for (; span < claims.count; span = claims.claim(), ++drawn) {
        const Span s = claims.at(span);
        switch (frame.effectId) {
        case 1: marchCells<fastscene::scene1>(frame, cells, s.y, s.first, s.end); break;
        case 2: marchCells<fastscene::scene2>(frame, cells, s.y, s.first, s.end); break;
        case 3: marchCells<fastscene::scene3>(frame, cells, s.y, s.first, s.end); break;
        case 4: marchCells<fastscene::scene4>(frame, cells, s.y, s.first, s.end); break;
        case 5: marchCells<fastscene::scene5>(frame, cells, s.y, s.first, s.end); break;
        case 6: marchCells<fastscene::scene6>(frame, cells, s.y, s.first, s.end); break;
        default: marchCells<fastscene::noScene>(frame, cells, s.y, s.first, s.end); break;
        }
    }
    return drawn;
}
