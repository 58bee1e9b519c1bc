// The ray-march renderer: how a hit becomes a glyph and an attribute, and how
// whole frames come out. The shading tests pin the index arithmetic (truncation
// toward zero, the cap at 3, negative indexes reading the entries stored before
// shadeRamp and marchColours, the wrap of colour remainders below -2, and the
// defined result for a zero view distance). The cell and frame tests run the
// real marcher: the start three direction lengths out and the lifted reference
// point, misses, the Escape path with the fake host, and frame hashes of fixed
// states for every scene. Those hashes were computed by a separate float32
// rendering written from the rules, which matched this renderer cell for cell;
// a rounding moved anywhere in the marcher, the primitives or the scenes
// changes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>

#include "art/tables.h"
#include "fake_platform.h"
#include "raymarch/march.h"
#include "raymarch/shading.h"
#include "runtime/frame_loop.h"

namespace {

constexpr CharInfo MISS{219, 0};

class RaymarchRenderer : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
};

// Fills the buffer with a cell no effect draws, so a cell left unwritten shows.
void scribble()
{
    for (CharInfo& c : screenBuffer) c = CharInfo{0x1234, 0x5678};
}

void setState(int effect, double t, Vector3 camera, float view, float accent = 0, float beat = 0, int beats = 0)
{
    demo.effectId = effect;
    demo.timeSec = t;
    demo.cameraPos = camera;
    demo.viewDistance = view;
    relaxedStore(demo.accentPulse, accent);
    relaxedStore(demo.beatPulse, beat);
    relaxedStore(demo.beatCount, beats);
}

void renderCell(int x, int y)
{
    demo.cellX = x;
    demo.cellY = y;
    demo.cellU = float(x - 40);
    demo.cellV = float(y - 25);
    marchCell();
}

CharInfo cellAt(int x, int y) { return screenBuffer[y * SCREEN_COLUMNS + x]; }

// FNV-1a over each cell's glyph and attribute, low byte first.
uint64_t frameHash()
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (const CharInfo& c : screenBuffer)
        for (uint16_t field : {c.glyph, c.attr})
            for (int byte : {field & 0xFF, field >> 8}) {
                h ^= uint64_t(byte);
                h *= 0x100000001b3ull;
            }
    return h;
}

TEST(RaymarchShading, IndexesTruncateTowardZeroAndCapAtThree)
{
    EXPECT_DOUBLE_EQ(hitFade(24, 96), 0.75);
    // Shade 1, fade 0.9: trunc(3.33) and trunc(3.6); shade 0.5, fade 0.5:
    // trunc(0.925) and trunc(1.0).
    EXPECT_EQ(colourIndexOf(1.0f, 0.9), 3);
    EXPECT_EQ(shadeIndexOf(1.0f, 0.9), 3);
    EXPECT_EQ(colourIndexOf(0.5f, 0.5), 0);
    EXPECT_EQ(shadeIndexOf(0.5f, 0.5), 1);
    EXPECT_EQ(shadeIndexOf(1.0f, 1.6), 3);
    // Beyond the view the fade is negative; there is no lower clamp.
    EXPECT_EQ(shadeIndexOf(1.0f, -0.3), -1);
    EXPECT_EQ(colourIndexOf(0.5f, -1.2), -2);
    // Negative shade indexes read the last beatGlyphs: 64, 43, 246.
    const uint16_t glyphs[] = {250, 64, 43, 246, 250, 7, 4, 254};
    for (int s = -4; s <= 3; ++s) EXPECT_EQ(shadeGlyph(s), glyphs[s + 4]) << s;
}

TEST(RaymarchShading, RampsFollowPositionAndBeatAcrossNegativeRemainders)
{
    // Hit (25, -5, 41) with beatCount 7: 1 + 0 + 2 + 7 in 20-unit cells.
    const Vector3 hit = {25, -5, 41};
    EXPECT_EQ(rampNumber(1, hit, 0, 7), 10);
    EXPECT_EQ(rampAttribute(2, 10), marchColours[2]);
    EXPECT_EQ(rampNumber(1, {0, -25, 0}, 0, 0), -1);
    EXPECT_EQ(rampNumber(6, hit, 0, 7), 2 + 0 + 4 + 7);
    EXPECT_EQ(rampNumber(4, hit, 1, 7), 8);
    // Remainders -1 and -2 read the overlay attributes before marchColours;
    // lower ones wrap by 20 to the same ramp position, so the bands continue.
    EXPECT_EQ(rampAttribute(3, -1), 15);
    EXPECT_EQ(rampAttribute(2, -1), 0);
    EXPECT_EQ(rampAttribute(1, -1), 5);  // -3: magenta, dark
    EXPECT_EQ(rampAttribute(1, -5), 6);  // -19: yellow, dark
    EXPECT_EQ(rampAttribute(0, -3), 0);  // -12: blue, black
}

TEST(RaymarchShading, ZeroViewDistanceCountsAsFullyFaded)
{
    // 1 - t/0 is minus infinity (0/0 for t = 0): drawn as fade 0.
    EXPECT_EQ(hitFade(3.0f, 0.0f), 0.0);
    EXPECT_EQ(hitFade(0.0f, 0.0f), 0.0);
    // Far beyond a tiny view distance the fade is huge but finite; the
    // indexes stay integers that address the tables.
    const double far = hitFade(90.0f, 1e-37f);
    EXPECT_LT(far, -1e30);
    EXPECT_TRUE(std::set<uint16_t>({64, 43, 246, 250}).count(shadeGlyph(shadeIndexOf(1.0f, far))));
    EXPECT_LE(rampAttribute(colourIndexOf(1.0f, far), 0), 15);
}

TEST_F(RaymarchRenderer, CentreRayStartsThreeLengthsOutFromALiftedReference)
{
    // Effect 7 has no scene: every distance is 0, so the first sample hits,
    // the normal is (0, 0, 0) and the shade is 0.5. At t = 0 the centre ray
    // is (0, 0, 1): the hit is (0, 0, 3), travelled 3 - 0.001 from the lifted
    // reference, so with view 1.5 the fade is -0.99933: shade index
    // trunc(-1.9987) = -1 (beatGlyphs' last, 246) and colour index -1, which
    // reads overlayAttr's white. Measured from the camera itself the shade
    // index would be -2.
    setState(7, 0.0, {0, 0, 0}, 1.5f);
    renderCell(40, 25);
    EXPECT_EQ(cellAt(40, 25), (CharInfo{246, 15}));
    EXPECT_EQ(demo.samplePoint.x, 0.0f);
    EXPECT_EQ(demo.samplePoint.y, 0.0f);
    EXPECT_EQ(demo.samplePoint.z, 3.0f);
}

TEST_F(RaymarchRenderer, ZeroViewDistanceFramesAreBlackAndMissesKeepTheDefault)
{
    // Every first sample hits: fully faded, the invisible first entry of a ramp.
    setState(7, 3.0, {-100, -100, -100}, 0.0f, 0, 0, 3);
    scribble();
    renderCells();
    for (const CharInfo& c : screenBuffer) ASSERT_EQ(c, (CharInfo{250, 0}));
    // Inside a channel of scene 6 no first sample hits: every ray is a miss
    // at its first step, with a zero view as with a short one.
    for (float view : {0.0f, 5.0f}) {
        scribble();
        setState(6, 0.0, {90, 90, 0}, view);
        renderCells();
        for (const CharInfo& c : screenBuffer) ASSERT_EQ(c, MISS);
    }
}

TEST_F(RaymarchRenderer, EscapeCutsEveryRayWhoseFirstSampleMisses)
{
    // Inside a foam ball of scene 1 some first samples are in solid and some
    // in holes. At t = 0 the ray of a cell is (u/40, v/25, 1), unturned.
    const Vector3 camera = {10, 10, 10};
    setState(1, 0.0, camera, 96.0f);
    renderCells();
    const ScreenBuffer full = screenBuffer;

    fake::escapeFromQuery = 1;
    fake::escapeQueries = 0;
    scribble();
    renderCells();
    int firstHits = 0;
    for (int y = 0; y < SCREEN_ROWS; ++y)
        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
            const double dx = float((x - 40) / 40.0), dy = float((y - 25) / 25.0);
            const float d = sceneDistanceAt(float(camera.x + 3 * dx), float(camera.y + 3 * dy), camera.z + 3);
            const bool firstHit = d < 0.001f;
            firstHits += firstHit;
            EXPECT_EQ(cellAt(x, y), firstHit ? full[y * SCREEN_COLUMNS + x] : MISS) << x << "," << y;
        }
    EXPECT_GT(firstHits, 100);
    EXPECT_LT(firstHits, CELL_COUNT - 100);
    // One query per cut ray, none for the others.
    EXPECT_EQ(fake::escapeQueries, CELL_COUNT - firstHits);
}

struct FrameCase {
    const char* what;
    int effect;
    double t;
    Vector3 camera;
    float view, accent, beat;
    int beats;
    uint64_t hash;
};

// Cameras are the timeline's for the time (default, channel or rod camera)
// except where a case says otherwise.
const FrameCase frameCases[] = {
    {"foam balls", 1, 20.0, {-75.68025207519531f, -27.94154930114746f, 90.92974090576172f}, 96.0f, 1.3f, 0, 3,
     0x2bf67765f4d808bdull},
    {"spinning cubes on a beat", 2, 12.5, {59.84721374511719f, -57.156150817871094f, 94.8984603881836f}, 96.0f,
     0.7f, 2.2f, 2, 0x45657ce68cf005e5ull},
    {"foam frame", 3, 33.3, {36.79608154296875f, -53.560394287109375f, -18.729482650756836f}, 97.5f, 0, 0, 11,
     0x6a6977c1649df60dull},
    {"rod grid on a beat", 4, 50.0, {65.0287094116211f, 11.947216987609863f, 5.205889701843262f}, 96.0f, 0, 1.7f,
     5, 0x129d654f4977cbb7ull},
    {"rod lattice swollen", 5, 7.7, {99.95258331298828f, 73.9005126953125f, 69.613525390625f}, 96.3f, 2.1f, 0, 0,
     0x3441572e4ab6af76ull},
    // Negative coordinates with no beats yet: colour remainders down to -19.
    {"foam frame, negative octant", 3, 5.0, {-60, -70, -80}, 96.0f, 0, 0, 0, 0xdc6d4c43b6ae8d55ull},
    // Every hit beyond 1.25 view distances: negative shade and colour indexes.
    {"foam balls, short view", 1, 60.0, {10, -20, 30}, 2.0f, 0.5f, 0, 4, 0xcfd52d3df80e7632ull},
    {"channel cube, short view", 6, 140.0, {-30, 45, -12}, 7.5f, 0, 0, 1, 0x90c309901138bcdaull},
};

TEST_F(RaymarchRenderer, FramesMatchAnIndependentRendering)
{
    for (const FrameCase& f : frameCases) {
        fake::reset();
        setState(f.effect, f.t, f.camera, f.view, f.accent, f.beat, f.beats);
        scribble();
        renderCells();
        EXPECT_EQ(frameHash(), f.hash) << f.what;
    }
}

TEST_F(RaymarchRenderer, ChannelSceneThroughTheTimeline)
{
    // Order 12 at t = 20 with the view distance held at 96.
    demo.musicOrder = 12;
    demo.timeSec = 20.0;
    demo.viewDistance = 96.0f;
    applyTimeline();
    updateViewDistance();
    ASSERT_EQ(demo.effectId, 6);
    renderCells();
    EXPECT_EQ(frameHash(), 0x90ca9b73188200acull);
}

}  // namespace
