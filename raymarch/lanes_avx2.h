// Four rays in one AVX2 register: the lane types the scene formulas run on in
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
#include <cstdint>

#include "raymarch/primitives.h"
#include "raymarch/rod_wobble.h"
#include "raymarch/rounded_trig.h"

namespace {

constexpr int LANE_COUNT = 4;

struct DoubleLanes {
    __m256d v;
};
struct FloatLanes {
    __m256d v;  // each lane a float value
};
struct LaneMask {
    __m256d v;  // all ones where true
};

inline DoubleLanes lanes(double v) { return {_mm256_set1_pd(v)}; }
inline DoubleLanes loadLanes(const double* p) { return {_mm256_load_pd(p)}; }
inline int bitsOf(LaneMask m) { return _mm256_movemask_pd(m.v); }
constexpr int ALL_LANES = (1 << LANE_COUNT) - 1;

inline DoubleLanes operator+(DoubleLanes a, DoubleLanes b) { return {_mm256_add_pd(a.v, b.v)}; }
inline DoubleLanes operator-(DoubleLanes a, DoubleLanes b) { return {_mm256_sub_pd(a.v, b.v)}; }
inline DoubleLanes operator*(DoubleLanes a, DoubleLanes b) { return {_mm256_mul_pd(a.v, b.v)}; }
inline DoubleLanes operator+(DoubleLanes a, double b) { return a + lanes(b); }
inline DoubleLanes operator-(DoubleLanes a, double b) { return a - lanes(b); }
inline DoubleLanes operator*(DoubleLanes a, double b) { return a * lanes(b); }
inline DoubleLanes operator+(double a, DoubleLanes b) { return lanes(a) + b; }
inline DoubleLanes operator-(double a, DoubleLanes b) { return lanes(a) - b; }
inline DoubleLanes operator*(double a, DoubleLanes b) { return lanes(a) * b; }
inline DoubleLanes operator-(DoubleLanes a) { return {_mm256_xor_pd(a.v, _mm256_set1_pd(-0.0))}; }
inline FloatLanes operator-(FloatLanes a) { return {_mm256_xor_pd(a.v, _mm256_set1_pd(-0.0))}; }

// Comparisons as C++ has them: false for NaN, except !=.
template <int predicate>
inline LaneMask compare(__m256d a, __m256d b)
{
    return {_mm256_cmp_pd(a, b, predicate)};
}
inline LaneMask operator<(DoubleLanes a, DoubleLanes b) { return compare<_CMP_LT_OQ>(a.v, b.v); }
inline LaneMask operator<=(DoubleLanes a, DoubleLanes b) { return compare<_CMP_LE_OQ>(a.v, b.v); }
inline LaneMask operator>(DoubleLanes a, DoubleLanes b) { return compare<_CMP_GT_OQ>(a.v, b.v); }
inline LaneMask operator>=(DoubleLanes a, DoubleLanes b) { return compare<_CMP_GE_OQ>(a.v, b.v); }
inline LaneMask operator<(DoubleLanes a, double b) { return a < lanes(b); }
inline LaneMask operator<=(DoubleLanes a, double b) { return a <= lanes(b); }
inline LaneMask operator>(DoubleLanes a, double b) { return a > lanes(b); }
inline LaneMask operator>=(DoubleLanes a, double b) { return a >= lanes(b); }
inline LaneMask operator<(FloatLanes a, FloatLanes b) { return compare<_CMP_LT_OQ>(a.v, b.v); }
inline LaneMask operator<=(FloatLanes a, FloatLanes b) { return compare<_CMP_LE_OQ>(a.v, b.v); }
inline LaneMask operator>(FloatLanes a, FloatLanes b) { return compare<_CMP_GT_OQ>(a.v, b.v); }
inline LaneMask operator>=(FloatLanes a, FloatLanes b) { return compare<_CMP_GE_OQ>(a.v, b.v); }
inline LaneMask operator==(FloatLanes a, FloatLanes b) { return compare<_CMP_EQ_OQ>(a.v, b.v); }
inline LaneMask operator&(LaneMask a, LaneMask b) { return {_mm256_and_pd(a.v, b.v)}; }

inline DoubleLanes widen(FloatLanes v) { return {v.v}; }
inline FloatLanes narrow(DoubleLanes v) { return {_mm256_cvtps_pd(_mm256_cvtpd_ps(v.v))}; }
inline DoubleLanes absOf(DoubleLanes v) { return {_mm256_andnot_pd(_mm256_set1_pd(-0.0), v.v)}; }
inline DoubleLanes sqrtOf(DoubleLanes v) { return {_mm256_sqrt_pd(v.v)}; }
inline DoubleLanes truncOf(DoubleLanes v) { return {_mm256_round_pd(v.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC)}; }
// As the scalar int32 conversion: a whole number, and +0 rather than -0.
inline DoubleLanes wholeQuotient(DoubleLanes v) { return truncOf(v) + 0.0; }
inline DoubleLanes pick(LaneMask m, DoubleLanes a, DoubleLanes b) { return {_mm256_blendv_pd(b.v, a.v, m.v)}; }
inline FloatLanes pick(LaneMask m, FloatLanes a, FloatLanes b) { return {_mm256_blendv_pd(b.v, a.v, m.v)}; }

// Lanes one at a time, for the few a guard leaves to the library.
struct LaneArray {
    alignas(32) double v[LANE_COUNT];
};
inline LaneArray toArray(__m256d v)
{
    LaneArray a;
    _mm256_store_pd(a.v, v);
    return a;
}
// Replaces the lanes not in `good` by f(lane value); f returns a double.
template <class Recompute>
inline __m256d recomputeLanes(__m256d value, __m256d input, int good, Recompute f)
{
    if (good == ALL_LANES) return value;
    LaneArray out = toArray(value);
    const LaneArray in = toArray(input);
    for (int i = 0; i < LANE_COUNT; ++i)
        if (!(good >> i & 1)) out.v[i] = f(in.v[i]);
    return _mm256_load_pd(out.v);
}

// exactRemainder in lanes: dividends outside [0, 2^24) go to fmod.
inline DoubleLanes laneRemainder(DoubleLanes a, double period)
{
    const int inRange = bitsOf((a >= 0.0) & (a < EXACT_REMAINDER_LIMIT));
    const DoubleLanes r = remainderInRange(a, period);
    return {recomputeLanes(r.v, a.v, inRange, [period](double x) { return std::fmod(x, period); })};
}

// The quadrant bits of a reduction's k: adding the shifter back gives the
// double whose low mantissa bits are k in two's complement.
inline __m256i quadrantOf(DoubleLanes k) { return _mm256_castpd_si256((k + rounded_trig::ROUND_SHIFTER).v); }
inline __m256d oddQuadrant(__m256i q)
{
    const __m256i one = _mm256_set1_epi64x(1);
    return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(q, one), one));
}
// Flips the sign where bit 1 of q is set.
inline DoubleLanes signOfQuadrant(DoubleLanes v, __m256i q)
{
    const __m256i sign = _mm256_slli_epi64(_mm256_and_si256(q, _mm256_set1_epi64x(2)), 62);
    return {_mm256_xor_pd(v.v, _mm256_castsi256_pd(sign))};
}

// rounded_trig's estimates and guard, four at a time.
struct LaneSinCos {
    FloatLanes s, c;
    int goodS, goodC;  // lanes the guard vouches for
};
inline LaneSinCos sinCosLanesFast(FloatLanes x)
{
    const DoubleLanes xd = widen(x);
    const DoubleLanes magnitude = absOf(xd);
    const int inDomain = bitsOf((magnitude > 0.0) & (magnitude <= 0x1p20));
    const rounded_trig::ReducedOf<DoubleLanes> red = rounded_trig::reduceDouble(xd);
    const DoubleLanes sk = rounded_trig::sinKernel(red.r);
    const DoubleLanes ck = rounded_trig::cosKernel(red.r);
    const __m256i q = quadrantOf(red.k);
    const __m256d swap = oddQuadrant(q);
    const DoubleLanes s = signOfQuadrant({_mm256_blendv_pd(sk.v, ck.v, swap)}, q);
    const DoubleLanes c = signOfQuadrant({_mm256_blendv_pd(ck.v, sk.v, swap)},
                                         _mm256_add_epi64(q, _mm256_set1_epi64x(1)));
    return {narrow(s), narrow(c), inDomain & bitsOf(rounded_trig::roundsSafely(s, red.k)),
            inDomain & bitsOf(rounded_trig::roundsSafely(c, red.k))};
}

inline double librarySinOf(double x) { return double(float(std::sin(x))); }
inline double libraryCosOf(double x) { return double(float(std::cos(x))); }

// sinRounded of each lane.
inline FloatLanes sinLanes(FloatLanes x)
{
    const LaneSinCos e = sinCosLanesFast(x);
    return {recomputeLanes(e.s.v, x.v, e.goodS, librarySinOf)};
}

// sinCosRounded of each lane.
struct SinCosLanes {
    FloatLanes s, c;
};
inline SinCosLanes sinCosLanes(FloatLanes x)
{
    const LaneSinCos e = sinCosLanesFast(x);
    return {{recomputeLanes(e.s.v, x.v, e.goodS, librarySinOf)}, {recomputeLanes(e.c.v, x.v, e.goodC, libraryCosOf)}};
}

// rods::sineOfQuadrant in lanes: each lane's quadrant picks its row.
inline DoubleLanes sineOfQuadrantLanes(DoubleLanes xd, int shift)
{
    const rounded_trig::ReducedOf<DoubleLanes> red = rounded_trig::reduceDouble(xd);
    const __m256i q = _mm256_add_epi64(quadrantOf(red.k), _mm256_set1_epi64x(shift));
    const __m256d cosineRow = oddQuadrant(q);
    const DoubleLanes z = red.r * red.r;
    const DoubleLanes p = rods::quadrantSeries(z, [cosineRow](int i) {
        return DoubleLanes{_mm256_blendv_pd(_mm256_set1_pd(rods::QUADRANT_ROWS[0][i]),
                                            _mm256_set1_pd(rods::QUADRANT_ROWS[1][i]), cosineRow)};
    });
    const DoubleLanes head = {_mm256_blendv_pd(red.r.v, _mm256_set1_pd(1.0), cosineRow)};
    const DoubleLanes scale = head * z;
    return signOfQuadrant(head + scale * p, q);
}

// rods::wobbleExact of each lane; fallback(x) gives rods::wobble for one.
template <class Fallback>
inline FloatLanes wobbleLanes(FloatLanes x, double t, double beat, Fallback fallback)
{
    const auto terms = rods::wobbleTerms(x, t, beat);
    const double limit = rods::WOBBLE_ARGUMENT_LIMIT;
    int good = bitsOf((absOf(terms.argA) <= limit) & (absOf(terms.argB) <= limit) & (absOf(terms.argG) <= limit));
    if (!(std::fabs(terms.gain) <= rods::WOBBLE_GAIN_LIMIT)) good = 0;
    const DoubleLanes w = rods::wobbleSum(sineOfQuadrantLanes(terms.argA, 0), sineOfQuadrantLanes(terms.argB, 0),
                                          sineOfQuadrantLanes(terms.argG, 1), terms.gain);
    const double margin = rods::WOBBLE_MARGIN + std::fabs(terms.gain) * rods::WOBBLE_MARGIN_PER_GAIN;
    good &= bitsOf(narrow(w - margin) == narrow(w + margin));
    return {recomputeLanes(narrow(w).v, x.v, good, [&](double v) { return double(fallback(float(v))); })};
}

}  // namespace
