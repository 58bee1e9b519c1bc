// The geometric vocabulary of the ray marcher and its scenes: lengths, a dot
// product, signed distances, the centred fold, axis rotations, normalisation.
//
// Conventions. Arguments and results are floats; a point or direction is three
// floats x, y, z. Between two roundings the arithmetic is carried in double, and
// each function rounds to float exactly where its comment says. Moving a
// rounding, or letting float * float round a product early, shifts surfaces by
// a last bit and changes whole regions of the picture. Distances are signed:
// negative inside the solid, zero on its surface, positive outside. Angles are
// radians. Every function is pure: no state, no side effects, no allocation.
#pragma once

#include <cmath>
#include <cstdint>

#include "state/demo_state.h"

// Offset added before the fold's remainder, so that the pattern repeats for
// every coordinate above -500 (below it the remainder turns negative).
constexpr double FOLD_OFFSET = 500.0;

// The few operations the formulas spell out beyond + - * /, for one float
// or double at a time. The same formulas also run on four rays at once:
// raymarch/lanes.h gives these names for its vector lanes, so every
// template below (and every scene) is written once for both.
inline double widen(float v) { return double(v); }
inline float narrow(double v) { return float(v); }
inline double absOf(double v) { return std::fabs(v); }
inline double sqrtOf(double v) { return std::sqrt(v); }
inline double truncOf(double v) { return std::trunc(v); }
// Whether a and b round to the same float.
inline bool sameFloat(double a, double b) { return float(a) == float(b); }
inline bool both(bool a, bool b) { return a && b; }
template <class T>
inline T pick(bool condition, T a, T b)
{
    return condition ? a : b;
}

// A point of float type F: Vector3 for one float, three lanes otherwise.
template <class F>
struct PointOf {
    struct type {
        F x, y, z;
    };
};
template <>
struct PointOf<float> {
    using type = Vector3;
};
template <class F>
using Point3 = typename PointOf<F>::type;

// sqrt(a*a + b*b); the sum of squares is rounded to float before the root,
// so a sum beyond the float range gives +infinity.
template <class F>
inline F length2(F a, F b)
{
    const F q = narrow(widen(a) * widen(a) + widen(b) * widen(b));
    return narrow(sqrtOf(widen(q)));
}

// sqrt(a*a + b*b + c*c), with the same two roundings as length2.
template <class F>
inline F length3(F a, F b, F c)
{
    const F q = narrow(widen(a) * widen(a) + widen(b) * widen(b) + widen(c) * widen(c));
    return narrow(sqrtOf(widen(q)));
}

// a0*b0 + a1*b1 + a2*b2, rounded once.
inline float dot3(float a0, float a1, float a2, float b0, float b1, float b2)
{
    return float(double(a0) * b0 + double(a1) * b1 + double(a2) * b2);
}

// Box with half-extents hx, hy, hz around the origin: the largest per-axis
// excess (exact inside and on the faces, an underestimate outside corners).
template <class F>
inline F boxDistance(F x, F y, F z, float hx, float hy, float hz)
{
    const auto ex = absOf(widen(x)) - double(hx);
    const auto ey = absOf(widen(y)) - double(hy);
    const auto ez = absOf(widen(z)) - double(hz);
    const auto exy = pick(ex > ey, ex, ey);
    return narrow(pick(exy > ez, exy, ez));
}

// Cube of half-size halfSize around the origin, in the same Chebyshev form.
template <class F>
inline F cubeDistance(F x, F y, F z, float halfSize)
{
    return boxDistance(x, y, z, halfSize, halfSize, halfSize);
}

// Sphere of radius r around the origin.
template <class F>
inline F sphereDistance(F x, F y, F z, float r)
{
    return narrow(widen(length3(x, y, z)) - double(r));
}

// Infinite cylinders along one axis, radius c + d (the two subtractions in
// that order, rounded once; d may differ from point to point). The
// coordinate along the axis is not read.
template <class F, class R>
inline F cylinderX(F, F y, F z, float c, R d)
{
    return narrow(widen(length2(y, z)) - double(c) - widen(d));
}
template <class F, class R>
inline F cylinderY(F x, F, F z, float c, R d)
{
    return narrow(widen(length2(x, z)) - double(c) - widen(d));
}
template <class F, class R>
inline F cylinderZ(F x, F y, F, float c, R d)
{
    return narrow(widen(length2(x, y)) - double(c) - widen(d));
}

// Repeats space with period P: fmod(v + offset, P) - P/2, the sum, the
// remainder and the difference each rounded. For v above -offset the result
// lies in [-P/2, P/2), 0 at the cell centres v = P/2 - offset + kP. Below
// -offset the remainder keeps the sign of v + offset, the result falls in
// (-3P/2, -P/2] and the pattern stops repeating; that is how the scenes look.
inline float fold(float v, double period, double offset = FOLD_OFFSET)
{
    const float shifted = float(double(v) + offset);
    const float remainder = float(std::fmod(double(shifted), period));
    return float(double(remainder) - period / 2.0);
}

// fmod(a, period) for a whole positive period, computed without the library
// call where that gives the same bits. For a dividend from 0 up to 2^24 the
// product a * (1 / period) is within 2^-29 of the true quotient, so its
// integer part q is the true one or off by one either way; q * period is
// exact, and a - q * period is the exact remainder, or that plus or minus one
// period, all representable, so one correction gives exactly what fmod
// returns (+0 for an exact multiple, -0 for -0). Anything else (negative,
// huge, not a number) goes to fmod.
constexpr double EXACT_REMAINDER_LIMIT = 16777216.0;  // 2^24
inline double wholeQuotient(double v) { return double(int32_t(v)); }
// The steps after the domain check, for a dividend in [0, 2^24).
template <class D>
inline D remainderInRange(D a, double period)
{
    const D q = wholeQuotient(a * (1.0 / period));
    const D r = a - q * period;
    return pick(r < 0.0, r + period, pick(r >= period, r - period, r));
}
inline double exactRemainder(double a, double period)
{
    if (!(a >= 0.0 && a < EXACT_REMAINDER_LIMIT)) return std::fmod(a, period);
    return remainderInRange(a, period);
}

// fold with the exact remainder: the same result for every v.
inline float foldExact(float v, double period, double offset = FOLD_OFFSET)
{
    const float shifted = float(double(v) + offset);
    const float remainder = float(exactRemainder(double(shifted), period));
    return float(double(remainder) - period / 2.0);
}

// The cosine and sine of an angle, each rounded to float before use.
template <class D>
struct TurnOf {
    D c, s;
};
using AxisTurn = TurnOf<double>;
inline AxisTurn axisTurn(float angle)
{
    return {double(float(std::cos(double(angle)))), double(float(std::sin(double(angle))))};
}

// Rotations about one axis. They share one sense: of the two components that
// change (in x, y, z order), the first becomes first*c + second*s and the
// second becomes second*c - first*s. Each changed component is rounded once.
// These take the cosine and sine already taken, for an angle that stays the
// same over many calls.
template <class F, class D>
inline Point3<F> rotateX(F x, F y, F z, TurnOf<D> t)
{
    return {x, narrow(widen(y) * t.c + widen(z) * t.s), narrow(widen(z) * t.c - widen(y) * t.s)};
}
template <class F, class D>
inline Point3<F> rotateY(F x, F y, F z, TurnOf<D> t)
{
    return {narrow(widen(x) * t.c + widen(z) * t.s), y, narrow(widen(z) * t.c - widen(x) * t.s)};
}
template <class F, class D>
inline Point3<F> rotateZ(F x, F y, F z, TurnOf<D> t)
{
    return {narrow(widen(x) * t.c + widen(y) * t.s), narrow(widen(y) * t.c - widen(x) * t.s), z};
}
inline Vector3 rotateX(float x, float y, float z, float angle) { return rotateX(x, y, z, axisTurn(angle)); }
inline Vector3 rotateY(float x, float y, float z, float angle) { return rotateY(x, y, z, axisTurn(angle)); }
inline Vector3 rotateZ(float x, float y, float z, float angle) { return rotateZ(x, y, z, axisTurn(angle)); }
inline Vector3 rotateXYZ(float x, float y, float z, AxisTurn a, AxisTurn b, AxisTurn g)
{
    const Vector3 rx = rotateX(x, y, z, a);
    const Vector3 ry = rotateY(rx.x, rx.y, rx.z, b);
    return rotateZ(ry.x, ry.y, ry.z, g);
}

// About x by a, then about y by b, then about z by g; every intermediate
// component is a float.
inline Vector3 rotateXYZ(float x, float y, float z, float a, float b, float g)
{
    const Vector3 rx = rotateX(x, y, z, a);
    const Vector3 ry = rotateY(rx.x, rx.y, rx.z, b);
    return rotateZ(ry.x, ry.y, ry.z, g);
}

// v scaled to length 1 by multiplying with the float reciprocal of its length
// (so v * (1/n), which can differ from v / n in the last bit). A vector whose
// length rounds to 0 is returned unchanged.
inline Vector3 normalize(Vector3 v)
{
    const float n = length3(v.x, v.y, v.z);
    if (n == 0.0f) return v;
    const double r = float(1.0 / double(n));
    return {float(double(v.x) * r), float(double(v.y) * r), float(double(v.z) * r)};
}
