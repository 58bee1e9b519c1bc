// The fast ray marcher with four rays in one AVX2 register: every scene
// formula instantiated on FloatLanes (lanes_avx2.h), one step of all four
// rays at a time, and a lane whose ray ends taking the next column. A hit's
// three normal samples are taken together in the lanes of one evaluation;
// starting a ray and the rest of the shading stay with one ray at a time
// (fast_march.cpp). This
// file alone is compiled with -mavx2 and runs only where the processor has
// it; the cells are the scalar marcher's, bit for bit.
#if defined(__x86_64__) || defined(__i386__)

#include "raymarch/fast_march.h"
#include "raymarch/lanes_avx2.h"
#include "raymarch/scene_channels.h"
#include "raymarch/scene_cubes.h"
#include "raymarch/scenes_foam.h"
#include "raymarch/scenes_rods.h"

namespace {

using LanePoint = Point3<FloatLanes>;

// Scene 2's last turn for one angle, keyed by the lanes' arguments' bits, as
// the scalar memo is (cell_context.h); it serves while all of them repeat.
struct LaneSpinMemo {
    bool valid;
    FloatLanes argument;
    TurnOf<DoubleLanes> turn;
};

int sameBits(FloatLanes a, FloatLanes b)
{
    const LaneMask same = byGroup<LaneMask>([&](size_t g) {
        return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_castpd_si256(a.v[g]), _mm256_castpd_si256(b.v[g])));
    });
    return bitsOf(same);
}

struct LaneContext {
    LanePoint samplePoint;
    LaneSpinMemo spin[3];
    int material;  // scene 4's hitMaterial of each lane, a bit per lane
};

struct LanePath {
    using Context = LaneContext;

    static FloatLanes fold(FloatLanes v, double period, double offset = FOLD_OFFSET)
    {
        const FloatLanes shifted = narrow(widen(v) + offset);
        const FloatLanes remainder = narrow(laneRemainder(widen(shifted), period));
        return narrow(widen(remainder) - period / 2.0);
    }

    static FoldPair<FloatLanes> foldTwice(FloatLanes v, double outer, double inner, double offset)
    {
        const FloatLanes shifted = narrow(widen(v) + offset);
        return foldsOfRemainder(widen(narrow(laneRemainder(widen(shifted), outer))), outer, inner);
    }

    static TurnOf<DoubleLanes> spinTurn(LaneContext& context, int axis, FloatLanes argument, double amplitude)
    {
        LaneSpinMemo& memo = context.spin[axis];
        if (memo.valid && sameBits(argument, memo.argument) == ALL_LANES) return memo.turn;
        const FloatLanes angle = narrow(widen(sinLanes(argument)) * amplitude);
        const SinCosLanes turn = sinCosLanes(angle);
        memo = {true, argument, {widen(turn.c), widen(turn.s)}};
        return memo.turn;
    }

    static FloatLanes wobble(LaneContext&, FloatLanes x, double t, double beat)
    {
        return wobbleLanes(x, t, beat, [t, beat](float one) { return wobbleOfOneRay(one, t, beat); });
    }

    static void markMaterial(LaneContext& context, LaneMask nearAxis) { context.material = bitsOf(nearAxis); }
};

using LaneScene = FloatLanes (*)(LaneContext&, FloatLanes, FloatLanes, FloatLanes);

FloatLanes noScene(LaneContext&, FloatLanes, FloatLanes, FloatLanes) { return FloatLanes{}; }

// The rays in flight: their points and directions, one array per component
// so that each loads as lanes, and the cells they draw.
struct LaneRays {
    LaneArray px, py, pz, dx, dy, dz;
    CharInfo* out[LANE_COUNT];
    bool live[LANE_COUNT];
};

FloatLanes floatLanes(const LaneArray& a) { return fromArray<FloatLanes>(a); }
FloatLanes floatLanes(float v) { return narrow(lanes(v)); }

// The cell of a hit shaded at p, the march having sampled `sampled` last:
// the normal's samples at p + h in x, in y and in z are lanes 0, 1 and 2 of
// one evaluation (the other lanes repeat lane 2), as normalSamples takes
// them.
template <LaneScene scene>
CharInfo shadeLaneHit(const MarchFrame& frame, LaneContext& context, Vector3 sampled, Vector3 p, float travelled)
{
    LaneArray x, y, z;
    for (int i = 0; i < LANE_COUNT; ++i) {
        x.v[i] = i == 0 ? normalSampleAt(p.x) : p.x;
        y.v[i] = i == 1 ? normalSampleAt(p.y) : p.y;
        z.v[i] = i >= 2 ? normalSampleAt(p.z) : p.z;
    }
    context.samplePoint = {floatLanes(sampled.x), floatLanes(sampled.y), floatLanes(sampled.z)};
    context.material = 0;
    const LaneArray g = toArray(scene(context, floatLanes(x), floatLanes(y), floatLanes(z)));
    const Vector3 samples = {float(g.v[0]), float(g.v[1]), float(g.v[2])};
    return shadeCellOfRay(frame, travelled, p, samples, context.material >> 2 & 1);
}

// The cells of row y from firstColumn up to endColumn, four rays at a time,
// each step of a ray as stepRay takes it (ray_steps.h).
// Flattened: the scene and everything it calls inlined, so that lanes stay
// in registers rather than being passed through memory.
template <LaneScene scene>
[[gnu::flatten]] void marchLanes(const MarchFrame& frame, int y, int firstColumn, int endColumn)
{
    LaneRays rays{};
    int nextColumn = firstColumn;
    // Lane i takes the next column, if any is left.
    auto begin = [&](int i) {
        rays.live[i] = nextColumn < endColumn;
        if (!rays.live[i]) return false;
        const RayState ray = startRayOfCell(frame, nextColumn, y);
        rays.out[i] = &screenBuffer[y * SCREEN_COLUMNS + nextColumn++];
        rays.px.v[i] = ray.p.x, rays.py.v[i] = ray.p.y, rays.pz.v[i] = ray.p.z;
        rays.dx.v[i] = ray.dir.x, rays.dy.v[i] = ray.dir.y, rays.dz.v[i] = ray.dir.z;
        return true;
    };
    int live = 0;
    for (int i = 0; i < LANE_COUNT; ++i) live += begin(i);

    LaneContext context{};
    const FloatLanes hitDistance = floatLanes(HIT_DISTANCE);
    const FloatLanes viewDistance = floatLanes(frame.viewDistance);
    while (live > 0) {
        const LanePoint p = {floatLanes(rays.px), floatLanes(rays.py), floatLanes(rays.pz)};
        const LanePoint dir = {floatLanes(rays.dx), floatLanes(rays.dy), floatLanes(rays.dz)};
        context.samplePoint = p;
        const FloatLanes d = scene(context, p.x, p.y, p.z);
        const FloatLanes travelled = travelledFrom(p, frame.reference);
        const LanePoint next = advance(p, d, dir);
        const int hit = bitsOf(d < hitDistance);
        // Written so that a NaN distance ends the ray, as in stepRay.
        const int within = bitsOf(travelled < viewDistance);
        const int stuck = bitsOf((next.x == p.x) & (next.y == p.y) & (next.z == p.z));
        const LaneArray ts = toArray(travelled);
        const LaneArray nx = toArray(next.x), ny = toArray(next.y), nz = toArray(next.z);
        for (int i = 0; i < LANE_COUNT; ++i) {
            if (!rays.live[i]) continue;
            if (hit >> i & 1) {
                // The shaded point is one more step: the lane's next point.
                const Vector3 sampled = {float(rays.px.v[i]), float(rays.py.v[i]), float(rays.pz.v[i])};
                const Vector3 shaded = {float(nx.v[i]), float(ny.v[i]), float(nz.v[i])};
                *rays.out[i] = shadeLaneHit<scene>(frame, context, sampled, shaded, float(ts.v[i]));
            } else if (!escapeHeld() && (within & ~stuck) >> i & 1) {
                rays.px.v[i] = nx.v[i], rays.py.v[i] = ny.v[i], rays.pz.v[i] = nz.v[i];
                continue;
            }
            if (!begin(i)) --live;
        }
    }
}

// Applies lanesOf to count inputs, a full set of lanes at a time (the last
// set padded with the first input).
template <class Lanes>
void overLanes(const float* in, int count, Lanes lanesOf)
{
    for (int first = 0; first < count; first += LANE_COUNT) {
        LaneArray x;
        for (int i = 0; i < LANE_COUNT; ++i) x.v[i] = in[first + i < count ? first + i : 0];
        lanesOf(first, floatLanes(x));
    }
}

// Stores the lanes of v from out[first] on, those below count.
void storeLanes(FloatLanes v, float* out, int first, int count)
{
    const LaneArray a = toArray(v);
    for (int i = 0; i < LANE_COUNT && first + i < count; ++i) out[first + i] = float(a.v[i]);
}

}  // namespace

void sinCosByLanes(const float* x, int count, float* sines, float* cosines, float* sinesAlone)
{
    overLanes(x, count, [&](int first, FloatLanes v) {
        const SinCosLanes both = sinCosLanes(v);
        storeLanes(both.s, sines, first, count);
        storeLanes(both.c, cosines, first, count);
        storeLanes(sinLanes(v), sinesAlone, first, count);
    });
}

void wobbleByLanes(const float* x, int count, double t, double beat, float* out)
{
    overLanes(x, count, [&](int first, FloatLanes v) {
        storeLanes(wobbleLanes(v, t, beat, [t, beat](float one) { return wobbleOfOneRay(one, t, beat); }), out,
                   first, count);
    });
}

void marchSpanLanes(const MarchFrame& frame, int y, int firstColumn, int endColumn)
{
    switch (frame.effectId) {
    case 1: marchLanes<foam::scene1<LanePath, FloatLanes>>(frame, y, firstColumn, endColumn); break;
    case 2: marchLanes<cubes::scene2<LanePath, FloatLanes>>(frame, y, firstColumn, endColumn); break;
    case 3: marchLanes<foam::scene3<LanePath, FloatLanes>>(frame, y, firstColumn, endColumn); break;
    case 4: marchLanes<rods::scene4<LanePath, FloatLanes>>(frame, y, firstColumn, endColumn); break;
    case 5: marchLanes<rods::scene5<LanePath, FloatLanes>>(frame, y, firstColumn, endColumn); break;
    case 6: marchLanes<channels::scene6<LanePath, FloatLanes>>(frame, y, firstColumn, endColumn); break;
    default: marchLanes<noScene>(frame, y, firstColumn, endColumn); break;
    }
}

#endif
