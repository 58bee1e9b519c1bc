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

// sqrt(a*a + b*b); the sum of squares is rounded to float before the root,
// so a sum beyond the float range gives +infinity.
inline float length2(float a, float b)
{
    const float q = float(double(a) * a + double(b) * b);
    return float(std::sqrt(double(q)));
}

// sqrt(a*a + b*b + c*c), with the same two roundings as length2.
inline float length3(float a, float b, float c)
{
    const float q = float(double(a) * a + double(b) * b + double(c) * c);
    return float(std::sqrt(double(q)));
}

// a0*b0 + a1*b1 + a2*b2, rounded once.
inline float dot3(float a0, float a1, float a2, float b0, float b1, float b2)
{
    return float(double(a0) * b0 + double(a1) * b1 + double(a2) * b2);
}

// Box with half-extents hx, hy, hz around the origin: the largest per-axis
// excess (exact inside and on the faces, an underestimate outside corners).
inline float boxDistance(float x, float y, float z, float hx, float hy, float hz)
{
    const double ex = std::fabs(double(x)) - hx;
    const double ey = std::fabs(double(y)) - hy;
    const double ez = std::fabs(double(z)) - hz;
    const double exy = ex > ey ? ex : ey;
    return float(exy > ez ? exy : ez);
}

// Cube of half-size halfSize around the origin, in the same Chebyshev form.
inline float cubeDistance(float x, float y, float z, float halfSize)
{
    return boxDistance(x, y, z, halfSize, halfSize, halfSize);
}

// Sphere of radius r around the origin.
inline float sphereDistance(float x, float y, float z, float r)
{
    return float(double(length3(x, y, z)) - r);
}

// Infinite cylinders along one axis, radius c + d (the two subtractions in
// that order, rounded once). The coordinate along the axis is not read.
inline float cylinderX(float, float y, float z, float c, float d)
{
    return float(double(length2(y, z)) - c - d);
}
inline float cylinderY(float x, float, float z, float c, float d)
{
    return float(double(length2(x, z)) - c - d);
}
inline float cylinderZ(float x, float y, float, float c, float d)
{
    return float(double(length2(x, y)) - c - d);
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
inline double exactRemainder(double a, double period)
{
    if (!(a >= 0.0 && a < EXACT_REMAINDER_LIMIT)) return std::fmod(a, period);
    const double q = double(int32_t(a * (1.0 / period)));
    const double r = a - q * period;
    if (r < 0.0) return r + period;
    if (r >= period) return r - period;
    return r;
}

// fold with the exact remainder: the same result for every v.
inline float foldExact(float v, double period, double offset = FOLD_OFFSET)
{
    const float shifted = float(double(v) + offset);
    const float remainder = float(exactRemainder(double(shifted), period));
    return float(double(remainder) - period / 2.0);
}

// The cosine and sine of an angle, each rounded to float before use.
struct AxisTurn {
    double c, s;
};
inline AxisTurn axisTurn(float angle)
{
    return {double(float(std::cos(double(angle)))), double(float(std::sin(double(angle))))};
}

// Rotations about one axis. They share one sense: of the two components that
// change (in x, y, z order), the first becomes first*c + second*s and the
// second becomes second*c - first*s. Each changed component is rounded once.
inline Vector3 rotateX(float x, float y, float z, float angle)
{
    const AxisTurn t = axisTurn(angle);
    return {x, float(double(y) * t.c + double(z) * t.s), float(double(z) * t.c - double(y) * t.s)};
}
inline Vector3 rotateY(float x, float y, float z, float angle)
{
    const AxisTurn t = axisTurn(angle);
    return {float(double(x) * t.c + double(z) * t.s), y, float(double(z) * t.c - double(x) * t.s)};
}
inline Vector3 rotateZ(float x, float y, float z, float angle)
{
    const AxisTurn t = axisTurn(angle);
    return {float(double(x) * t.c + double(y) * t.s), float(double(y) * t.c - double(x) * t.s), z};
}

// The same rotations with the cosine and sine already taken, for an angle
// that stays the same over many calls.
inline Vector3 rotateX(float x, float y, float z, AxisTurn t)
{
    return {x, float(double(y) * t.c + double(z) * t.s), float(double(z) * t.c - double(y) * t.s)};
}
inline Vector3 rotateY(float x, float y, float z, AxisTurn t)
{
    return {float(double(x) * t.c + double(z) * t.s), y, float(double(z) * t.c - double(x) * t.s)};
}
inline Vector3 rotateZ(float x, float y, float z, AxisTurn t)
{
    return {float(double(x) * t.c + double(y) * t.s), float(double(y) * t.c - double(x) * t.s), z};
}
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
