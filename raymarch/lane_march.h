// The fast ray marcher with rays in vector registers: every scene formula
// instantiated on FloatLanes (lanes.h), one step of all the lanes at a time,
// and a lane whose ray ends taking the next cell. A hit's three normal
// samples are three more steps of its lane; starting a ray and the rest of
// the shading stay with one ray at a time (fast_march.cpp). Written once for
// every instruction set: fast_march_avx2.cpp and fast_march_wasm.cpp include
// it after their register operations and their choice of how many registers
// each scene marches with (Registers), and it defines fast_march.h's lane
// functions for that translation unit, the only one that includes it. The
// cells are the scalar marcher's, bit for bit.
#pragma once

#include "raymarch/fast_march.h"
#include "raymarch/lanes.h"
#include "raymarch/scene_channels.h"
#include "raymarch/scene_cubes.h"
#include "raymarch/scenes_foam.h"
#include "raymarch/scenes_rods.h"

namespace {

// Scene 2's last turn for one angle, keyed by the lanes' arguments' bits, as
// the scalar memo is (cell_context.h); it serves while all of them repeat.
template <int G>
struct LaneSpinMemo {
    bool valid;
    FloatLanes<G> argument;
    TurnOf<DoubleLanes<G>> turn;
};

template <int G>
int sameBits(FloatLanes<G> a, FloatLanes<G> b)
{
    const LaneMask<G> same = byGroup<LaneMask<G>>(
        [&](size_t g) { return ops::equalInt(ops::bitsOfDoubles(a.v[g]), ops::bitsOfDoubles(b.v[g])); });
    return bitsOf(same);
}

template <int G>
struct LaneContext {
    Point3<FloatLanes<G>> samplePoint;
    LaneSpinMemo<G> spin[3];
    int material;  // scene 4's hitMaterial of each lane, a bit per lane
};

template <int G>
struct LanePath {
    using Context = LaneContext<G>;
    using F = FloatLanes<G>;

    static F fold(F v, double period, double offset = FOLD_OFFSET)
    {
        const F shifted = narrow(widen(v) + offset);
        const F remainder = narrow(laneRemainder(widen(shifted), period));
        return narrow(widen(remainder) - period / 2.0);
    }

    static FoldPair<F> foldTwice(F v, double outer, double inner, double offset)
    {
        const F shifted = narrow(widen(v) + offset);
        return foldsOfRemainder(widen(narrow(laneRemainder(widen(shifted), outer))), outer, inner);
    }

    static TurnOf<DoubleLanes<G>> spinTurn(Context& context, int axis, F argument, double amplitude)
    {
        LaneSpinMemo<G>& memo = context.spin[axis];
        if (memo.valid && sameBits(argument, memo.argument) == allLanes<G>) return memo.turn;
        const F angle = narrow(widen(sinLanes(argument)) * amplitude);
        const SinCosLanes<G> turn = sinCosLanes(angle);
        memo = {true, argument, {widen(turn.c), widen(turn.s)}};
        return memo.turn;
    }

    static F wobble(Context&, F x, double t, double beat)
    {
        return wobbleLanes(x, t, beat, [t, beat](float one) { return wobbleOfOneRay(one, t, beat); });
    }

    static void markMaterial(Context& context, LaneMask<G> nearAxis) { context.material = bitsOf(nearAxis); }
};

template <int G>
using LaneScene = FloatLanes<G> (*)(LaneContext<G>&, FloatLanes<G>, FloatLanes<G>, FloatLanes<G>);

template <int G>
FloatLanes<G> noScene(LaneContext<G>&, FloatLanes<G>, FloatLanes<G>, FloatLanes<G>)
{
    return FloatLanes<G>{};
}

// The rays in flight, one array per component so that each loads as lanes.
// A lane either marches (its evaluated point is its march point) or, after a
// hit, takes the normal's three samples on its next three steps, as
// normalSamples takes them, with samplePoint still the march point.
template <int G>
struct LaneRays {
    static constexpr int count = WIDTH * G;
    LaneArray<G> px, py, pz;  // the march point, samplePoint
    LaneArray<G> dx, dy, dz;  // the direction
    LaneArray<G> ex, ey, ez;  // the point evaluated on this step
    int normalSample[count];  // -1 while marching, else the sample taken: 0 x, 1 y, 2 z
    float samples[count][3];
    Vector3 shaded[count];  // the hit's shaded point
    float travelled[count];
    CharInfo* out[count];
    bool live[count];

    void evaluateAt(int i, double x, double y, double z) { ex.v[i] = x, ey.v[i] = y, ez.v[i] = z; }
    // The next sample of the normal at the shaded point.
    void evaluateNormalSample(int i)
    {
        const Vector3 s = shaded[i];
        const int k = normalSample[i];
        evaluateAt(i, k == 0 ? normalSampleAt(s.x) : s.x, k == 1 ? normalSampleAt(s.y) : s.y,
                   k == 2 ? normalSampleAt(s.z) : s.z);
    }
};

template <int G>
FloatLanes<G> floatLanes(const LaneArray<G>& a)
{
    return fromArray<FloatLanes<G>>(a);
}
template <int G>
FloatLanes<G> floatLanes(float v)
{
    return narrow(lanes<G>(v));
}

// The cells a set of lanes draws, one after another: the columns of its
// span, then those of each span it claims next.
struct CellQueue {
    const SpanClaims& claims;
    Span span;
    int column;
    int spansDrawn;
    bool exhausted;

    // The next cell, false when none is left.
    bool next(int& x, int& y)
    {
        if (column == span.end) {
            const int index = exhausted ? claims.count : claims.claim();
            exhausted = index >= claims.count;
            if (exhausted) return false;
            span = claims.at(index);
            column = span.first;
            ++spansDrawn;
        }
        x = column++;
        y = span.y;
        return true;
    }
};

// The cells of the queue, WIDTH G rays at a time, each step of a ray as stepRay
// takes it (ray_steps.h) and a hit shaded as shadeHit shades it.
// Flattened: the scene and everything it calls inlined, so that lanes stay
// in registers rather than being passed through memory.
template <int G, LaneScene<G> scene>
[[gnu::flatten]] void marchLanes(const MarchFrame& frame, CellQueue& cells)
{
    LaneRays<G> rays{};
    // Lane i takes the next cell, if any is left.
    auto begin = [&](int i) {
        int x, y;
        rays.live[i] = cells.next(x, y);
        if (!rays.live[i]) return false;
        const RayState ray = startRayOfCell(frame, x, y);
        rays.out[i] = &screenBuffer[y * SCREEN_COLUMNS + x];
        rays.px.v[i] = ray.p.x, rays.py.v[i] = ray.p.y, rays.pz.v[i] = ray.p.z;
        rays.dx.v[i] = ray.dir.x, rays.dy.v[i] = ray.dir.y, rays.dz.v[i] = ray.dir.z;
        rays.evaluateAt(i, ray.p.x, ray.p.y, ray.p.z);
        rays.normalSample[i] = -1;
        return true;
    };
    int live = 0;
    for (int i = 0; i < rays.count; ++i) live += begin(i);

    LaneContext<G> context{};
    const FloatLanes<G> hitDistance = floatLanes<G>(HIT_DISTANCE);
    const FloatLanes<G> viewDistance = floatLanes<G>(frame.viewDistance);
    while (live > 0) {
        const Point3<FloatLanes<G>> p = {floatLanes(rays.px), floatLanes(rays.py), floatLanes(rays.pz)};
        const Point3<FloatLanes<G>> dir = {floatLanes(rays.dx), floatLanes(rays.dy), floatLanes(rays.dz)};
        context.samplePoint = p;
        context.material = 0;
        const FloatLanes<G> d = scene(context, floatLanes(rays.ex), floatLanes(rays.ey), floatLanes(rays.ez));
        // For the marching lanes (for the others these go unused):
        const FloatLanes<G> travelled = travelledFrom(p, frame.reference);
        const Point3<FloatLanes<G>> next = advance(p, d, dir);
        const int hit = bitsOf(d < hitDistance);
        // Written so that a NaN distance ends the ray, as in stepRay.
        const int within = bitsOf(travelled < viewDistance);
        const int stuck = bitsOf((next.x == p.x) & (next.y == p.y) & (next.z == p.z));
        const LaneArray<G> ds = toArray(d), ts = toArray(travelled);
        const LaneArray<G> nx = toArray(next.x), ny = toArray(next.y), nz = toArray(next.z);
        for (int i = 0; i < rays.count; ++i) {
            if (!rays.live[i]) continue;
            int& sample = rays.normalSample[i];
            if (sample >= 0) {
                rays.samples[i][sample] = float(ds.v[i]);
                if (sample < 2) {
                    ++sample;
                    rays.evaluateNormalSample(i);
                    continue;
                }
                // hitMaterial as the last sample (z) leaves it.
                const Vector3 g = {rays.samples[i][0], rays.samples[i][1], rays.samples[i][2]};
                *rays.out[i] = shadeCellOfRay(frame, rays.travelled[i], rays.shaded[i], g, context.material >> i & 1);
            } else if (hit >> i & 1) {
                // The shaded point is one more step: the lane's next point.
                rays.shaded[i] = {float(nx.v[i]), float(ny.v[i]), float(nz.v[i])};
                rays.travelled[i] = float(ts.v[i]);
                sample = 0;
                rays.evaluateNormalSample(i);
                continue;
            } else if (!escapeHeld() && (within & ~stuck) >> i & 1) {
                rays.px.v[i] = nx.v[i], rays.py.v[i] = ny.v[i], rays.pz.v[i] = nz.v[i];
                rays.evaluateAt(i, nx.v[i], ny.v[i], nz.v[i]);
                continue;
            }
            if (!begin(i)) --live;
        }
    }
}

// Applies lanesOf to count inputs, a full set of G registers at a time (the
// last set padded with the first input).
template <int G, class Lanes>
void overLanes(const float* in, int count, Lanes lanesOf)
{
    for (int first = 0; first < count; first += WIDTH * G) {
        LaneArray<G> x;
        for (int i = 0; i < WIDTH * G; ++i) x.v[i] = in[first + i < count ? first + i : 0];
        lanesOf(first, floatLanes(x));
    }
}

// Stores the lanes of v from out[first] on, those below count.
template <int G>
void storeLanes(FloatLanes<G> v, float* out, int first, int count)
{
    const LaneArray<G> a = toArray(v);
    for (int i = 0; i < WIDTH * G && first + i < count; ++i) out[first + i] = float(a.v[i]);
}

}  // namespace

// fast_march.h's lane functions. Registers::of(effect), declared by the
// including file, is how many registers make a set for the scene of that
// effect (0: for the checks of the guarded functions).
void sinCosByLanes(const float* x, int count, float* sines, float* cosines, float* sinesAlone)
{
    constexpr int G = Registers::of(0);
    overLanes<G>(x, count, [&](int first, FloatLanes<G> v) {
        const SinCosLanes<G> both = sinCosLanes(v);
        storeLanes(both.s, sines, first, count);
        storeLanes(both.c, cosines, first, count);
        storeLanes(sinLanes(v), sinesAlone, first, count);
    });
}

void wobbleByLanes(const float* x, int count, double t, double beat, float* out)
{
    constexpr int G = Registers::of(0);
    overLanes<G>(x, count, [&](int first, FloatLanes<G> v) {
        storeLanes(wobbleLanes(v, t, beat, [t, beat](float one) { return wobbleOfOneRay(one, t, beat); }), out,
                   first, count);
    });
}

int marchSpansLanes(const MarchFrame& frame, const SpanClaims& claims, int first)
{
    const Span span = claims.at(first);
    CellQueue cells{claims, span, span.first, 1, false};
    constexpr auto of = Registers::of;
    switch (frame.effectId) {
    case 1: marchLanes<of(1), foam::scene1<LanePath<of(1)>>>(frame, cells); break;
    case 2: marchLanes<of(2), cubes::scene2<LanePath<of(2)>>>(frame, cells); break;
    case 3: marchLanes<of(3), foam::scene3<LanePath<of(3)>>>(frame, cells); break;
    case 4: marchLanes<of(4), rods::scene4<LanePath<of(4)>>>(frame, cells); break;
    case 5: marchLanes<of(5), rods::scene5<LanePath<of(5)>>>(frame, cells); break;
    case 6: marchLanes<of(6), channels::scene6<LanePath<of(6)>>>(frame, cells); break;
    default: marchLanes<of(0), noScene<of(0)>>(frame, cells); break;
    }
    return cells.spansDrawn;
}
