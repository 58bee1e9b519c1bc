// Scene 6: a solid cube, 2000 on a side around the origin, pierced by three
// grids of square channels (coarse, middle, fine), each grid running along all
// three axes. The result is the largest of the ten terms: the cube itself, and
// for each channel the negated box distance, which is positive inside the
// channel. Static: it reads no demo state.
//
// The fast cell loop has its own copy of these formulas (fast_scenes.h); a
// change here goes there too, and the fast loop's equality tests fail until it
// does.
#include "raymarch/primitives.h"
#include "raymarch/scenes.h"

namespace {

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

// The three channels of one level at folded point (x, y, z): along z, x and y,
// in that order; returns the deepest of them and the running maximum.
float deepestChannel(float best, float x, float y, float z, float w)
{
    const float alongZ = -boxDistance(x, y, z, w, w, CHANNEL_LENGTH);
    const float alongX = -boxDistance(x, y, z, CHANNEL_LENGTH, w, w);
    const float alongY = -boxDistance(x, y, z, w, CHANNEL_LENGTH, w);
    if (alongZ > best) best = alongZ;
    if (alongX > best) best = alongX;
    if (alongY > best) best = alongY;
    return best;
}

float channelsOf(float best, const ChannelLevel& level, float x, float y, float z)
{
    return deepestChannel(best, fold(x, level.period, level.offset), fold(y, level.period, level.offset),
                          fold(z, level.period, level.offset), level.halfWidth);
}

}  // namespace

float scene6Distance(float x, float y, float z)
{
    float best = cubeDistance(x, y, z, CUBE_HALF_SIZE);
    best = channelsOf(best, COARSE, x, y, z);
    best = channelsOf(best, MIDDLE, x, y, z);
    best = channelsOf(best, FINE, x, y, z);
    return best;
}
