// Scene 4's wobble w: from the unfolded x, the time t and beatPulse,
//   a = sin(x*0.1 + t*6) * 0.05
//   b = sin(x*0.3 + t*4) * 0.05
//   g = cos(x*0.2 + t*5) * (beat*0.05)
//   w = float(g + (a - b))
// every step in double, each product and sum rounded, until w.
//
// wobble() is that formula with the library's sin and cos. wobbleFast() gives
// the same float for the same three double arguments with rounded_trig.h's
// reduction and kernels in place of the library calls, or says it cannot be
// sure, and wobbleExact() falls back to wobble() then.
//
// Why the fast value is the library's, bit for bit:
// Both paths form the same three double arguments (one shared function) and
// combine their sines and cosine with the same steps (another). Only the three
// trigonometric values differ.
//   - Fast: for |argument| <= 2^20, rounded_trig's estimate is within
//     4u + |k| 2^-85 of the true value (u = 2^-53, |k| < 2^20), so under
//     delta_f = 2^-50.9.
//   - Library: within 1 ulp of the true value, at most 2^-53 for values below
//     1 in magnitude: delta_l = 2^-53.
// Fed values within delta of the true ones, the combination (G = beat*0.05,
// the same double on both paths) lands within
//   0.05 delta (a) + 0.05 delta (b) + |G| delta (g)
//   + 2^-58 + 2^-58 (rounding a and b, each below 2^-4)
//   + 2^-57 (a - b, below 2^-3) + 2^-53 |G| (g)
//   + 2^-53 (0.1 + |G|) (the sum)
// of the exact value cos(arg_g) G + 0.05 sin(arg_a) - 0.05 sin(arg_b). That is
// under 2^-53.6 + |G| 2^-50.3 for the fast path and under 2^-54.6 + |G| 2^-51.4
// for the library's, so the two doubles differ by less than
//   D = 2^-53.0 + |G| 2^-49.7 < 2^-52 + |G| 2^-49.
// The guard takes the margin M = 2^-42 + |G| 2^-39, 1024 times that. When
// float(w - M) == float(w + M) every double within M of w rounds to that
// float (rounding to nearest is monotone; computing w +- M moves them by under
// 2^-53 (0.4 + |G|), far inside the factor), so the library's double does too.
// Near w = 0 the two ends round to floats of opposite sign, so the library
// decides every zero and its sign. Outside |argument| <= 2^20, for |G| > 2^10
// and for NaN or infinite inputs the library is called.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "raymarch/rounded_trig.h"

namespace rods {

// The three arguments and the gain of the cosine, each rounded as written.
template <class D>
struct WobbleTermsOf {
    D argA, argB, argG;
    double gain;
};
template <class F>
inline auto wobbleTerms(F x, double t, double beat)
{
    const auto xd = widen(x);
    return WobbleTermsOf<decltype(xd)>{xd * 0.1 + t * 6.0, xd * 0.3 + t * 4.0, xd * 0.2 + t * 5.0, beat * 0.05};
}

// g + (a - b) from the sines of argA and argB and the cosine of argG.
template <class D>
inline D wobbleSum(D sinA, D sinB, D cosG, double gain)
{
    const D a = sinA * 0.05;
    const D b = sinB * 0.05;
    const D g = cosG * gain;
    return g + (a - b);
}

// The formula with the library's sine and cosine.
inline float wobble(float x, double t, double beat)
{
    const auto terms = wobbleTerms(x, t, beat);
    return float(wobbleSum(std::sin(terms.argA), std::sin(terms.argB), std::cos(terms.argG), terms.gain));
}

inline constexpr double WOBBLE_ARGUMENT_LIMIT = 0x1p20;
inline constexpr double WOBBLE_GAIN_LIMIT = 0x1p10;
inline constexpr double WOBBLE_MARGIN = 0x1p-42;
inline constexpr double WOBBLE_MARGIN_PER_GAIN = 0x1p-39;

// sin(xd + shift pi/2) for |xd| <= 2^20 and shift 0 or 1 (the sine or the
// cosine), with rounded_trig's reduction r = xd - k pi/2 and only the kernel
// the quadrant q = k + shift needs, chosen without a branch: even q takes the
// sine row, r + (r z) P(z), the very steps of rounded_trig::sinKernel (the
// seventh coefficient is 0 and adds nothing); odd q the cosine row,
// 1 + z (-1/2 + C1 z + ... + C6 z^6), the cosine polynomial regrouped. Bit 1
// of q negates.
// The cosine row's own rounding: the bracket (in [-0.5, -0.47]) within u/2,
// z times it (below 0.31) within 0.56u, the last sum u/2, the rounding of r
// and z 0.45u: under 2.1u, within the 4u of rounded_trig's bound; so each
// value is within 4u + |k| 2^-85 of the true one, as above.
inline constexpr double QUADRANT_ROWS[2][7] = {
    {rounded_trig::S1, rounded_trig::S2, rounded_trig::S3, rounded_trig::S4, rounded_trig::S5, rounded_trig::S6,
     0.0},
    {-0.5, rounded_trig::C1, rounded_trig::C2, rounded_trig::C3, rounded_trig::C4, rounded_trig::C5,
     rounded_trig::C6},
};
// The row's polynomial in z = r*r; row(i) gives coefficient i.
template <class D, class Row>
inline D quadrantSeries(D z, Row row)
{
    const D z2 = z * z;
    return (row(0) + z * row(1)) + z2 * ((row(2) + z * row(3)) + z2 * ((row(4) + z * row(5)) + z2 * row(6)));
}
inline double sineOfQuadrant(double xd, int shift)
{
    const rounded_trig::Reduced red = rounded_trig::reduceDouble(xd);
    const int q = int(red.k) + shift;
    const int odd = q & 1;
    const double* c = QUADRANT_ROWS[odd];
    const double r = red.r;
    const double z = r * r;
    const double p = quadrantSeries(z, [c](int i) { return c[i]; });
    // head: r for the sine row, 1 for the cosine row; scale: head z.
    const uint64_t cosineRow = uint64_t(0) - uint64_t(odd);
    const double head =
        std::bit_cast<double>((std::bit_cast<uint64_t>(r) & ~cosineRow) | (std::bit_cast<uint64_t>(1.0) & cosineRow));
    const double scale = head * z;
    const uint64_t value = std::bit_cast<uint64_t>(head + scale * p);
    return std::bit_cast<double>(value ^ (uint64_t(q & 2) << 62));
}

// Rounds the double estimate w to float into out and tells whether the
// library's double, within the margin of w, rounds the same way.
inline bool wobbleRoundsSafely(double w, double gain, float& out)
{
    out = float(w);
    const double margin = WOBBLE_MARGIN + std::fabs(gain) * WOBBLE_MARGIN_PER_GAIN;
    return float(w - margin) == float(w + margin);
}

// The fast path alone: false when the library must answer.
inline bool wobbleFast(float x, double t, double beat, float& out)
{
    const auto terms = wobbleTerms(x, t, beat);
    // Written so that NaN fails.
    if (!(std::fabs(terms.argA) <= WOBBLE_ARGUMENT_LIMIT && std::fabs(terms.argB) <= WOBBLE_ARGUMENT_LIMIT &&
          std::fabs(terms.argG) <= WOBBLE_ARGUMENT_LIMIT && std::fabs(terms.gain) <= WOBBLE_GAIN_LIMIT))
        return false;
    const double sinA = sineOfQuadrant(terms.argA, 0);
    const double sinB = sineOfQuadrant(terms.argB, 0);
    const double cosG = sineOfQuadrant(terms.argG, 1);
    return wobbleRoundsSafely(wobbleSum(sinA, sinB, cosG, terms.gain), terms.gain, out);
}

// wobble(x, t, beat), bit for bit.
inline float wobbleExact(float x, double t, double beat)
{
    float out;
    if (wobbleFast(x, t, beat, out)) return out;
    return wobble(x, t, beat);
}

}  // namespace rods
