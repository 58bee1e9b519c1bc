// Rays in AVX2 registers, four to a register: the lane types the scene formulas run on in
// fast_march_avx2.cpp, and the lane forms of the guarded sine, cosine and
// wobble and of the exact remainder.
//
// A FloatLanes holds four floats, each widened to double; narrow() rounds
// each lane to float and back, the same IEEE rounding a scalar float() does,
// and the operators are the plain double ones, so every lane gets the bits
// its ray would get alone. Nothing fuses (no FMA instructions are allowed in
// this build) and nothing reorders. Where a guard cannot vouch for a lane,
// that lane alone is recomputed with the library.
//
// Include only from the translation unit compiled with -mavx2; everything
// here has internal linkage, so no AVX2 code can stand in for the baseline
// build of a shared inline function.
#pragma once

#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "raymarch/primitives.h"
#include "raymarch/rod_wobble.h"
#include "raymarch/rounded_trig.h"

namespace {

// Two registers of four: the two halves' steps are independent, so the
// processor overlaps them, as the scalar marcher overlaps two rays.
constexpr int GROUPS = 2;
constexpr int LANE_COUNT = 4 * GROUPS;
constexpr int ALL_LANES = (1 << LANE_COUNT) - 1;

struct DoubleLanes {
    __m256d v[GROUPS];
};
struct FloatLanes {
    __m256d v[GROUPS];  // each lane a float value
};
struct LaneMask {
    __m256d v[GROUPS];  // all ones where true
};

// T{{op(0), op(1), ...}}: op applied to each register.
template <class T, class Op, size_t... g>
inline T byGroup(Op op, std::index_sequence<g...>)
{
    return T{{op(g)...}};
}
template <class T, class Op>
inline T byGroup(Op op)
{
    return byGroup<T>(op, std::make_index_sequence<GROUPS>{});
}

inline DoubleLanes lanes(double v)
{
    return byGroup<DoubleLanes>([&](size_t) { return _mm256_set1_pd(v); });
}
inline int bitsOf(LaneMask m)
{
    int bits = 0;
    for (int g = 0; g < GROUPS; ++g) bits |= _mm256_movemask_pd(m.v[g]) << 4 * g;
    return bits;
}

inline DoubleLanes operator+(DoubleLanes a, DoubleLanes b) { return byGroup<DoubleLanes>([&](size_t g) { return _mm256_add_pd(a.v[g], b.v[g]); }); }
inline DoubleLanes operator-(DoubleLanes a, DoubleLanes b) { return byGroup<DoubleLanes>([&](size_t g) { return _mm256_sub_pd(a.v[g], b.v[g]); }); }
inline DoubleLanes operator*(DoubleLanes a, DoubleLanes b) { return byGroup<DoubleLanes>([&](size_t g) { return _mm256_mul_pd(a.v[g], b.v[g]); }); }
inline DoubleLanes operator+(DoubleLanes a, double b) { return a + lanes(b); }
inline DoubleLanes operator-(DoubleLanes a, double b) { return a - lanes(b); }
inline DoubleLanes operator*(DoubleLanes a, double b) { return a * lanes(b); }
inline DoubleLanes operator+(double a, DoubleLanes b) { return lanes(a) + b; }
inline DoubleLanes operator-(double a, DoubleLanes b) { return lanes(a) - b; }
inline DoubleLanes operator*(double a, DoubleLanes b) { return lanes(a) * b; }
inline __m256d flipSign(__m256d v) { return _mm256_xor_pd(v, _mm256_set1_pd(-0.0)); }
inline DoubleLanes operator-(DoubleLanes a) { return byGroup<DoubleLanes>([&](size_t g) { return flipSign(a.v[g]); }); }
inline FloatLanes operator-(FloatLanes a) { return byGroup<FloatLanes>([&](size_t g) { return flipSign(a.v[g]); }); }

// Comparisons as C++ has them: false for NaN.
template <int predicate, class L>
inline LaneMask compare(L a, L b)
{
    return byGroup<LaneMask>([&](size_t g) { return _mm256_cmp_pd(a.v[g], b.v[g], predicate); });
}
inline LaneMask operator<(DoubleLanes a, DoubleLanes b) { return compare<_CMP_LT_OQ>(a, b); }
inline LaneMask operator<=(DoubleLanes a, DoubleLanes b) { return compare<_CMP_LE_OQ>(a, b); }
inline LaneMask operator>(DoubleLanes a, DoubleLanes b) { return compare<_CMP_GT_OQ>(a, b); }
inline LaneMask operator>=(DoubleLanes a, DoubleLanes b) { return compare<_CMP_GE_OQ>(a, b); }
inline LaneMask operator<(DoubleLanes a, double b) { return a < lanes(b); }
inline LaneMask operator<=(DoubleLanes a, double b) { return a <= lanes(b); }
inline LaneMask operator>(DoubleLanes a, double b) { return a > lanes(b); }
inline LaneMask operator>=(DoubleLanes a, double b) { return a >= lanes(b); }
inline LaneMask operator<(FloatLanes a, FloatLanes b) { return compare<_CMP_LT_OQ>(a, b); }
inline LaneMask operator<=(FloatLanes a, FloatLanes b) { return compare<_CMP_LE_OQ>(a, b); }
inline LaneMask operator>(FloatLanes a, FloatLanes b) { return compare<_CMP_GT_OQ>(a, b); }
inline LaneMask operator>=(FloatLanes a, FloatLanes b) { return compare<_CMP_GE_OQ>(a, b); }
inline LaneMask operator==(FloatLanes a, FloatLanes b) { return compare<_CMP_EQ_OQ>(a, b); }
inline LaneMask operator&(LaneMask a, LaneMask b) { return byGroup<LaneMask>([&](size_t g) { return _mm256_and_pd(a.v[g], b.v[g]); }); }

inline DoubleLanes widen(FloatLanes v) { return byGroup<DoubleLanes>([&](size_t g) { return v.v[g]; }); }
inline FloatLanes narrow(DoubleLanes v)
{
    return byGroup<FloatLanes>([&](size_t g) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v.v[g])); });
}
inline DoubleLanes absOf(DoubleLanes v)
{
    return byGroup<DoubleLanes>([&](size_t g) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v.v[g]); });
}
// Whether a and b round to the same float, compared as floats.
struct FloatMask {
    __m128 v[GROUPS];
};
inline FloatMask sameFloat(DoubleLanes a, DoubleLanes b)
{
    return byGroup<FloatMask>(
        [&](size_t g) { return _mm_cmpeq_ps(_mm256_cvtpd_ps(a.v[g]), _mm256_cvtpd_ps(b.v[g])); });
}
inline int bitsOf(FloatMask m)
{
    int bits = 0;
    for (int g = 0; g < GROUPS; ++g) bits |= _mm_movemask_ps(m.v[g]) << 4 * g;
    return bits;
}
inline DoubleLanes sqrtOf(DoubleLanes v) { return byGroup<DoubleLanes>([&](size_t g) { return _mm256_sqrt_pd(v.v[g]); }); }
inline DoubleLanes truncOf(DoubleLanes v)
{
    return byGroup<DoubleLanes>([&](size_t g) { return _mm256_round_pd(v.v[g], _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); });
}
// As the scalar int32 conversion: a whole number, and +0 rather than -0.
inline DoubleLanes wholeQuotient(DoubleLanes v) { return truncOf(v) + 0.0; }
template <class L>
inline L pick(LaneMask m, L a, L b)
{
    return byGroup<L>([&](size_t g) { return _mm256_blendv_pd(b.v[g], a.v[g], m.v[g]); });
}

// Lanes one at a time, for the few a guard leaves to the library.
struct LaneArray {
    alignas(32) double v[LANE_COUNT];
};
template <class L>
inline LaneArray toArray(L lanes)
{
    LaneArray a;
    for (int g = 0; g < GROUPS; ++g) _mm256_store_pd(a.v + 4 * g, lanes.v[g]);
    return a;
}
template <class L>
inline L fromArray(const LaneArray& a)
{
    return byGroup<L>([&](size_t g) { return _mm256_load_pd(a.v + 4 * g); });
}
// value, with the lanes not in `good` replaced by f(input's lane); f takes
// and returns a double.
template <class L, class In, class Recompute>
inline L recomputeLanes(L value, In input, int good, Recompute f)
{
    if (good == ALL_LANES) return value;
    LaneArray out = toArray(value);
    const LaneArray in = toArray(input);
    for (int i = 0; i < LANE_COUNT; ++i)
        if (!(good >> i & 1)) out.v[i] = f(in.v[i]);
    return fromArray<L>(out);
}

// exactRemainder in lanes: dividends outside [0, 2^24) go to fmod.
inline DoubleLanes laneRemainder(DoubleLanes a, double period)
{
    const int inRange = bitsOf((a >= 0.0) & (a < EXACT_REMAINDER_LIMIT));
    return recomputeLanes(remainderInRange(a, period), a, inRange, [period](double x) { return std::fmod(x, period); });
}

// The quadrant of a reduction's k, as 64-bit integers: adding the shifter
// back gives the double whose low mantissa bits are k in two's complement.
struct QuadrantLanes {
    __m256i v[GROUPS];
};
inline QuadrantLanes quadrantOf(DoubleLanes k, int shift)
{
    const DoubleLanes shifted = k + rounded_trig::ROUND_SHIFTER;
    return byGroup<QuadrantLanes>([&](size_t g) {
        return _mm256_add_epi64(_mm256_castpd_si256(shifted.v[g]), _mm256_set1_epi64x(shift));
    });
}
inline LaneMask oddQuadrant(QuadrantLanes q)
{
    const __m256i one = _mm256_set1_epi64x(1);
    return byGroup<LaneMask>(
        [&](size_t g) { return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(q.v[g], one), one)); });
}
// Flips the sign where bit 1 of q is set.
inline DoubleLanes signOfQuadrant(DoubleLanes v, QuadrantLanes q)
{
    const __m256i two = _mm256_set1_epi64x(2);
    return byGroup<DoubleLanes>([&](size_t g) {
        return _mm256_xor_pd(v.v[g], _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_and_si256(q.v[g], two), 62)));
    });
}

// rounded_trig's estimates and guard in lanes.
struct LaneSinCos {
    FloatLanes s, c;
    int goodS, goodC;  // lanes the guard vouches for
};
// The lanes inside rounded_trig's domain, 0 < |x| <= 2^20.
inline int inTrigDomain(DoubleLanes x)
{
    const DoubleLanes magnitude = absOf(x);
    return bitsOf((magnitude > 0.0) & (magnitude <= 0x1p20));
}
inline LaneSinCos sinCosLanesFast(FloatLanes x)
{
    const DoubleLanes xd = widen(x);
    const int inDomain = inTrigDomain(xd);
    const rounded_trig::ReducedOf<DoubleLanes> red = rounded_trig::reduceDouble(xd);
    const DoubleLanes sk = rounded_trig::sinKernel(red.r);
    const DoubleLanes ck = rounded_trig::cosKernel(red.r);
    const QuadrantLanes q = quadrantOf(red.k, 0);
    const LaneMask swap = oddQuadrant(q);
    const DoubleLanes s = signOfQuadrant(pick(swap, ck, sk), q);
    const DoubleLanes c = signOfQuadrant(pick(swap, sk, ck), quadrantOf(red.k, 1));
    return {narrow(s), narrow(c), inDomain & bitsOf(rounded_trig::roundsSafely(s, red.k)),
            inDomain & bitsOf(rounded_trig::roundsSafely(c, red.k))};
}

inline double librarySinOf(double x) { return double(float(std::sin(x))); }
inline double libraryCosOf(double x) { return double(float(std::cos(x))); }


// sinCosRounded of each lane.
struct SinCosLanes {
    FloatLanes s, c;
};
inline SinCosLanes sinCosLanes(FloatLanes x)
{
    const LaneSinCos e = sinCosLanesFast(x);
    return {recomputeLanes(e.s, x, e.goodS, librarySinOf), recomputeLanes(e.c, x, e.goodC, libraryCosOf)};
}

// rods::sineOfQuadrant in lanes: each lane's quadrant picks its row. Also
// gives the reduction's k.
struct QuadrantSine {
    DoubleLanes value, k;
};
inline QuadrantSine sineOfQuadrantLanes(DoubleLanes xd, int shift)
{
    const rounded_trig::ReducedOf<DoubleLanes> red = rounded_trig::reduceDouble(xd);
    const QuadrantLanes q = quadrantOf(red.k, shift);
    const LaneMask cosineRow = oddQuadrant(q);
    const DoubleLanes z = red.r * red.r;
    const DoubleLanes p = rods::quadrantSeries(z, [&](int i) {
        return pick(cosineRow, lanes(rods::QUADRANT_ROWS[1][i]), lanes(rods::QUADRANT_ROWS[0][i]));
    });
    const DoubleLanes head = pick(cosineRow, lanes(1.0), red.r);
    const DoubleLanes scale = head * z;
    return {signOfQuadrant(head + scale * p, q), red.k};
}

// sinRounded of each lane, with one polynomial per lane rather than both:
// the sine row is rounded_trig's sine kernel step for step, and the cosine
// row is as close to the true value as rounded_trig's bound says (see
// rod_wobble.h), so rounded_trig's guard holds for it.
inline FloatLanes sinLanes(FloatLanes x)
{
    const DoubleLanes xd = widen(x);
    const QuadrantSine e = sineOfQuadrantLanes(xd, 0);
    const int good = inTrigDomain(xd) & bitsOf(rounded_trig::roundsSafely(e.value, e.k));
    return recomputeLanes(narrow(e.value), x, good, librarySinOf);
}

// rods::wobbleExact of each lane; fallback(x) gives rods::wobble for one.
template <class Fallback>
inline FloatLanes wobbleLanes(FloatLanes x, double t, double beat, Fallback fallback)
{
    const auto terms = rods::wobbleTerms(x, t, beat);
    const double limit = rods::WOBBLE_ARGUMENT_LIMIT;
    int good = bitsOf((absOf(terms.argA) <= limit) & (absOf(terms.argB) <= limit) & (absOf(terms.argG) <= limit));
    if (!(std::fabs(terms.gain) <= rods::WOBBLE_GAIN_LIMIT)) good = 0;
    const DoubleLanes w =
        rods::wobbleSum(sineOfQuadrantLanes(terms.argA, 0).value, sineOfQuadrantLanes(terms.argB, 0).value,
                        sineOfQuadrantLanes(terms.argG, 1).value, terms.gain);
    const double margin = rods::WOBBLE_MARGIN + std::fabs(terms.gain) * rods::WOBBLE_MARGIN_PER_GAIN;
    good &= bitsOf(sameFloat(w - margin, w + margin));
    return recomputeLanes(narrow(w), x, good, [&](double v) { return double(fallback(float(v))); });
}

}  // namespace
