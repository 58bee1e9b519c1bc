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

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "art/tables.h"
#include "fake_platform.h"
#include "raymarch/march.h"
#include "raymarch/shading.h"
#include "runtime/frame_loop.h"

namespace {

constexpr CharInfo MISS{219, 0};
constexpr CharInfo UNWRITTEN{0x1234, 0x5678};  // a cell no effect draws

void setState(int effect, double t, Vector3 camera, float view, float accent = 0, float beat = 0, int beats = 0)
{
    fake::reset();
    screenBuffer.fill(UNWRITTEN);
    demo.effectId = effect;
    demo.timeSec = t;
    demo.cameraPos = camera;
    demo.viewDistance = view;
    relaxedStore(demo.accentPulse, accent);
    relaxedStore(demo.beatPulse, beat);
    relaxedStore(demo.beatCount, beats);
}

// FNV-1a over each cell's glyph and attribute, low byte first.
uint64_t frameHash()
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (const CharInfo& c : screenBuffer)
        for (int byte : {c.glyph & 0xFF, c.glyph >> 8, c.attr & 0xFF, c.attr >> 8})
            h = (h ^ uint64_t(byte)) * 0x100000001b3ull;
    return h;
}

TEST(RaymarchShading, IndexesTruncateTowardZeroCapAtThreeAndReadBeforeTheirTables)
{
    EXPECT_DOUBLE_EQ(hitFade(24, 96), 0.75);
    // trunc(shade * 3.7 * fade) and trunc(shade * 4 * fade); no lower clamp.
    const struct { float shade; double fade; int64_t colour, glyphIndex; } indexes[] = {
        {1.0f, 0.9, 3, 3}, {0.5f, 0.5, 0, 1}, {1.0f, 1.6, 3, 3}, {1.0f, -0.3, -1, -1}, {0.5f, -1.2, -2, -2}};
    for (const auto& i : indexes) {
        EXPECT_EQ(colourIndexOf(i.shade, i.fade), i.colour) << i.shade << " " << i.fade;
        EXPECT_EQ(shadeIndexOf(i.shade, i.fade), i.glyphIndex) << i.shade << " " << i.fade;
    }
    // Negative shade indexes read the last beatGlyphs: 64, 43, 246.
    const uint16_t glyphs[] = {250, 64, 43, 246, 250, 7, 4, 254};
    for (int s = -4; s <= 3; ++s) EXPECT_EQ(shadeGlyph(s), glyphs[s + 4]) << s;
    // Ramp numbers: the hit (25, -5, 41) lies in 20-unit cells 1 + 0 + 2, in
    // 10-unit cells 2 + 0 + 4; scene 4 takes its material instead.
    const Vector3 hit = {25, -5, 41};
    EXPECT_EQ(rampNumber(1, hit, 0, 7), 1 + 0 + 2 + 7);
    EXPECT_EQ(rampNumber(1, {0, -25, 0}, 0, 0), -1);
    EXPECT_EQ(rampNumber(6, hit, 0, 7), 2 + 0 + 4 + 7);
    EXPECT_EQ(rampNumber(4, hit, 1, 7), 1 + 7);
    // Remainders -1 and -2 read the overlay attributes before marchColours;
    // lower ones wrap by 20 to the same ramp position, so the bands continue.
    const struct { int64_t colour, ramp; uint16_t attr; } attrs[] = {{2, 10, uint16_t(marchColours[2])},
                                                                     {3, -1, 15}, {2, -1, 0},
                 {1, -1, 5} /* -3: magenta, dark */, {1, -5, 6} /* -19: yellow, dark */, {0, -3, 0} /* -12 */};
    for (const auto& a : attrs) EXPECT_EQ(rampAttribute(a.colour, a.ramp), a.attr) << a.colour << " " << a.ramp;
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
    // A whole frame where every first sample hits (effect 7 has no scene) is
    // the invisible first entry of a ramp.
    setState(7, 3.0, {-100, -100, -100}, 0.0f, 0, 0, 3);
    renderCells();
    EXPECT_EQ(std::count(screenBuffer.begin(), screenBuffer.end(), CharInfo{250, 0}), CELL_COUNT);
}

TEST(RaymarchRenderer, CentreRayStartsThreeLengthsOutFromALiftedReferenceAndMissesKeepTheDefault)
{
    // Effect 7: every distance is 0, the first sample hits, the normal is 0
    // and the shade 0.5. At t = 0 the centre ray is (0, 0, 1): the hit is
    // (0, 0, 3), travelled 3 - 0.001 from the lifted reference, so with view
    // 1.5 the fade is -0.99933: shade index -1 (beatGlyphs' last, 246) and
    // colour index -1 (overlayAttr's white). From the camera itself the shade
    // index would be -2.
    setState(7, 0.0, {0, 0, 0}, 1.5f);
    demo.cellX = 40, demo.cellY = 25, demo.cellU = 0, demo.cellV = 0;
    marchCell();
    EXPECT_EQ(screenBuffer[25 * SCREEN_COLUMNS + 40], (CharInfo{246, 15}));
    EXPECT_EQ(std::vector<float>({demo.samplePoint.x, demo.samplePoint.y, demo.samplePoint.z}),
              std::vector<float>({0, 0, 3}));
    // Inside a channel of scene 6 every ray misses at its first step, with a
    // zero view as with a short one.
    for (float view : {0.0f, 5.0f}) {
        setState(6, 0.0, {90, 90, 0}, view);
        renderCells();
        EXPECT_EQ(std::count(screenBuffer.begin(), screenBuffer.end(), MISS), CELL_COUNT) << view;
    }
}

TEST(RaymarchRenderer, EscapeCutsEveryRayWhoseFirstSampleMisses)
{
    // Inside a foam ball of scene 1 some first samples are in solid and some
    // in holes. At t = 0 the ray of a cell is (u/40, v/25, 1), unturned.
    const Vector3 camera = {10, 10, 10};
    setState(1, 0.0, camera, 96.0f);
    renderCells();
    const ScreenBuffer full = screenBuffer;
    fake::escapeFromQuery = 1;
    fake::escapeQueries = 0;
    screenBuffer.fill(UNWRITTEN);
    renderCells();
    int firstHits = 0;
    for (int y = 0; y < SCREEN_ROWS; ++y)
        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
            const double dx = float((x - 40) / 40.0), dy = float((y - 25) / 25.0);
            const float first = sceneDistanceAt(float(camera.x + 3 * dx), float(camera.y + 3 * dy), camera.z + 3);
            const bool firstHit = first < 0.001f;
            firstHits += firstHit;
            const int i = y * SCREEN_COLUMNS + x;
            EXPECT_EQ(screenBuffer[i], firstHit ? full[i] : MISS) << x << "," << y;
        }
    EXPECT_TRUE(firstHits > 100 && firstHits < CELL_COUNT - 100) << firstHits;
    EXPECT_EQ(fake::escapeQueries, CELL_COUNT - firstHits);  // one query per cut ray, none for the others
}

TEST(RaymarchRenderer, FramesMatchAnIndependentRendering)
{
    // The order picks the scene and, unless a case gives one, the camera.
    const struct {
        const char* what;
        int order;
        double t;
        float view, accent, beat;
        int beats;
        uint64_t hash;
        std::optional<Vector3> camera = {};
    } frames[] = {
        {"foam balls", 6, 20.0, 96.0f, 1.3f, 0, 3, 0x2bf67765f4d808bdull},
        {"spinning cubes on a beat", 4, 12.5, 96.0f, 0.7f, 2.2f, 2, 0x45657ce68cf005e5ull},
        {"foam frame", 31, 33.3, 97.5f, 0, 0, 11, 0x6a6977c1649df60dull},
        {"rod grid on a beat", 19, 50.0, 96.0f, 0, 1.7f, 5, 0x129d654f4977cbb7ull},
        {"rod lattice swollen", 7, 7.7, 96.3f, 2.1f, 0, 0, 0x3441572e4ab6af76ull},
        {"channel cube", 12, 20.0, 96.0f, 0, 0, 0, 0x90ca9b73188200acull},
        // Negative coordinates with no beats yet: colour remainders down to -19.
        {"foam frame, negative octant", 31, 5.0, 96.0f, 0, 0, 0, 0xdc6d4c43b6ae8d55ull, Vector3{-60, -70, -80}},
        // Every hit beyond 1.25 view distances: negative shade and colour indexes.
        {"foam balls, short view", 6, 60.0, 2.0f, 0.5f, 0, 4, 0xcfd52d3df80e7632ull, Vector3{10, -20, 30}},
        {"channel cube, short view", 12, 140.0, 7.5f, 0, 0, 1, 0x90c309901138bcdaull, Vector3{-30, 45, -12}},
    };
    for (const auto& f : frames) {
        setState(0, f.t, {}, f.view, f.accent, f.beat, f.beats);
        demo.musicOrder = f.order;
        applyTimeline();
        if (f.camera) demo.cameraPos = *f.camera;
        renderCells();
        EXPECT_EQ(frameHash(), f.hash) << f.what;
    }
}

}  // namespace
