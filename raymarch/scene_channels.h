// Scene 6: a solid cube, 2000 on a side around the origin, pierced by three
// grids of square channels (coarse, middle, fine), each grid running along all
// three axes. The result is the largest of the ten terms: the cube itself, and
// for each channel the negated box distance, which is positive inside the
// channel. Static: it reads no demo state.
//
// One formula for both renderers: Path (see scenes.h) says how to fold; it
// folds each coordinate for the coarse and the middle grid in one call.
#pragma once

#include "raymarch/scenes.h"

namespace channels {

constexpr float CUBE_HALF_SIZE = 1000.0f;
// A channel's half-length along its own axis; folded coordinates never come
// near it, so every channel is unbounded and only the cube bounds the scene.
constexpr float CHANNEL_LENGTH = 1000.0f;

struct ChannelLevel {
    double period;
    double offset;      // fold offset; the fine grid sits 0.25 off the others
    float halfWidth;
};
constexpr ChannelLevel COARSE = {90.0, 500.0, 15.0f};
constexpr ChannelLevel MIDDLE = {30.0, 500.0, 5.0f};
constexpr ChannelLevel FINE = {10.0, 500.25, 1.65f};
// What Path::foldTwice may rely on.
static_assert(COARSE.period == 3.0 * MIDDLE.period && COARSE.offset == MIDDLE.offset);

// The three channels of one level at folded point (x, y, z): along z, x and y,
// in that order; returns the deepest of them and the running maximum.
template <class F>
inline F deepestChannel(F best, F x, F y, F z, float w)
{
    const F alongZ = -boxDistance(x, y, z, w, w, CHANNEL_LENGTH);
    const F alongX = -boxDistance(x, y, z, CHANNEL_LENGTH, w, w);
    const F alongY = -boxDistance(x, y, z, w, CHANNEL_LENGTH, w);
    best = pick(alongZ > best, alongZ, best);
    best = pick(alongX > best, alongX, best);
    return pick(alongY > best, alongY, best);
}

template <class Path, class F>
inline F scene6(typename Path::Context&, F x, F y, F z)
{
    const auto fx = Path::foldTwice(x, COARSE.period, MIDDLE.period, COARSE.offset);
    const auto fy = Path::foldTwice(y, COARSE.period, MIDDLE.period, COARSE.offset);
    const auto fz = Path::foldTwice(z, COARSE.period, MIDDLE.period, COARSE.offset);
    F best = cubeDistance(x, y, z, CUBE_HALF_SIZE);
    best = deepestChannel(best, fx.outer, fy.outer, fz.outer, COARSE.halfWidth);
    best = deepestChannel(best, fx.inner, fy.inner, fz.inner, MIDDLE.halfWidth);
    best = deepestChannel(best, Path::fold(x, FINE.period, FINE.offset), Path::fold(y, FINE.period, FINE.offset),
                          Path::fold(z, FINE.period, FINE.offset), FINE.halfWidth);
    return best;
}

}  // namespace channels
