// The generated soundtrack against the demo's timeline. The build writes
// GLIMVEX.oXM on every build, so composing must not depend on the clock,
// memory addresses or unseeded noise. Played through the music layer's
// headless scan (the tick loop and trigger detection of playback), the order
// position picks the scene, instruments 2 and 5 drive the beat flashes and 3,
// 4 and 8 the accents. These tests catch a generator that drifts between runs
// or a stale built song, a score that lost orders, skips or ends too early or
// too late, an intro too short for the view distance to open up, a section
// where the picture stops pulsing, accents missing where the scenes change, an
// instrument renumbering that cuts the visuals off from the music, a mix
// that clips, leaves an order silent or piles its energy into the sub-bass,
// an instrument that plays on nearly every row, and an ending that is cut
// off: the last accent and the ring-out belong before order 39, where the
// demo stops, and every voice must be let go.
#include "music/song_scan.h"
#include "song/compose.h"
#include "song/instruments.h"
#include "song/spectrum.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

namespace {

constexpr double SCAN_LIMIT_SECONDS = 600;      // well past any acceptable length
constexpr double FINAL_EARLIEST = 180;          // order 39 between 3 ...
constexpr double FINAL_LATEST = 300;            // ... and 5 minutes
constexpr double INTRO_MIN_SECONDS = 6.0;       // orders 0 to 3, for the view distance
constexpr double MAX_BEAT_GAP = 2.0;            // seconds between beats, orders 2 to 38
constexpr int FIRST_BEAT_ORDER = 2, LAST_BEAT_ORDER = 38;
constexpr double ACCENT_WINDOW = 0.05;          // an accent "at" an order start: within its first row
const int SCENE_CHANGES[] = {2, 4, 6, 7, 10, 11, 19, 24, 25, 27, 29, 31, 39};
constexpr double PEAK_LIMIT = 0.97;             // of full scale: headroom for other mixers' rounding
constexpr double SILENCE_FLOOR_DB = -40.0;      // RMS below this in an order: a section went missing
constexpr double LOW_BAND_HZ = 60, LOW_BAND_MAX_SHARE = 0.20;  // more below 60 Hz booms
constexpr double ROW_SHARE_MAX = 0.65;          // of all rows, for the busiest instrument
constexpr double LAST_ACCENT_LEAD = 1.0;        // seconds between the last accent and order 39
constexpr double TAIL_SECONDS = 0.1, TAIL_MAX_DB = -60.0;  // the song ends in silence
constexpr double MAX_RENDER_SECONDS = 600;
const char* const BUILT_SONG = "GLIMVEX.oXM";   // written by the build into the test's working folder

const std::vector<uint8_t>& songBytes()
{
    static const std::vector<uint8_t> bytes = xm::serialise(song::composeSong());
    return bytes;
}

// The song scanned once through the music layer.
const SongScan& scan()
{
    static const SongScan result = [] {
        // Each test runs in its own process, side by side with the others:
        // every process writes its own copy.
        std::string path = testing::TempDir() + "soundtrack_test_" + std::to_string(getpid()) + ".xm";
        EXPECT_TRUE(xm::saveModule(song::composeSong(), path));
        SongScan s = scanSong(path, SCAN_LIMIT_SECONDS);
        std::remove(path.c_str());
        return s;
    }();
    return result;
}

// The order changes in the sequence they play; in a song that plays its
// orders in sequence, entry o is the start of order o.
std::vector<SongEvent> orderChanges()
{
    std::vector<SongEvent> changes;
    for (const SongEvent& e : scan().events)
        if (!e.isTrigger) changes.push_back(e);
    return changes;
}

bool isBeat(int i) { return i == song::INS_KICK || i == song::INS_SNARE; }
bool isAccent(int i) { return i == song::INS_CRASH || i == song::INS_STAB || i == song::INS_HIT; }

}  // namespace

TEST(Soundtrack, ComposesTheSameBytesAsTheBuiltSong)
{
    EXPECT_EQ(xm::serialise(song::composeSong()), songBytes());
    std::ifstream built(BUILT_SONG, std::ios::binary);
    if (!built) GTEST_SKIP() << "no " << BUILT_SONG << " in the working folder to compare with";
    std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(built)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(onDisk == songBytes()) << "the song the build wrote is not the song the composer makes now";
}

TEST(Soundtrack, OrdersRunInSequenceWithTheIntroAndEndingInTime)
{
    ASSERT_TRUE(scan().loaded);
    std::vector<SongEvent> orders = orderChanges();
    ASSERT_GE(orders.size(), size_t(song::ORDER_COUNT));
    for (int o = 0; o < song::ORDER_COUNT; ++o) EXPECT_EQ(orders[o].value, o) << "the song skips or jumps";
    EXPECT_GE(orders[song::FINAL_ORDER].time, FINAL_EARLIEST);
    EXPECT_LE(orders[song::FINAL_ORDER].time, FINAL_LATEST);
    EXPECT_GE(orders[4].time, INTRO_MIN_SECONDS) << "orders 0 to 3 are over too soon";
}

TEST(Soundtrack, TheVisualInstrumentsPlayBeatsKeepComingAndAccentsMarkTheScenes)
{
    std::set<int> triggered;
    for (const SongEvent& e : scan().events)
        if (e.isTrigger) triggered.insert(e.value);
    for (int instrument : {song::INS_KICK, song::INS_CRASH, song::INS_STAB, song::INS_SNARE, song::INS_HIT})
        EXPECT_TRUE(triggered.count(instrument)) << "instrument " << instrument << " never plays";

    std::vector<SongEvent> orders = orderChanges();
    ASSERT_GE(orders.size(), size_t(song::ORDER_COUNT));
    std::vector<double> beats = {orders[FIRST_BEAT_ORDER].time};
    double end = orders[LAST_BEAT_ORDER + 1].time;
    for (const SongEvent& e : scan().events)
        if (e.isTrigger && isBeat(e.value) && e.time > beats.front() && e.time < end) beats.push_back(e.time);
    beats.push_back(end);
    for (size_t i = 1; i < beats.size(); ++i)
        EXPECT_LE(beats[i] - beats[i - 1], MAX_BEAT_GAP) << "no beat after " << beats[i - 1] << " s";

    for (int order : SCENE_CHANGES) {
        double start = orders[order].time;
        EXPECT_TRUE(std::any_of(scan().events.begin(), scan().events.end(), [&](const SongEvent& e) {
            return e.isTrigger && isAccent(e.value) && e.time >= start && e.time < start + ACCENT_WINDOW;
        })) << "no accent as order " << order << " begins";
    }
}

TEST(Soundtrack, NoInstrumentPlaysOnNearlyEveryRow)
{
    // A note struck on a row counts; a glide to a new pitch does not.
    xm::Module m = song::composeSong();
    std::map<int, int> rowsWithNote;
    int rows = 0;
    std::vector<int> current(size_t(m.channels), 0);
    for (uint8_t index : m.orders) {
        const xm::Pattern& p = m.patterns[index];
        for (int row = 0; row < p.rows; ++row, ++rows) {
            std::set<int> struck;
            for (int ch = 0; ch < p.channels; ++ch) {
                const xm::Cell& c = p.at(row, ch);
                if (c.instrument) current[size_t(ch)] = c.instrument;
                if (c.note >= 1 && c.note <= xm::NOTE_COUNT && c.effect != xm::FX_TONE_PORTA) struck.insert(current[size_t(ch)]);
            }
            for (int i : struck) rowsWithNote[i]++;
        }
    }
    for (const auto& [instrument, count] : rowsWithNote)
        EXPECT_LE(double(count) / rows, ROW_SHARE_MAX) << "instrument " << instrument << " never rests";
}

TEST(Soundtrack, TheLastAccentComesASecondBeforeTheDemoStops)
{
    std::vector<SongEvent> orders = orderChanges();
    ASSERT_GE(orders.size(), size_t(song::ORDER_COUNT));
    double stop = orders[song::FINAL_ORDER].time, last = 0;
    for (const SongEvent& e : scan().events)
        if (e.isTrigger && isAccent(e.value) && e.time < stop) last = std::max(last, e.time);
    EXPECT_GE(stop - last, LAST_ACCENT_LEAD) << "the final hit would be cut off";
}

TEST(Soundtrack, PlaysWithoutClippingOrASilentOrderAndRingsOutToSilence)
{
    // Rendered with libxmp's default mixer, which the music layer plays through.
    xmp_context ctx = xmp_create_context();
    std::vector<uint8_t> bytes = songBytes();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
    ASSERT_EQ(xmp_start_player(ctx, 44100, 0), 0);
    std::map<int, std::pair<double, long>> power;  // per order: sum of squares, samples
    std::vector<float> mono;
    double peak = 0;
    xmp_frame_info fi{};
    while (fi.time < MAX_RENDER_SECONDS * 1000 && xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &fi);
        if (fi.loop_count > 0) break;
        const int16_t* pcm = static_cast<const int16_t*>(fi.buffer);
        for (int i = 0; i < fi.buffer_size / int(sizeof(int16_t)); ++i) {
            double v = pcm[i] / 32768.0;
            peak = std::max(peak, std::fabs(v));
            power[fi.pos].first += v * v;
            power[fi.pos].second++;
            if (i % 2) mono.push_back(float(0.5 * (pcm[i - 1] + pcm[i]) / 32768.0));
        }
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    EXPECT_LT(peak, PEAK_LIMIT);
    ASSERT_EQ(int(power.size()), song::ORDER_COUNT);
    for (const auto& [order, p] : power)
        EXPECT_TRUE(order == song::FINAL_ORDER || 10 * std::log10(p.first / p.second + 1e-20) > SILENCE_FLOOR_DB)
            << "order " << order << " is nearly silent";
    EXPECT_LE(spectrum::shareBelow(mono, 44100, LOW_BAND_HZ), LOW_BAND_MAX_SHARE);

    size_t tail = size_t(TAIL_SECONDS * 44100);
    ASSERT_GT(mono.size(), tail);
    double tailPower = 0;
    for (size_t i = mono.size() - tail; i < mono.size(); ++i) tailPower += double(mono[i]) * mono[i];
    EXPECT_LT(10 * std::log10(tailPower / double(tail) + 1e-20), TAIL_MAX_DB) << "a voice is never released";
}
