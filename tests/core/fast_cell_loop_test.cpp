// The fast cell loop against the straightforward one. The demo draws with
// renderCellsFast (frame constants taken once, the exact remainder in the
// folds, scene 2's turn memo, rows shared between threads), and it must give
// the very cells renderCells gives. These tests render frames of every effect
// both ways, with one to four threads, and compare every cell; they check the
// exact remainder bit for bit against fmod, each scene's two instantiations
// point by point, that Escape still cuts rays short on the fast path, and
// that the demo's loop draws what the straightforward loop draws. A rounding moved in a fast scene, a frame constant taken from
// the wrong value, a fold that differs from fmod anywhere, a row drawn twice
// or never, or scratch shared between threads shows up here as a cell that
// differs.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "fake_platform.h"
#include "raymarch/fast_scenes.h"
#include "raymarch/primitives.h"
#include "raymarch/scenes.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"

namespace {

constexpr CharInfo MISS{219, 0};
constexpr CharInfo SCRIBBLE{0x1234, 0x5678};  // no effect draws this

// One frame: the order and time go through the timeline and the view-distance
// rule from `view`; effect and camera may then be forced, as the workbench's
// frame command does.
struct FrameState {
    const char* what;
    int order;
    double t;
    int beats;
    float accent, beat, view;
    int effect = -1;  // -1: the timeline's
    bool forceCamera = false;
    Vector3 camera{0, 0, 0};
};

const FrameState FRAMES[] = {
    {"plasma, first order, pattern below zero", 0, 2.0, 0, 0.0f, 0.0f, 0.0f},
    {"plasma under the first logos", 1, 5.3, 10, 1.2f, 2.5f, 20.0f},
    {"plasma, negative odd order", -3, 61.7, 123, 0.0f, 0.0f, 0.0f},
    {"plasma at the end, view falling", 39, 157.9, 315, 0.3f, 0.0f, 96.5f},
    {"warp under the jolted second logo", 2, 9.1, 18, 2.9f, 3.0f, 60.0f},
    {"warp under the third logo", 3, 14.6, 29, 0.4f, 1.1f, 96.0f},
    {"warp alone", 24, 97.3, 194, 0.0f, 0.0f, 97.0f},
    {"foam balls swelling", 6, 25.3, 50, 2.2f, 0.0f, 97.9f},
    {"foam balls at rest", 25, 101.0, 202, 0.0f, 0.0f, 99.2f},
    {"cubes twisted by the beat", 4, 16.2, 32, 0.5f, 1.6f, 97.9f},
    {"cubes at rest (memo path)", 10, 41.9, 83, 0.0f, 0.0f, 97.9f},
    {"cubes, full twist and swell", 27, 108.4, 216, 3.0f, 3.0f, 96.1f},
    {"frame of beams", 31, 126.2, 252, 0.0f, 0.0f, 97.0f},
    {"frame of beams, view rising", 38, 153.3, 306, 0.0f, 0.0f, 96.0f},
    {"rods on a beat", 19, 77.7, 155, 0.0f, 2.4f, 97.9f},
    {"rods at rest", 22, 90.2, 180, 0.0f, 0.0f, 97.9f},
    {"rod lattice swelling", 8, 33.1, 66, 3.0f, 0.0f, 97.9f},
    {"channels", 12, 49.5, 99, 0.0f, 0.0f, 97.9f},
    {"channels, second visit", 29, 118.8, 237, 0.0f, 0.0f, 97.9f},
    {"no scene, id 7", 12, 3.3, 6, 0.0f, 0.0f, 40.0f, 7},
    {"no scene, id 8, zero view", 12, 3.3, 6, 0.0f, 0.0f, 0.0f, 8},
    // Below -500 the folds take fmod's negative remainders.
    {"foam below -500", 6, 0.0, 0, 1.0f, 0.0f, 97.0f, 1, true, {-508.0f, -506.0f, -504.0f}},
    {"cubes below -500", 4, 30.0, 60, 1.0f, 2.0f, 97.0f, 2, true, {-508.0f, -506.0f, -504.0f}},
    {"beams below -500", 31, 30.0, 60, 0.0f, 0.0f, 97.0f, 3, true, {-490.0f, -503.0f, -497.0f}},
    {"rods below -500", 19, 0.0, 0, 0.0f, 2.0f, 97.0f, 4, true, {-503.0f, -485.0f, -490.0f}},
    {"rod lattice below -500", 8, 10.0, 20, 1.0f, 0.0f, 97.0f, 5, true, {-508.0f, -506.0f, -504.0f}},
    {"channels from outside the cube", 12, 7.5, 15, 0.0f, 0.0f, 97.0f, 6, true, {-1010.0f, -560.0f, -505.25f}},
    {"channels across -500", 12, 7.5, 15, 0.0f, 0.0f, 97.0f, 6, true, {-455.0f, -5.0f, -495.0f}},
};

void scribble()
{
    for (CharInfo& c : screenBuffer) c = SCRIBBLE;
}

void setFrame(const FrameState& s)
{
    fake::reset();
    demo.timeSec = s.t;
    demo.musicOrder = s.order;
    relaxedStore(demo.beatCount, s.beats);
    demo.lastBeatCount = s.beats - 1;  // the logos jump to new offsets
    relaxedStore(demo.accentPulse, s.accent);
    relaxedStore(demo.beatPulse, s.beat);
    demo.viewDistance = s.view;
    applyTimeline();
    updateViewDistance();
    if (s.effect >= 0) demo.effectId = s.effect;
    if (s.forceCamera) demo.cameraPos = s.camera;
}

ScreenBuffer renderReference(const FrameState& s)
{
    setFrame(s);
    scribble();
    renderCells();
    stampOverlays();
    return screenBuffer;
}

// threads 0: the straightforward loop.
ScreenBuffer renderFast(const FrameState& s, int threads)
{
    setFrame(s);
    scribble();
    renderCellsFast(threads);
    stampOverlays();
    return screenBuffer;
}

// Every cell equal; on failure, how many differ and the first.
::testing::AssertionResult sameCells(const ScreenBuffer& expected, const ScreenBuffer& actual)
{
    int differing = 0, first = -1;
    for (int i = 0; i < CELL_COUNT; ++i)
        if (!(expected[i] == actual[i])) {
            if (first < 0) first = i;
            ++differing;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << differing << " cells differ, first at column " << first % SCREEN_COLUMNS << " row "
           << first / SCREEN_COLUMNS << ": " << expected[first].glyph << "/" << expected[first].attr << " vs "
           << actual[first].glyph << "/" << actual[first].attr;
}

// The states draw real pictures: most cells are drawn and the effect's cells
// are not all alike, so a comparison of two blank frames cannot pass for one.
void expectAPicture(const ScreenBuffer& frame, const char* what)
{
    int misses = 0, scribbles = 0;
    for (const CharInfo& c : frame) {
        misses += c == MISS;
        scribbles += c == SCRIBBLE;
    }
    EXPECT_EQ(scribbles, 0) << what;
    EXPECT_LT(misses, CELL_COUNT) << what;
}

class FastCellLoop : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override { fake::reset(); }
};

TEST_F(FastCellLoop, EveryEffectDrawsTheCellsOfTheStraightforwardLoopWithAnyThreadCount)
{
    std::vector<ScreenBuffer> references;
    for (const FrameState& s : FRAMES) {
        references.push_back(renderReference(s));
        expectAPicture(references.back(), s.what);
    }
    // Each thread count runs through all the frames in turn, so workers and
    // their memos carry over from frame to frame as in the demo; the last
    // pass changes the count from frame to frame (no workers with 1).
    const int changing[] = {3, 2, 1, 4, 2};
    for (int threads : {1, 2, 4, 0}) {
        for (size_t i = 0; i < std::size(FRAMES); ++i) {
            const int count = threads ? threads : changing[i % std::size(changing)];
            EXPECT_TRUE(sameCells(references[i], renderFast(FRAMES[i], count)))
                << FRAMES[i].what << ", " << count << " threads";
        }
    }
}

TEST_F(FastCellLoop, ASequenceOfFramesMatchesFrameForFrame)
{
    // Scene 2 through two orders at small steps of time, the pulses rising
    // and falling: the memo sees the same arguments recur across frames.
    for (int i = 0; i < 12; ++i) {
        const double t = 16.0 + 0.37 * i;
        const float beat = float(std::max(0.0, 3.0 - 8.0 * std::fmod(t, 0.5)));
        const FrameState s{"scene 2 sequence", 4 + i / 6, t, int(t / 0.5), 0.25f * float(i % 4), beat, 97.0f};
        EXPECT_TRUE(sameCells(renderReference(s), renderFast(s, 2))) << "frame " << i;
    }
}

uint64_t bitsOf(double v) { return std::bit_cast<uint64_t>(v); }

TEST(ExactRemainder, GivesTheBitsOfFmodForEveryKindOfDividend)
{
    const double periods[] = {2.0, 20.0, 45.0, 90.0, 30.0, 10.0, 7.0};
    std::vector<double> dividends = {0.0, -0.0, 1.0, 499.75, 500.0, 500.25, 1000.0, 16777215.0, 16777216.0,
                                     16777218.0, 3.0e9, -1.0, -0.5, -20.0, -45.0, -499.5, -510.0, -1.0e6,
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN(),
                                     double(std::numeric_limits<float>::denorm_min()),
                                     double(std::numeric_limits<float>::min())};
    // Exact multiples and the floats on either side of them, where the
    // quotient rounds onto the whole number from below or above.
    for (double p : periods)
        for (int k = 0; k <= 200000; k += (k < 200 ? 1 : 997)) {
            const float m = float(k * p);
            dividends.push_back(m);
            dividends.push_back(std::nextafter(m, 0.0f));
            dividends.push_back(std::nextafter(m, 1.0e30f));
            dividends.push_back(-double(m));
        }
    // Floats spread over every exponent up to 2^25, and the sums v + 500 of
    // the folds for v around the centre of the scenes.
    std::mt19937 random(13);
    std::uniform_int_distribution<uint32_t> anyBits(0, 0x4C000000u);
    for (int i = 0; i < 300000; ++i) dividends.push_back(double(std::bit_cast<float>(anyBits(random))));
    std::uniform_real_distribution<float> nearCentre(-700.0f, 700.0f);
    for (int i = 0; i < 300000; ++i) dividends.push_back(double(float(double(nearCentre(random)) + 500.0)));

    int checked = 0;
    for (double p : periods)
        for (double a : dividends) {
            const double expected = std::fmod(a, p);
            const double actual = exactRemainder(a, p);
            if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(actual)) << a << " rem " << p;
            } else {
                ASSERT_EQ(bitsOf(expected), bitsOf(actual))
                    << a << " rem " << p << ": " << expected << " vs " << actual;
            }
            ++checked;
        }
    EXPECT_GT(checked, 3000000);
}

TEST(ExactRemainder, FoldsLikeTheLibraryFoldAboveAndBelowMinus500)
{
    const double offsets[] = {500.0, 500.25};
    const double periods[] = {2.0, 20.0, 45.0, 90.0, 30.0, 10.0};
    for (double offset : offsets)
        for (double p : periods)
            for (float v = -1200.0f; v < 1200.0f; v += 0.0625f) {
                for (float w : {v, std::nextafter(v, -2000.0f), std::nextafter(v, 2000.0f)}) {
                    const float a = fold(w, p, offset), b = foldExact(w, p, offset);
                    ASSERT_EQ(std::bit_cast<uint32_t>(a), std::bit_cast<uint32_t>(b))
                        << w << " " << p << " " << offset;
                }
            }
}

TEST(ExactRemainder, TheMiddleGridsFoldTakenFromTheCoarseOneIsTheLibraryFold)
{
    for (float v = -2500.0f; v < 2500.0f; v += 0.03125f) {
        for (float w : {v, std::nextafter(v, -3000.0f), std::nextafter(v, 3000.0f)}) {
            const TwoFolds both = fastscene::ExactPath::foldTwice(w, 90.0, 30.0, 500.0);
            ASSERT_EQ(std::bit_cast<uint32_t>(fold(w, 90.0)), std::bit_cast<uint32_t>(both.outer)) << w;
            ASSERT_EQ(std::bit_cast<uint32_t>(fold(w, 30.0)), std::bit_cast<uint32_t>(both.inner)) << w;
        }
    }
}

TEST(FastScenes, EachSceneGivesTheLibraryPathsBitsAndSideValuesAtAnyPoint)
{
    // Points near the centre, below -500 where the folds stop repeating, and
    // far out; the pulses on and off; the memo warm from the previous point.
    using Fast = float (*)(CellContext&, float, float, float);
    const Fast fast[] = {fastscene::scene1, fastscene::scene2, fastscene::scene3,
                         fastscene::scene4, fastscene::scene5, fastscene::scene6};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> near(-1200.0f, 1200.0f), far(-3.0e5f, 3.0e5f);
    resetDemoState();
    int checked = 0;
    for (const float pulse : {0.0f, 1.7f}) {
        relaxedStore(demo.beatPulse, pulse);
        relaxedStore(demo.accentPulse, 2.0f * pulse);
        demo.timeSec = 41.3 + pulse;
        for (int s = 0; s < 6; ++s) {
            CellContext cell{};
            for (int i = 0; i < 20000; ++i) {
                auto& spread = i % 4 == 3 ? far : near;
                const Vector3 p = {spread(random), spread(random), spread(random)};
                // Every other point shares the previous samplePoint, as a
                // normal's samples do.
                if (i % 2 == 0) demo.samplePoint = cell.samplePoint = p;
                demo.hitMaterial = cell.hitMaterial = -1;
                const float expected = sceneTable[s].distance(p.x, p.y, p.z);
                const float actual = fast[s](cell, p.x, p.y, p.z);
                ASSERT_EQ(std::bit_cast<uint32_t>(expected), std::bit_cast<uint32_t>(actual))
                    << "scene " << s + 1 << " at " << p.x << " " << p.y << " " << p.z;
                ASSERT_EQ(demo.hitMaterial, cell.hitMaterial) << "scene " << s + 1;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 2 * 6 * 20000);
}

TEST_F(FastCellLoop, EscapeHeldFromTheStartLeavesEveryRayThatMissesAtItsFirstSample)
{
    // Escape from the first query: each ray ends at its first sample unless
    // that sample is a hit, so the cells are the same on both paths and for
    // any number of threads, and the frame is mostly defaults.
    const FrameState s = FRAMES[7];  // foam balls: some first samples in solid
    const ScreenBuffer full = renderReference(s);
    setFrame(s);
    fake::escapeFromQuery = 1;
    scribble();
    renderCells();
    stampOverlays();
    const ScreenBuffer cut = screenBuffer;
    const int referenceQueries = fake::escapeQueries;
    int defaults = 0, drawn = 0;
    for (int i = 0; i < CELL_COUNT; ++i) {
        if (cut[i] == MISS && !(full[i] == MISS)) ++defaults;
        if (!(cut[i] == MISS)) ++drawn;
    }
    EXPECT_GT(defaults, CELL_COUNT / 2);
    EXPECT_GT(drawn, 0);

    for (int threads : {1, 2, 4}) {
        setFrame(s);
        fake::escapeFromQuery = 1;
        scribble();
        renderCellsFast(threads);
        stampOverlays();
        EXPECT_TRUE(sameCells(cut, screenBuffer)) << threads << " threads";
        EXPECT_EQ(fake::escapeQueries, referenceQueries) << threads << " threads";
    }
}

TEST_F(FastCellLoop, EscapePressedDuringAFrameCutsTheRestShort)
{
    // Escape from a query in the middle of the frame: cells finished before
    // it are complete, later rays end at their first sample that misses. On
    // any path every cell is then either the full frame's or the default,
    // and many are the default.
    const FrameState s = FRAMES[17];  // channels: long rays, many queries
    const ScreenBuffer full = renderFast(s, 1);
    const int queriesForFullFrame = fake::escapeQueries;
    ASSERT_GT(queriesForFullFrame, 20000);
    for (int threads : {1, 2, 4}) {
        setFrame(s);
        fake::escapeFromQuery = queriesForFullFrame / 3;
        scribble();
        renderCellsFast(threads);
        int cutShort = 0;
        for (int i = 0; i < CELL_COUNT; ++i) {
            ASSERT_TRUE(screenBuffer[i] == full[i] || screenBuffer[i] == MISS)
                << "cell " << i << ", " << threads << " threads";
            cutShort += screenBuffer[i] == MISS && !(full[i] == MISS);
        }
        EXPECT_GT(cutShort, CELL_COUNT / 4) << threads << " threads";
        // Past the press each ray asks at most once.
        EXPECT_LE(fake::escapeQueries, queriesForFullFrame / 3 + CELL_COUNT) << threads << " threads";
    }
}

TEST_F(FastCellLoop, TheDemoLoopDrawsWhatTheStraightforwardLoopDraws)
{
    // A plasma frame at t = 5.4 raises the view distance past 96; a frame of
    // the channels at t = 49.5 follows; the final order ends the loop without
    // a key query. The same steps with the straightforward loop must give the
    // same two pictures.
    fake::clockScript = {1000, 6400, 50500, 51000};
    fake::orderScript = {0, 12, 39};
    runDemo();
    ASSERT_EQ(fake::presented.size(), 3u);
    const std::vector<ScreenBuffer> shown = fake::presented;

    fake::reset();
    const uint32_t clock[] = {6400, 50500};
    const int orders[] = {0, 12};
    for (int frame = 0; frame < 2; ++frame) {
        demo.timeSec = double(clock[frame] - 1000) * double(0.001f);
        demo.musicOrder = orders[frame];
        applyTimeline();
        updateViewDistance();
        renderCells();
        stampOverlays();
        decayPulses();
        EXPECT_TRUE(sameCells(screenBuffer, shown[size_t(frame)])) << "frame " << frame;
    }
    EXPECT_EQ(demo.effectId, 6);
    EXPECT_GE(demo.viewDistance, 96.0f);
    expectAPicture(shown[1], "channels in the demo loop");
}

}  // namespace
