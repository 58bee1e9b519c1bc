// The fast cell loop against the straightforward one. The demo draws with
// renderCellsFast (frame constants taken once, the exact remainder in the
// folds, scene 2's turn memo, rows shared between threads), and it must give
// the very cells renderCells gives. These tests render frames of every effect
// both ways, with one to four threads, and compare every cell; they check the
// exact remainder bit for bit against fmod, each scene's two instantiations
// point by point, that Escape still cuts rays short on the fast path, and
// that the demo's loop draws what the straightforward loop draws. A rounding
// moved in a fast scene, a frame constant taken from
// the wrong value, a fold that differs from fmod anywhere, a row drawn twice
// or never, or scratch shared between threads shows up here as a cell that
// differs.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "raymarch/fast_march.h"
#include "raymarch/fast_scenes.h"
#include "raymarch/primitives.h"
#include "raymarch/scenes.h"
#include "runtime/cell_frame.h"
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
    {"warp under the jolted second logo", 2, 9.1, 18, 2.9f, 3.0f, 60.0f},
    {"foam balls swelling", 6, 25.3, 50, 2.2f, 0.0f, 97.9f},
    {"cubes at rest (memo path)", 10, 41.9, 83, 0.0f, 0.0f, 97.9f},
    {"cubes, full twist and swell", 27, 108.4, 216, 3.0f, 3.0f, 96.1f},
    {"frame of beams", 31, 126.2, 252, 0.0f, 0.0f, 97.0f},
    {"rods on a beat", 19, 77.7, 155, 0.0f, 2.4f, 97.9f},
    {"rods at rest", 22, 90.2, 180, 0.0f, 0.0f, 97.9f},
    {"rod lattice swelling", 8, 33.1, 66, 3.0f, 0.0f, 97.9f},
    {"channels", 12, 49.5, 99, 0.0f, 0.0f, 97.9f},
    {"no scene, id 7", 12, 3.3, 6, 0.0f, 0.0f, 40.0f, 7},
    {"no scene, id 8", 30, 120.1, 240, 1.0f, 2.0f, 60.0f, 8},
    // View 0: a ray ends at its first sample unless that is a hit.
    {"foam, view 0, camera in a ball", 6, 25.3, 50, 1.0f, 0.0f, 0.0f, 1, true, {10.0f, 10.0f, 10.0f}},
    // Below -500 the folds take fmod's negative remainders.
    {"foam below -500", 6, 0.0, 0, 1.0f, 0.0f, 97.0f, 1, true, {-508.0f, -506.0f, -504.0f}},
    {"cubes below -500", 4, 30.0, 60, 1.0f, 2.0f, 97.0f, 2, true, {-508.0f, -506.0f, -504.0f}},
    {"beams below -500", 31, 30.0, 60, 0.0f, 0.0f, 97.0f, 3, true, {-490.0f, -503.0f, -497.0f}},
    {"rods below -500", 19, 0.0, 0, 0.0f, 2.0f, 97.0f, 4, true, {-503.0f, -485.0f, -490.0f}},
    {"rod lattice below -500", 8, 10.0, 20, 1.0f, 0.0f, 97.0f, 5, true, {-508.0f, -506.0f, -504.0f}},
    {"channels from outside the cube", 12, 7.5, 15, 0.0f, 0.0f, 97.0f, 6, true, {-1010.0f, -560.0f, -505.25f}},
    {"channels across -500", 12, 7.5, 15, 0.0f, 0.0f, 97.0f, 6, true, {-455.0f, -5.0f, -495.0f}},
};

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

// threads 0: the straightforward loop; escapeAt: fake::escapeFromQuery.
ScreenBuffer render(const FrameState& s, int threads, int escapeAt = 0)
{
    setFrame(s);
    fake::escapeFromQuery = escapeAt;
    for (CharInfo& c : screenBuffer) c = SCRIBBLE;
    threads ? renderCellsFast(threads) : renderCells();
    stampOverlays();
    return screenBuffer;
}

// Every cell equal; on failure, how many differ and the first.
::testing::AssertionResult sameCells(const ScreenBuffer& expected, const ScreenBuffer& actual)
{
    int differing = 0, first = -1;
    for (int i = 0; i < CELL_COUNT; ++i)
        if (!(expected[i] == actual[i]) && differing++ == 0) first = i;
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
    EXPECT_EQ(std::count(frame.begin(), frame.end(), SCRIBBLE), 0) << what;
    EXPECT_LT(std::count(frame.begin(), frame.end(), MISS), CELL_COUNT) << what;
}

// The ways the fast loop can march: the scalar lanes, and the vector lanes
// where the processor has them.
std::vector<MarchLanes> laneModes()
{
    if (vectorLanesAvailable()) return {MarchLanes::Scalar, MarchLanes::Vector};
    return {MarchLanes::Scalar};
}
const char* nameOf(MarchLanes mode) { return mode == MarchLanes::Vector ? "vector lanes" : "scalar lanes"; }

class FastCellLoop : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override
    {
        fake::reset();
        chooseMarchLanes(MarchLanes::Auto);
    }
};

TEST_F(FastCellLoop, EveryEffectDrawsTheCellsOfTheStraightforwardLoopWithAnyThreadCount)
{
    // The table, then scene 2 through two orders at small steps of time, the
    // pulses rising and falling, so the memo sees arguments recur.
    std::vector<FrameState> frames(std::begin(FRAMES), std::end(FRAMES));
    for (int i = 0; i < 12; ++i) {
        const double t = 16.0 + 0.37 * i;
        const float beat = float(std::max(0.0, 3.0 - 8.0 * std::fmod(t, 0.5)));
        frames.push_back({"scene 2 sequence", 4 + i / 6, t, int(t / 0.5), 0.25f * float(i % 4), beat, 97.0f});
    }
    std::vector<ScreenBuffer> references;
    for (const FrameState& s : frames) {
        references.push_back(render(s, 0));
        expectAPicture(references.back(), s.what);
    }
    // Each thread count runs through all the frames in turn, so workers and
    // their memos carry over from frame to frame as in the demo; the last
    // pass changes the count from frame to frame (no workers with 1).
    const int changing[] = {3, 2, 1, 4, 2};
    for (MarchLanes mode : laneModes()) {
        ASSERT_EQ(chooseMarchLanes(mode), mode == MarchLanes::Vector);
        for (int threads : {1, 2, 4, 0})
            for (size_t i = 0; i < frames.size(); ++i) {
                const int count = threads ? threads : changing[i % std::size(changing)];
                EXPECT_TRUE(sameCells(references[i], render(frames[i], count)))
                    << frames[i].what << ", " << count << " threads, " << nameOf(mode);
            }
    }
}

TEST_F(FastCellLoop, SharesOfTheRowsDrawnFromTheFrameValuesAloneMakeTheWholeFrame)
{
    // The page's workers: each instance gets the frame's values and draws
    // every n-th row. Each share is drawn after another frame has left its
    // values in demo, so a value the frame values miss shows as differing
    // cells; a share drawing outside its rows leaves no scribble there.
    const int count = int(std::size(FRAMES));
    for (MarchLanes mode : laneModes()) {
        chooseMarchLanes(mode);
        for (int i = 0; i < count; ++i) {
            setFrame(FRAMES[i]);
            const CellFrame values = cellFrameOfDemo();
            renderCellsFast(1);
            const ScreenBuffer whole = screenBuffer;
            for (int shares : {2, 3, 7}) {
                ScreenBuffer stitched;
                stitched.fill(SCRIBBLE);
                for (int first = 0; first < shares; ++first) {
                    setFrame(FRAMES[(i + 1 + first) % count]);
                    useCellFrame(values);
                    screenBuffer.fill(SCRIBBLE);
                    renderRowsFast(first, shares);
                    for (int y = 0; y < SCREEN_ROWS; ++y)
                        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
                            const CharInfo cell = screenBuffer[y * SCREEN_COLUMNS + x];
                            if (y % shares == first) stitched[y * SCREEN_COLUMNS + x] = cell;
                            else ASSERT_EQ(cell, SCRIBBLE) << "row " << y << " drawn by share " << first;
                        }
                }
                EXPECT_TRUE(sameCells(whole, stitched)) << FRAMES[i].what << ", " << shares << " shares, "
                                                        << nameOf(mode);
            }
        }
    }
}

uint64_t bitsOf(double v) { return std::bit_cast<uint64_t>(v); }
uint32_t bitsOf(float v) { return std::bit_cast<uint32_t>(v); }

TEST(ExactRemainder, GivesTheBitsOfFmodAndTheFoldsOfTheLibrary)
{
    // Exact multiples of each period and the floats either side, where the
    // quotient rounds onto a whole number; special values; floats over every
    // exponent up to 2^25; and the sums v + 500 the folds take.
    const double periods[] = {2.0, 20.0, 45.0, 90.0, 30.0, 10.0, 7.0};
    std::vector<double> dividends = {0.0, -0.0, 499.75, 500.25, 16777215.0, 16777218.0, 3.0e9, -0.5, -499.5,
                                     -1.0e6, HUGE_VAL, -HUGE_VAL, NAN, 0x1p-149, 0x1p-126};
    for (double p : periods)
        for (int k = 0; k <= 200000; k += (k < 200 ? 1 : 997))
            for (float m = float(k * p); const double a : {m, std::nextafter(m, 0.0f), std::nextafter(m, 1e30f), -m})
                dividends.push_back(a);
    std::mt19937 random(13);
    std::uniform_real_distribution<float> nearCentre(-700.0f, 700.0f);
    for (int i = 0; i < 300000; ++i) {
        dividends.push_back(std::bit_cast<float>(uint32_t(random()) % 0x4C000000u));
        dividends.push_back(float(double(nearCentre(random)) + 500.0));
    }
    for (double p : periods)
        for (double a : dividends) {
            const double expected = std::fmod(a, p), actual = exactRemainder(a, p);
            ASSERT_TRUE(std::isnan(expected) ? std::isnan(actual) : bitsOf(expected) == bitsOf(actual))
                << a << " rem " << p << ": " << expected << " vs " << actual;
        }
    // The folds above and below -500, and the middle grid's fold taken from
    // the coarse one, at floats and their neighbours.
    for (float v = -2500.0f; v < 2500.0f; v += 0.0625f)
        for (float w : {v, std::nextafter(v, -3000.0f), std::nextafter(v, 3000.0f)}) {
            for (double offset : {500.0, 500.25})
                for (double p : {2.0, 20.0, 45.0, 90.0, 30.0, 10.0})
                    ASSERT_EQ(bitsOf(fold(w, p, offset)), bitsOf(foldExact(w, p, offset))) << w << " " << p;
            const TwoFolds both = fastscene::ExactPath::foldTwice(w, 90.0, 30.0, 500.0);
            ASSERT_EQ(bitsOf(fold(w, 90.0)), bitsOf(both.outer)) << w;
            ASSERT_EQ(bitsOf(fold(w, 30.0)), bitsOf(both.inner)) << w;
        }
}

TEST(FastScenes, EachSceneGivesTheLibraryPathsBitsAndSideValuesAtAnyPoint)
{
    // Points near the centre, below -500 where the folds stop repeating, and
    // far out; the pulses on and off; every other point shares the previous
    // samplePoint, as a normal's samples do, so the memo is warm.
    using Fast = float (*)(CellContext&, float, float, float);
    const Fast fast[] = {fastscene::scene1, fastscene::scene2, fastscene::scene3,
                         fastscene::scene4, fastscene::scene5, fastscene::scene6};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> near(-1200.0f, 1200.0f), far(-3.0e5f, 3.0e5f);
    resetDemoState();
    for (const float pulse : {0.0f, 1.7f}) {
        relaxedStore(demo.beatPulse, pulse);
        relaxedStore(demo.accentPulse, 2.0f * pulse);
        demo.timeSec = 41.3 + pulse;
        for (int s = 0; s < 6; ++s) {
            CellContext cell{};
            for (int i = 0; i < 20000; ++i) {
                auto& spread = i % 4 == 3 ? far : near;
                const Vector3 p = {spread(random), spread(random), spread(random)};
                if (i % 2 == 0) demo.samplePoint = cell.samplePoint = p;
                demo.hitMaterial = cell.hitMaterial = -1;
                ASSERT_EQ(bitsOf(sceneTable[s].distance(p.x, p.y, p.z)), bitsOf(fast[s](cell, p.x, p.y, p.z)))
                    << "scene " << s + 1 << " at " << p.x << " " << p.y << " " << p.z;
                ASSERT_EQ(demo.hitMaterial, cell.hitMaterial) << "scene " << s + 1;
            }
        }
    }
}

TEST_F(FastCellLoop, EscapeOnTheFastPathCutsRaysShortAsOnTheStraightforwardOne)
{
    // Held from the first query, each ray ends at its first sample unless it
    // is a hit (foam balls: some are), so both paths draw the same cells,
    // mostly defaults, with the same number of queries.
    const FrameState foam = {"foam balls", 6, 25.3, 50, 2.2f, 0.0f, 97.9f};
    const ScreenBuffer full = render(foam, 0), cut = render(foam, 0, 1);
    const int cutQueries = fake::escapeQueries;
    int defaults = 0;
    for (int i = 0; i < CELL_COUNT; ++i) defaults += cut[i] == MISS && !(full[i] == MISS);
    EXPECT_GT(defaults, CELL_COUNT / 2);
    expectAPicture(cut, "foam balls cut short");
    // Pressed in the middle of a frame of the channels (long rays): cells
    // finished before are complete, later rays end at their first miss.
    const FrameState channels = {"channels", 12, 49.5, 99, 0.0f, 0.0f, 97.9f};
    const ScreenBuffer channelsFull = render(channels, 1);
    const int fullQueries = fake::escapeQueries;
    ASSERT_GT(fullQueries, 20000);
    for (MarchLanes mode : laneModes()) {
        chooseMarchLanes(mode);
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(std::string(nameOf(mode)) + ", " + std::to_string(threads) + " threads");
            EXPECT_TRUE(sameCells(cut, render(foam, threads, 1)));
            EXPECT_EQ(fake::escapeQueries, cutQueries);
            const ScreenBuffer pressed = render(channels, threads, fullQueries / 3);
            int cutShort = 0;
            for (int i = 0; i < CELL_COUNT; ++i) {
                ASSERT_TRUE(pressed[i] == channelsFull[i] || pressed[i] == MISS) << "cell " << i;
                cutShort += pressed[i] == MISS && !(channelsFull[i] == MISS);
            }
            EXPECT_GT(cutShort, CELL_COUNT / 4);
            // Past the press each ray asks at most once.
            EXPECT_LE(fake::escapeQueries, fullQueries / 3 + CELL_COUNT);
        }
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
    for (int frame = 0; frame < 2; ++frame) {
        demo.timeSec = double(clock[frame] - 1000) * double(0.001f);
        demo.musicOrder = frame * 12;
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
