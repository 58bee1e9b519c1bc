// Rays in vector registers: the lane types the scene formulas run on in
// lane_march.h, and the lane forms of the guarded sine, cosine and wobble and
// of the exact remainder, built on one instruction set's register operations
// (lane_ops_avx2.h or lane_ops_wasm.h, included first).
//
// A FloatLanes holds floats, each widened to double; narrow() rounds
// each lane to float and back, the same IEEE rounding a scalar float() does,
// and the operators are the plain double ones, so every lane gets the bits
// its ray would get alone. Nothing fuses (no fused multiply-add instructions
// are allowed in these builds) and nothing reorders. Where a guard cannot
// vouch for a lane, that lane alone is recomputed with the library.
//
// Include only from a translation unit built for the instruction set of its
// lane_ops; everything here has internal linkage, so no vector code can stand
// in for the baseline build of a shared inline function.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "raymarch/primitives.h"
#include "raymarch/rod_wobble.h"
#include "raymarch/rounded_trig.h"

namespace {

namespace ops = lane_ops;
constexpr int WIDTH = ops::WIDTH;

// G registers of WIDTH lanes make a set: the registers' steps are
// independent, so the processor overlaps them, as the scalar marcher
// overlaps two rays.
template <int G>
struct DoubleLanes {
    static constexpr int groups = G;
    ops::Reg v[G];
};
template <int G>
struct FloatLanes {
    static constexpr int groups = G;
    ops::Reg v[G];  // each lane a float value
};
template <int G>
struct LaneMask {
    static constexpr int groups = G;
    ops::Reg v[G];  // all ones where true
};
template <int G>
struct FloatMask {
    static constexpr int groups = G;
    ops::FloatMaskReg v[G];  // all ones where true, for lanes compared as floats
};
template <int G>
constexpr int allLanes = (1 << WIDTH * G) - 1;

// T{{op(0), op(1), ...}}: op applied to each register.
template <class T, class Op, size_t... g>
inline T byGroup(Op op, std::index_sequence<g...>)
{
    return T{{op(g)...}};
}
template <class T, class Op>
inline T byGroup(Op op)
{
    return byGroup<T>(op, std::make_index_sequence<T::groups>{});
}

template <int G>
inline DoubleLanes<G> lanes(double v)
{
    return byGroup<DoubleLanes<G>>([&](size_t) { return ops::splat(v); });
}
template <int G>
inline int bitsOf(LaneMask<G> m)
{
    int bits = 0;
    for (int g = 0; g < G; ++g) bits |= ops::maskBits(m.v[g]) << WIDTH * g;
    return bits;
}
template <int G>
inline int bitsOf(FloatMask<G> m)
{
    int bits = 0;
    for (int g = 0; g < G; ++g) bits |= ops::floatMaskBits(m.v[g]) << WIDTH * g;
    return bits;
}

template <int G>
inline DoubleLanes<G> operator+(DoubleLanes<G> a, DoubleLanes<G> b)
{
    return byGroup<DoubleLanes<G>>([&](size_t g) { return ops::add(a.v[g], b.v[g]); });
}
template <int G>
inline DoubleLanes<G> operator-(DoubleLanes<G> a, DoubleLanes<G> b)
{
    return byGroup<DoubleLanes<G>>([&](size_t g) { return ops::sub(a.v[g], b.v[g]); });
}
template <int G>
inline DoubleLanes<G> operator*(DoubleLanes<G> a, DoubleLanes<G> b)
{
    return byGroup<DoubleLanes<G>>([&](size_t g) { return ops::mul(a.v[g], b.v[g]); });
}
template <int G>
inline DoubleLanes<G> operator+(DoubleLanes<G> a, double b) { return a + lanes<G>(b); }
template <int G>
inline DoubleLanes<G> operator-(DoubleLanes<G> a, double b) { return a - lanes<G>(b); }
template <int G>
inline DoubleLanes<G> operator*(DoubleLanes<G> a, double b) { return a * lanes<G>(b); }
template <int G>
inline DoubleLanes<G> operator+(double a, DoubleLanes<G> b) { return lanes<G>(a) + b; }
template <int G>
inline DoubleLanes<G> operator-(double a, DoubleLanes<G> b) { return lanes<G>(a) - b; }
template <int G>
inline DoubleLanes<G> operator*(double a, DoubleLanes<G> b) { return lanes<G>(a) * b; }
template <class L>
inline L flipSign(L a)
{
    return byGroup<L>([&](size_t g) { return ops::bitsXor(a.v[g], ops::splat(-0.0)); });
}
template <int G>
inline DoubleLanes<G> operator-(DoubleLanes<G> a) { return flipSign(a); }
template <int G>
inline FloatLanes<G> operator-(FloatLanes<G> a) { return flipSign(a); }

// Comparisons as C++ has them: false for NaN.
template <class L, class Compare>
inline LaneMask<L::groups> compare(L a, L b, Compare op)
{
    return byGroup<LaneMask<L::groups>>([&](size_t g) { return op(a.v[g], b.v[g]); });
}
// Lanes of values, doubles or floats.
template <class L>
concept ValueLanes = std::is_same_v<L, DoubleLanes<L::groups>> || std::is_same_v<L, FloatLanes<L::groups>>;
template <ValueLanes L>
inline LaneMask<L::groups> operator<(L a, L b)
{
    return compare(a, b, [](ops::Reg x, ops::Reg y) { return ops::less(x, y); });
}
template <ValueLanes L>
inline LaneMask<L::groups> operator<=(L a, L b)
{
    return compare(a, b, [](ops::Reg x, ops::Reg y) { return ops::lessEqual(x, y); });
}
template <ValueLanes L>
inline LaneMask<L::groups> operator>(L a, L b)
{
    return compare(a, b, [](ops::Reg x, ops::Reg y) { return ops::greater(x, y); });
}
template <ValueLanes L>
inline LaneMask<L::groups> operator>=(L a, L b)
{
    return compare(a, b, [](ops::Reg x, ops::Reg y) { return ops::greaterEqual(x, y); });
}
template <ValueLanes L>
inline LaneMask<L::groups> operator==(L a, L b)
{
    return compare(a, b, [](ops::Reg x, ops::Reg y) { return ops::equal(x, y); });
}
template <int G>
inline LaneMask<G> operator<(DoubleLanes<G> a, double b) { return a < lanes<G>(b); }
template <int G>
inline LaneMask<G> operator<=(DoubleLanes<G> a, double b) { return a <= lanes<G>(b); }
template <int G>
inline LaneMask<G> operator>(DoubleLanes<G> a, double b) { return a > lanes<G>(b); }
template <int G>
inline LaneMask<G> operator>=(DoubleLanes<G> a, double b) { return a >= lanes<G>(b); }
template <int G>
inline LaneMask<G> operator&(LaneMask<G> a, LaneMask<G> b)
{
    return byGroup<LaneMask<G>>([&](size_t g) { return ops::bitsAnd(a.v[g], b.v[g]); });
}
template <int G>
inline LaneMask<G> both(LaneMask<G> a, LaneMask<G> b) { return a & b; }

template <int G>
inline DoubleLanes<G> widen(FloatLanes<G> v)
{
    return byGroup<DoubleLanes<G>>([&](size_t g) { return v.v[g]; });
}
template <int G>
inline FloatLanes<G> narrow(DoubleLanes<G> v)
{
    return byGroup<FloatLanes<G>>([&](size_t g) { return ops::narrow(v.v[g]); });
}
// Whether a and b round to the same float, compared as floats.
template <int G>
inline FloatMask<G> sameFloat(DoubleLanes<G> a, DoubleLanes<G> b)
{
    return byGroup<FloatMask<G>>(
        [&](size_t g) { return ops::sameFloat(a.v[g], b.v[g]); });
}
template <int G>
inline DoubleLanes<G> absOf(DoubleLanes<G> v)
{
    return byGroup<DoubleLanes<G>>([&](size_t g) { return ops::bitsAndNot(ops::splat(-0.0), v.v[g]); });
}
template <int G>
inline DoubleLanes<G> sqrtOf(DoubleLanes<G> v)
{
    return byGroup<DoubleLanes<G>>([&](size_t g) { return ops::sqrtOf(v.v[g]); });
}
template <int G>
inline DoubleLanes<G> truncOf(DoubleLanes<G> v)
{
    return byGroup<DoubleLanes<G>>(
        [&](size_t g) { return ops::truncOf(v.v[g]); });
}
// As the scalar int32 conversion: a whole number, and +0 rather than -0.
template <int G>
inline DoubleLanes<G> wholeQuotient(DoubleLanes<G> v) { return truncOf(v) + 0.0; }
template <int G, class L>
inline L pick(LaneMask<G> m, L a, L b)
{
    return byGroup<L>([&](size_t g) { return ops::select(m.v[g], a.v[g], b.v[g]); });
}

// Lanes one at a time, for the few a guard leaves to the library.
template <int G>
struct LaneArray {
    alignas(ops::ALIGNMENT) double v[WIDTH * G];
};
template <class L>
inline LaneArray<L::groups> toArray(L lanes)
{
    LaneArray<L::groups> a;
    for (int g = 0; g < L::groups; ++g) ops::store(a.v + WIDTH * g, lanes.v[g]);
    return a;
}
template <class L>
inline L fromArray(const LaneArray<L::groups>& a)
{
    return byGroup<L>([&](size_t g) { return ops::load(a.v + WIDTH * g); });
}
// value, with the lanes not in `good` replaced by f(input's lane); f takes
// and returns a double.
template <class L, class In, class Recompute>
inline L recomputeLanes(L value, In input, int good, Recompute f)
{
    if (good == allLanes<L::groups>) return value;
    LaneArray<L::groups> out = toArray(value);
    const LaneArray<L::groups> in = toArray(input);
    for (int i = 0; i < WIDTH * L::groups; ++i)
        if (!(good >> i & 1)) out.v[i] = f(in.v[i]);
    return fromArray<L>(out);
}

// exactRemainder in lanes: dividends outside [0, 2^24) go to fmod.
template <int G>
inline DoubleLanes<G> laneRemainder(DoubleLanes<G> a, double period)
{
    const int inRange = bitsOf((a >= 0.0) & (a < EXACT_REMAINDER_LIMIT));
    return recomputeLanes(remainderInRange(a, period), a, inRange, [period](double x) { return std::fmod(x, period); });
}

// The quadrant of a reduction's k, as 64-bit integers: adding the shifter
// back gives the double whose low mantissa bits are k in two's complement.
template <int G>
struct QuadrantLanes {
    static constexpr int groups = G;
    ops::IntReg v[G];
};
template <int G>
inline QuadrantLanes<G> quadrantOf(DoubleLanes<G> k, int shift)
{
    const DoubleLanes<G> shifted = k + rounded_trig::ROUND_SHIFTER;
    return byGroup<QuadrantLanes<G>>([&](size_t g) {
        return ops::addInt(ops::bitsOfDoubles(shifted.v[g]), ops::splatInt(shift));
    });
}
template <int G>
inline LaneMask<G> oddQuadrant(QuadrantLanes<G> q)
{
    const ops::IntReg one = ops::splatInt(1);
    return byGroup<LaneMask<G>>([&](size_t g) { return ops::equalInt(ops::andInt(q.v[g], one), one); });
}
// Flips the sign where bit 1 of q is set.
template <int G>
inline DoubleLanes<G> signOfQuadrant(DoubleLanes<G> v, QuadrantLanes<G> q)
{
    const ops::IntReg two = ops::splatInt(2);
    return byGroup<DoubleLanes<G>>([&](size_t g) {
        return ops::bitsXor(v.v[g], ops::doublesOfBits(ops::shiftLeftInt(ops::andInt(q.v[g], two), 62)));
    });
}

// rounded_trig's estimates and guard in lanes.
template <int G>
struct LaneSinCos {
    FloatLanes<G> s, c;
    int goodS, goodC;  // lanes the guard vouches for
};
// The lanes inside rounded_trig's domain, 0 < |x| <= 2^20.
template <int G>
inline int inTrigDomain(DoubleLanes<G> x)
{
    const DoubleLanes<G> magnitude = absOf(x);
    return bitsOf((magnitude > 0.0) & (magnitude <= 0x1p20));
}
template <int G>
inline LaneSinCos<G> sinCosLanesFast(FloatLanes<G> x)
{
    const DoubleLanes<G> xd = widen(x);
    const int inDomain = inTrigDomain(xd);
    const rounded_trig::ReducedOf<DoubleLanes<G>> red = rounded_trig::reduceDouble(xd);
    const DoubleLanes<G> sk = rounded_trig::sinKernel(red.r);
    const DoubleLanes<G> ck = rounded_trig::cosKernel(red.r);
    const QuadrantLanes<G> q = quadrantOf(red.k, 0);
    const LaneMask<G> swap = oddQuadrant(q);
    const DoubleLanes<G> s = signOfQuadrant(pick(swap, ck, sk), q);
    const DoubleLanes<G> c = signOfQuadrant(pick(swap, sk, ck), quadrantOf(red.k, 1));
    return {narrow(s), narrow(c), inDomain & bitsOf(rounded_trig::roundsSafely(s, red.k)),
            inDomain & bitsOf(rounded_trig::roundsSafely(c, red.k))};
}

inline double librarySinOf(double x) { return double(float(std::sin(x))); }
inline double libraryCosOf(double x) { return double(float(std::cos(x))); }


// sinCosRounded of each lane.
template <int G>
struct SinCosLanes {
    FloatLanes<G> s, c;
};
template <int G>
inline SinCosLanes<G> sinCosLanes(FloatLanes<G> x)
{
    const LaneSinCos<G> e = sinCosLanesFast(x);
    return {recomputeLanes(e.s, x, e.goodS, librarySinOf), recomputeLanes(e.c, x, e.goodC, libraryCosOf)};
}

// rods::sineOfQuadrant in lanes: each lane's quadrant picks its row. Also
// gives the reduction's k.
template <int G>
struct QuadrantSine {
    DoubleLanes<G> value, k;
};
template <int G>
inline QuadrantSine<G> sineOfQuadrantLanes(DoubleLanes<G> xd, int shift)
{
    const rounded_trig::ReducedOf<DoubleLanes<G>> red = rounded_trig::reduceDouble(xd);
    const QuadrantLanes<G> q = quadrantOf(red.k, shift);
    const LaneMask<G> cosineRow = oddQuadrant(q);
    const DoubleLanes<G> z = red.r * red.r;
    const DoubleLanes<G> p = rods::quadrantSeries(z, [&](int i) {
        return pick(cosineRow, lanes<G>(rods::QUADRANT_ROWS[1][i]), lanes<G>(rods::QUADRANT_ROWS[0][i]));
    });
    const DoubleLanes<G> head = pick(cosineRow, lanes<G>(1.0), red.r);
    const DoubleLanes<G> scale = head * z;
    return {signOfQuadrant(head + scale * p, q), red.k};
}

// sinRounded of each lane, with one polynomial per lane rather than both:
// the sine row is rounded_trig's sine kernel step for step, and the cosine
// row is as close to the true value as rounded_trig's bound says (see
// rod_wobble.h), so rounded_trig's guard holds for it.
template <int G>
inline FloatLanes<G> sinLanes(FloatLanes<G> x)
{
    const DoubleLanes<G> xd = widen(x);
    const QuadrantSine<G> e = sineOfQuadrantLanes(xd, 0);
    const int good = inTrigDomain(xd) & bitsOf(rounded_trig::roundsSafely(e.value, e.k));
    return recomputeLanes(narrow(e.value), x, good, librarySinOf);
}

// rods::wobbleExact of each lane; fallback(x) gives rods::wobble for one.
template <int G, class Fallback>
inline FloatLanes<G> wobbleLanes(FloatLanes<G> x, double t, double beat, Fallback fallback)
{
    const auto terms = rods::wobbleTerms(x, t, beat);
    const double limit = rods::WOBBLE_ARGUMENT_LIMIT;
    int good = bitsOf((absOf(terms.argA) <= limit) & (absOf(terms.argB) <= limit) & (absOf(terms.argG) <= limit));
    if (!(std::fabs(terms.gain) <= rods::WOBBLE_GAIN_LIMIT)) good = 0;
    const DoubleLanes<G> w =
        rods::wobbleSum(sineOfQuadrantLanes(terms.argA, 0).value, sineOfQuadrantLanes(terms.argB, 0).value,
                        sineOfQuadrantLanes(terms.argG, 1).value, terms.gain);
    const double margin = rods::WOBBLE_MARGIN + std::fabs(terms.gain) * rods::WOBBLE_MARGIN_PER_GAIN;
    good &= bitsOf(sameFloat(w - margin, w + margin));
    return recomputeLanes(narrow(w), x, good, [&](double v) { return double(fallback(float(v))); });
}

}  // namespace
