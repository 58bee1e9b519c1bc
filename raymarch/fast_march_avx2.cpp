// The fast ray marcher with rays in AVX2 registers, four to a register: every
// scene formula instantiated on FloatLanes (lanes_avx2.h), one step of all
// the lanes at a time, and a lane whose ray ends taking the next column. A hit's
// three normal samples are three more steps of its lane; starting a ray and
// the rest of the shading stay with one ray at a time (fast_march.cpp). This
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

// The rays in flight, one array per component so that each loads as lanes.
// A lane either marches (its evaluated point is its march point) or, after a
// hit, takes the normal's three samples on its next three steps, as
// normalSamples takes them, with samplePoint still the march point.
struct LaneRays {
    LaneArray px, py, pz;  // the march point, samplePoint
    LaneArray dx, dy, dz;  // the direction
    LaneArray ex, ey, ez;  // the point evaluated on this step
    int normalSample[LANE_COUNT];  // -1 while marching, else the sample taken: 0 x, 1 y, 2 z
    float samples[LANE_COUNT][3];
    Vector3 shaded[LANE_COUNT];  // the hit's shaded point
    float travelled[LANE_COUNT];
    CharInfo* out[LANE_COUNT];
    bool live[LANE_COUNT];

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

FloatLanes floatLanes(const LaneArray& a) { return fromArray<FloatLanes>(a); }
FloatLanes floatLanes(float v) { return narrow(lanes(v)); }

// The cells of row y from firstColumn up to endColumn, LANE_COUNT rays at a
// time, each step of a ray as stepRay takes it (ray_steps.h) and a hit
// shaded as shadeHit shades it.
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
        rays.evaluateAt(i, ray.p.x, ray.p.y, ray.p.z);
        rays.normalSample[i] = -1;
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
        context.material = 0;
        const FloatLanes d = scene(context, floatLanes(rays.ex), floatLanes(rays.ey), floatLanes(rays.ez));
        // For the marching lanes (for the others these go unused):
        const FloatLanes travelled = travelledFrom(p, frame.reference);
        const LanePoint next = advance(p, d, dir);
        const int hit = bitsOf(d < hitDistance);
        // Written so that a NaN distance ends the ray, as in stepRay.
        const int within = bitsOf(travelled < viewDistance);
        const int stuck = bitsOf((next.x == p.x) & (next.y == p.y) & (next.z == p.z));
        const LaneArray ds = toArray(d), ts = toArray(travelled);
        const LaneArray nx = toArray(next.x), ny = toArray(next.y), nz = toArray(next.z);
        for (int i = 0; i < LANE_COUNT; ++i) {
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
