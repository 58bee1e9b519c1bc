// Sine and cosine of a float rounded to float, float(std::sin(double(x))) and
// float(std::cos(double(x))), with the same bits as the library call for every
// float x, at a fraction of its cost.
//
// How: the value is computed in double to well within 2^-50 of the true one,
// then rounded to float. When it lies so near a float rounding boundary that
// the library's double (within 1 ulp of the truth) might round the other way,
// the library is called instead. Outside |x| <= 2^20, for 0, infinities and
// NaN, the library is called too.
//
// Reduction: k = nearest integer to x * 2/pi, r = x - k*pi/2 in [-0.7854,
// 0.7854] (pi/4 plus what the rounded product x * 2/pi can overshoot, under
// 2^-31). pi/2 is split into P1, 31 significant bits, and P2 = pi/2 - P1
// rounded to double, which leaves |pi/2 - P1 - P2| < 2^-87. For |x| <= 2^20,
// |k| < 2^20, so:
//   - k*P1 is exact (at most 51 bits);
//   - x - k*P1 is exact: for k != 0, |x| > 1/2, so x and k*P1 are multiples of
//     2^-30 and their difference is below 1, so it has at most 30 bits;
//   - k*P2 (at most |k| 2^-33) is rounded by at most |k| 2^-86, the missing
//     tail of pi/2 adds at most |k| 2^-87, and the last subtraction rounds r
//     by 2^-53 |r| at most.
// Kernels on |r| <= 0.7854, with z = r*r:
//   sin r = r + r z (S1 + S2 z + ... + S6 z^5)
//   cos r = 1 - z/2 + z^2 (C1 + C2 z + ... + C6 z^5)
// The coefficients interpolate (sin(sqrt z)/sqrt z - 1)/z and
// (cos(sqrt z) - 1 + z/2)/z^2 at six Chebyshev points of [0, 0.7854^2]; with
// the coefficients rounded to double, the largest relative error of the two
// polynomials, evaluated at 60 digits on 20000 evenly spread r, is 2^-55.4 for
// the sine and 2^-59.4 for the cosine.
// Rounding in double (u = 2^-53): the sine's correction term is at most
// 0.103 |r| and carries at most 5u of its own; with the last addition and
// |sin r| >= 0.9 |r| that is under 1.7u relative. The cosine (at least 0.707)
// collects under 1.7u absolute, 2.4u relative. The rounding of r adds 1.12u
// to the sine, 0.8u to the cosine. So the double d is within
//   E = 4u |f| + |k| 2^-85
// of the true value f (relative errors taken on f's magnitude, up to terms far
// below these).
// Guard: the library's double is within 1 ulp, 2u |f|, of f. Every value within
// M = 2^-47 |d| + |k| 2^-81 of d (M is over 8 times E + 2u |f| + the rounding
// of d +- M) rounds to the same float when float(d - M) == float(d + M), since
// rounding to nearest is monotone; then the library's double rounds to it too.
// Otherwise the library is called: over every float in the domain, for 92 of
// the 2.47e9 sines and 120 of the cosines, and each of those still agrees.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "raymarch/primitives.h"

namespace rounded_trig {

// Largest |x| handled here: 2^20.
inline constexpr uint32_t DOMAIN_LIMIT_BITS = 0x49800000u;

inline constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
inline constexpr double PIO2_HIGH = 0x1.921fb544p0;            // 31 significant bits
inline constexpr double PIO2_LOW = 0x1.0b4611a626331p-34;      // pi/2 - PIO2_HIGH, rounded
inline constexpr double ROUND_SHIFTER = 0x1.8p52;              // adding it rounds to an integer

inline constexpr double S1 = -0x1.5555555555555p-3;
inline constexpr double S2 = 0x1.1111111110bb2p-7;
inline constexpr double S3 = -0x1.a01a019e83a8fp-13;
inline constexpr double S4 = 0x1.71de3796878b1p-19;
inline constexpr double S5 = -0x1.ae600b00160cap-26;
inline constexpr double S6 = 0x1.5e0b190695154p-33;

inline constexpr double C1 = 0x1.5555555555555p-5;
inline constexpr double C2 = -0x1.6c16c16c16967p-10;
inline constexpr double C3 = 0x1.a01a019f4eaf1p-16;
inline constexpr double C4 = -0x1.27e4fa17d8c71p-22;
inline constexpr double C5 = 0x1.1eeb68e7eb073p-29;
inline constexpr double C6 = -0x1.907da2754caa9p-37;

// True when x is handled here: 0 < |x| <= 2^20 (0, NaN and infinities are not).
inline bool inDomain(float x)
{
    const uint32_t magnitude = std::bit_cast<uint32_t>(x) & 0x7fffffffu;
    return magnitude - 1u < DOMAIN_LIMIT_BITS;
}

// r = x - k*pi/2 and k, for x in the domain. The steps below are templates
// so that the vector lanes (lanes.h) take the very same ones.
template <class D>
struct ReducedOf {
    D r;
    D k;  // a whole number
};
using Reduced = ReducedOf<double>;
// The same steps hold for a double xd with |xd| <= 2^20: k*P1 is exact as
// before, and xd - k*P1 is too (both are multiples of the spacing of xd's
// doubles, at least 2^-52 from |xd| >= 1 on, and they differ by under 1;
// for k = +-1 and |xd| < 1 they lie within a factor 2 of each other).
template <class D>
inline ReducedOf<D> reduceDouble(D xd)
{
    const D kd = (xd * TWO_OVER_PI + ROUND_SHIFTER) - ROUND_SHIFTER;
    const D r = (xd - kd * PIO2_HIGH) - kd * PIO2_LOW;
    return {r, kd};
}
inline Reduced reduce(float x) { return reduceDouble(double(x)); }

template <class D>
inline D sinKernel(D r)
{
    const D z = r * r;
    const D z2 = z * z;
    const D p = (S1 + z * S2) + z2 * ((S3 + z * S4) + z2 * (S5 + z * S6));
    return r + (r * z) * p;
}

template <class D>
inline D cosKernel(D r)
{
    const D z = r * r;
    const D z2 = z * z;
    const D q = (C1 + z * C2) + z2 * ((C3 + z * C4) + z2 * (C5 + z * C6));
    return 1.0 - (0.5 * z - z2 * q);
}

// The double estimates of sin x and cos x, for x in the domain.
struct SinCos {
    double s;
    double c;
    double k;
};
// For a double xd with |xd| <= 2^20 the estimates are within the same E of
// sin xd and cos xd.
inline SinCos estimateDouble(double xd)
{
    const Reduced red = reduceDouble(xd);
    const uint64_t sr = std::bit_cast<uint64_t>(sinKernel(red.r));
    const uint64_t cr = std::bit_cast<uint64_t>(cosKernel(red.r));
    // Without branches (the quadrant is as good as random from call to call):
    // odd k swaps the two, bit 1 of k negates the sine, bit 1 of k + 1 the
    // cosine.
    const int k = int(red.k);
    const uint64_t swap = uint64_t(0) - uint64_t(k & 1);
    const uint64_t s = ((sr & ~swap) | (cr & swap)) ^ (uint64_t(k & 2) << 62);
    const uint64_t c = ((cr & ~swap) | (sr & swap)) ^ (uint64_t((k + 1) & 2) << 62);
    return {std::bit_cast<double>(s), std::bit_cast<double>(c), red.k};
}
inline SinCos estimate(float x) { return estimateDouble(double(x)); }

// Rounds the estimate d to float into out and tells whether every value within
// the margin of d rounds the same way.
// (The rounded value does not wait for the margin: with the check predicted
// to pass, the caller goes on with it while the check completes.)
template <class D>
inline auto roundsSafely(D d, D k)
{
    const D margin = absOf(d) * 0x1p-47 + absOf(k) * 0x1p-81;
    return sameFloat(d - margin, d + margin);
}
inline bool roundSafely(double d, double k, float& out)
{
    out = float(d);
    return roundsSafely(d, k);
}

inline float librarySin(float x) { return float(std::sin(double(x))); }
inline float libraryCos(float x) { return float(std::cos(double(x))); }

// The fast path alone: false when the library must answer (outside the domain
// or near a rounding boundary); otherwise out holds the rounded value.
inline bool sinFast(float x, float& out)
{
    if (!inDomain(x)) return false;
    const SinCos e = estimate(x);
    return roundSafely(e.s, e.k, out);
}
inline bool cosFast(float x, float& out)
{
    if (!inDomain(x)) return false;
    const SinCos e = estimate(x);
    return roundSafely(e.c, e.k, out);
}

}  // namespace rounded_trig

// float(std::sin(double(x))), bit for bit.
inline float sinRounded(float x)
{
    float out;
    if (rounded_trig::sinFast(x, out)) return out;
    return rounded_trig::librarySin(x);
}

// float(std::cos(double(x))), bit for bit.
inline float cosRounded(float x)
{
    float out;
    if (rounded_trig::cosFast(x, out)) return out;
    return rounded_trig::libraryCos(x);
}

// Both at once, sharing the reduction.
struct RoundedSinCos {
    float s;
    float c;
};
inline RoundedSinCos sinCosRounded(float x)
{
    if (!rounded_trig::inDomain(x)) return {rounded_trig::librarySin(x), rounded_trig::libraryCos(x)};
    const rounded_trig::SinCos e = rounded_trig::estimate(x);
    RoundedSinCos out;
    if (!rounded_trig::roundSafely(e.s, e.k, out.s)) out.s = rounded_trig::librarySin(x);
    if (!rounded_trig::roundSafely(e.c, e.k, out.c)) out.c = rounded_trig::libraryCos(x);
    return out;
}
