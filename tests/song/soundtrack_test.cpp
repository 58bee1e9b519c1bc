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
// demo stops, and every voice must be let go. The mix must balance its
// energy across the spectrum the way music people make does (no fizzy top,
// no missing floor) and must not click where notes start.
#include "music/song_scan.h"
#include "song/clicks.h"
#include "song/compose.h"
#include "song/instruments.h"
#include "song/reference_mix.h"
#include "song/spectrum.h"
#include "song/synth.h"

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
constexpr double ACCENT_WINDOW = 2.5 / song::SONG_BPM;  // an accent "at" an order start: on its first tick
const int SCENE_CHANGES[] = {2, 4, 6, 7, 10, 11, 19, 24, 25, 27, 29, 31, 39};
constexpr double PEAK_LIMIT = 0.97;             // of full scale: headroom for other mixers' rounding
constexpr double SILENCE_FLOOR_DB = -40.0;      // RMS below this in an order: a section went missing
constexpr double LOW_BAND_HZ = 60, LOW_BAND_MAX_SHARE = 0.20;  // more below 60 Hz booms
constexpr double ROW_SHARE_MAX = 0.65;          // of all rows, for the busiest instrument
constexpr double LAST_ACCENT_LEAD = 1.0;        // seconds between the last accent and order 39
constexpr double TAIL_SECONDS = 0.1, TAIL_MAX_DB = -60.0;  // the song ends in silence
constexpr double MAX_RENDER_SECONDS = 600;
constexpr int MAX_BANDS_OUTSIDE = 4;            // third-octave bands outside the references' 10th-90th percentiles
constexpr double MAX_BAND_EXCESS_DB = 3.0;      // ... and by how much at most
constexpr double RAMP_SECONDS = 0.0005;         // a sample may rise from zero no faster than this ramp
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

// The song rendered once with libxmp's default mixer at 44.1 kHz, which the
// music layer plays through.
struct Mix {
    std::vector<float> left, right, mono;
    std::map<int, std::pair<double, long>> power;  // per order: sum of squares, samples
    double peak = 0;
};

const Mix& mix()
{
    static const Mix m = [] {
        Mix r;
        xmp_context ctx = xmp_create_context();
        std::vector<uint8_t> bytes = songBytes();
        if (xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())) != 0 || xmp_start_player(ctx, 44100, 0) != 0) {
            xmp_free_context(ctx);
            return r;
        }
        xmp_frame_info fi{};
        while (fi.time < MAX_RENDER_SECONDS * 1000 && xmp_play_frame(ctx) == 0) {
            xmp_get_frame_info(ctx, &fi);
            if (fi.loop_count > 0) break;
            const int16_t* pcm = static_cast<const int16_t*>(fi.buffer);
            for (int i = 0; i + 1 < fi.buffer_size / int(sizeof(int16_t)); i += 2) {
                double l = pcm[i] / 32768.0, rr = pcm[i + 1] / 32768.0;
                r.peak = std::max({r.peak, std::fabs(l), std::fabs(rr)});
                r.power[fi.pos].first += l * l + rr * rr;
                r.power[fi.pos].second += 2;
                r.left.push_back(float(l));
                r.right.push_back(float(rr));
                r.mono.push_back(float(0.5 * (l + rr)));
            }
        }
        xmp_end_player(ctx);
        xmp_release_module(ctx);
        xmp_free_context(ctx);
        return r;
    }();
    return m;
}

TEST(Soundtrack, PlaysWithoutClippingOrASilentOrderAndRingsOutToSilence)
{
    const Mix& m = mix();
    ASSERT_FALSE(m.mono.empty()) << "libxmp does not play the song";
    EXPECT_LT(m.peak, PEAK_LIMIT);
    ASSERT_EQ(int(m.power.size()), song::ORDER_COUNT);
    for (const auto& [order, p] : m.power)
        EXPECT_TRUE(order == song::FINAL_ORDER || 10 * std::log10(p.first / p.second + 1e-20) > SILENCE_FLOOR_DB)
            << "order " << order << " is nearly silent";
    EXPECT_LE(spectrum::shareBelow(m.mono, 44100, LOW_BAND_HZ), LOW_BAND_MAX_SHARE);

    size_t tail = size_t(TAIL_SECONDS * 44100);
    ASSERT_GT(m.mono.size(), tail);
    double tailPower = 0;
    for (size_t i = m.mono.size() - tail; i < m.mono.size(); ++i) tailPower += double(m.mono[i]) * m.mono[i];
    EXPECT_LT(10 * std::log10(tailPower / double(tail) + 1e-20), TAIL_MAX_DB) << "a voice is never released";
}

TEST(Soundtrack, BalancesItsSpectrumLikeMusicPeopleMake)
{
    // The measure itself: a pure tone lands in its own band, at its own
    // frequency.
    for (auto [hz, band] : {std::pair{50.0, 2}, std::pair{1000.0, 15}}) {
        std::vector<float> tone(88200);
        for (size_t i = 0; i < tone.size(); ++i) tone[i] = float(0.5 * std::sin(2 * synth::PI * hz * double(i) / 44100));
        spectrum::Balance t = spectrum::balance(tone, 44100);
        EXPECT_GT(t.bandDb[size_t(band)], -0.5) << hz << " Hz";
        EXPECT_NEAR(t.centroidHz, hz, hz * 0.02);
    }

    // Each third-octave band's share of the energy against 40 modules made by
    // people: a few bands may stray a little, as they do in any one of those.
    ASSERT_FALSE(mix().mono.empty());
    spectrum::Balance b = spectrum::balance(mix().mono, 44100);
    int outside = 0;
    for (int band = 0; band < spectrum::THIRD_OCTAVES; ++band) {
        double off = reference::outside(band, b.bandDb[size_t(band)]);
        outside += off > 0;
        EXPECT_LE(off, MAX_BAND_EXCESS_DB) << spectrum::THIRD_OCTAVE_HZ[band] << " Hz at " << b.bandDb[size_t(band)] << " dB";
    }
    EXPECT_LE(outside, MAX_BANDS_OUTSIDE);
    EXPECT_GE(b.centroidHz, reference::CENTROID_HZ.p10) << "dull";
    EXPECT_LE(b.centroidHz, reference::CENTROID_HZ.p90) << "bright";
}

TEST(Soundtrack, SamplesRiseFromZeroAndTheMixDoesNotClick)
{
    // A note restarts its sample: one that begins mid-swing steps at once.
    for (const xm::Instrument& ins : song::makeInstruments())
        for (const xm::Sample& s : ins.samples) {
            double peak = 0;
            for (int16_t v : s.data) peak = std::max(peak, std::fabs(double(v)));
            double rateAtC4 = synth::TRACKER_C4_RATE * std::pow(2.0, (s.relativeNote + s.finetune / 128.0) / 12.0);
            size_t ramp = size_t(RAMP_SECONDS * rateAtC4);
            for (size_t i = 0; i < ramp && i < s.data.size(); ++i)
                ASSERT_LE(std::fabs(double(s.data[i])), peak * double(i + 1) / double(ramp)) << s.name << " at sample " << i;
        }

    // The finder itself: one small step in a quiet tone is a click; the tone
    // alone, or a drum's attack out of silence, is not.
    std::vector<float> tone(44100), step, hit(44100, 0.0f);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = float(0.05 * std::sin(2 * synth::PI * 220 * double(i) / 44100));
    step = tone;
    for (size_t i = 30000; i < step.size(); ++i) step[i] += 0.02f;
    for (size_t i = 0; i < 882; ++i) step[step.size() - 1 - i] *= float(double(i) / 882);  // the end fades out
    for (size_t i = 20000; i < hit.size(); ++i)
        hit[i] = float(0.5 * std::sin(2 * synth::PI * 60 * double(i - 20000) / 44100) * std::exp(-double(i - 20000) / 4000.0) *
                       std::min(1.0, double(i - 20000) / 44.0));
    EXPECT_TRUE(clicks::find(tone, 44100).empty());
    EXPECT_EQ(clicks::find(step, 44100).size(), size_t(1));
    EXPECT_TRUE(clicks::find(hit, 44100).empty());

    ASSERT_FALSE(mix().mono.empty());
    for (const std::vector<float>* side : {&mix().left, &mix().right}) {
        std::vector<double> at = clicks::find(*side, 44100);
        EXPECT_TRUE(at.empty()) << at.size() << " clicks, the first at " << at.front() << " s";
    }
}
