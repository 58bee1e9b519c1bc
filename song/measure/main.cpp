// murl13-songmeasure: renders the soundtrack the way the demo hears it
// (libxmp's default mixer at 44.1 kHz) and prints what a listener would
// notice about the mix: where the energy sits, whether the pad pumps at chord
// changes, how busy each instrument is, whether the lead stands out in the
// choruses, whether the song has an arc, how the ending rings out, the
// loudness (ITU-R BS.1770 with gating), full-scale samples and clicks; its
// tonal balance against music people make: third-octave bands and the
// spectral centroid beside the reference modules' percentiles, with each
// channel's part in every band; and the arrangement: the tracker effects, the
// groove, the lead's line, repeats, the channels' levels, the stereo image,
// the restlessness of the top and the attacks a second.
// Built on request (`cmake --build build --target murl13-songmeasure`) and
// run by hand: murl13-songmeasure build/GLIMVEX.oXM; with --balance it
// prints only the balance and the clicks, with --arrangement only the
// arrangement (of any module libxmp plays; the score's figures of an XM).
#include "song/clicks.h"
#include "song/measure/arrangement.h"
#include "song/measure/loudness.h"
#include "song/measure/mix_figures.h"
#include "song/measure/render.h"
#include "song/measure/xm_reader.h"
#include "song/reference_mix.h"
#include "song/spectrum.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using measure::db;
using measure::meanSquare;
using measure::percentile;
using measure::RATE;
using measure::Render;

namespace {

constexpr int FINAL_ORDER = 39;                   // the demo stops here
constexpr int FIRST_CHORUS[2] = {11, 18};         // orders, inclusive
constexpr int LAST_CHORUS[2] = {31, 38};
const std::set<int> ACCENTS = {3, 4, 8};
const std::set<std::string> PITCHED = {"bass", "lead", "pad", "arp", "stab"};

Render render(const std::vector<uint8_t>& file, const std::vector<int>& muted)
{
    Render r = measure::render(file, muted);
    if (!r.loaded) {
        std::fprintf(stderr, "cannot play the module\n");
        std::exit(1);
    }
    return r;
}

// The score as the file holds it, with the names of its instruments.
struct Score {
    xm::Module module;
    std::vector<measure::Note> notes;
    int channels = 0;
    std::vector<std::string> instrumentNames;     // by number, [0] unused
    int rows() const
    {
        int n = 0;
        for (size_t o = 0; o < module.orders.size() && int(o) <= FINAL_ORDER; ++o) n += module.patterns[module.orders[o]].rows;
        return n;
    }
};

Score readScore(const xm::Module& m)
{
    Score s;
    s.module = m;
    s.notes = measure::notes(m);
    s.channels = m.channels;
    s.instrumentNames.push_back("");
    for (const xm::Instrument& ins : m.instruments) s.instrumentNames.push_back(ins.name);
    return s;
}

// The instrument a channel plays most.
std::vector<std::string> channelRoles(const Score& s)
{
    std::vector<std::map<int, int>> counts(size_t(s.channels));
    for (const measure::Note& n : s.notes)
        if (n.instrument > 0 && n.instrument < int(s.instrumentNames.size())) counts[size_t(n.channel)][n.instrument]++;
    std::vector<std::string> roles;
    for (const auto& c : counts) {
        auto top = std::max_element(c.begin(), c.end(), [](auto& a, auto& b) { return a.second < b.second; });
        roles.push_back(top == c.end() ? "" : s.instrumentNames[size_t(top->first)]);
    }
    return roles;
}

std::vector<int> channelsExcept(int count, const std::vector<int>& kept)
{
    std::vector<int> muted;
    for (int ch = 0; ch < count; ++ch)
        if (std::find(kept.begin(), kept.end(), ch) == kept.end()) muted.push_back(ch);
    return muted;
}

// ---- The pad at chord changes ----------------------------------------------

struct Dips {
    std::vector<double> dips, recoveries;
};

// At each moment: the lowest level over the next 0.3 s (in windows of
// `window` samples) below the level of the 0.2 s before, and how long until
// the level is back within 3 dB.
Dips levelDips(const std::vector<float>& x, const std::set<size_t>& moments, size_t window)
{
    Dips d;
    for (size_t t : moments) {
        if (t < RATE / 4 || t + RATE / 2 > x.size()) continue;
        double before = db(meanSquare(x, t - RATE / 5, t));
        if (before < -60) continue;  // silent before: an entry, not a change
        double lowest = before, back = -1;
        for (size_t w = t; w + window < t + RATE * 3 / 10; w += window) {
            double level = db(meanSquare(x, w, w + window));
            lowest = std::min(lowest, level);
            if (back < 0 && level >= before - 3) back = double(w - t) / RATE;
        }
        d.dips.push_back(before - lowest);
        d.recoveries.push_back(back < 0 ? 0.3 : back);
    }
    return d;
}

// The pad at its chord changes, and for comparison 0.4 s later, mid-chord,
// where the level moves only by the voices' own beating.
void padChanges(const Render& pad, const Score& s, const std::vector<int>& padChannels)
{
    std::set<size_t> changes, midChord;
    for (const measure::Note& n : s.notes)
        if (std::count(padChannels.begin(), padChannels.end(), n.channel) && n.order < FINAL_ORDER)
            changes.insert(pad.rowStart.at({n.order, n.row}));
    for (size_t t : changes) midChord.insert(t + RATE * 4 / 10);
    for (int ms : {20, 5}) {
        Dips at = levelDips(pad.mono, changes, size_t(RATE * ms / 1000));
        Dips mid = levelDips(pad.mono, midChord, size_t(RATE * ms / 1000));
        std::printf("pad, %d ms levels: %zu chord changes, dip median %.1f dB, 90th %.1f, worst %.1f; back within 3 dB"
                    " after median %.2f s, worst %.2f s; mid-chord dip median %.1f dB, 90th %.1f, worst %.1f\n",
                    ms, at.dips.size(), percentile(at.dips, 0.5), percentile(at.dips, 0.9), percentile(at.dips, 1.0),
                    percentile(at.recoveries, 0.5), percentile(at.recoveries, 1.0), percentile(mid.dips, 0.5),
                    percentile(mid.dips, 0.9), percentile(mid.dips, 1.0));
    }
}

double bandEnergy(const std::vector<float>& x, size_t from, size_t to, double lo, double hi)
{
    std::vector<float> part(x.begin() + ptrdiff_t(from), x.begin() + ptrdiff_t(std::min(to, x.size())));
    return spectrum::bandEnergies(part, RATE, {lo, hi})[1];
}

// ---- Tonal balance against the reference modules -----------------------------

// The mix's third-octave bands beside the references' 10th, 50th and 90th
// percentiles, and under "by channel" each channel's own energy in the band
// against the whole mix's energy (dB; the channels alone, so the parts that
// carry a band too high stand out).
void printBalance(const std::vector<uint8_t>& file, const Render& mix, const Score& s, const std::vector<std::string>& roles)
{
    spectrum::Balance all = spectrum::balance(mix.mono, RATE);
    std::vector<spectrum::Balance> parts;
    for (int ch = 0; ch < s.channels; ++ch) parts.push_back(spectrum::balance(render(file, channelsExcept(s.channels, {ch})).mono, RATE));
    std::printf("third-octave bands, dB of the energy above %g Hz: band, ours, references p10 median p90, outside by; by channel:\n",
                spectrum::FLOOR_HZ);
    std::printf("%6s %6s %6s %6s %6s %5s ", "Hz", "ours", "p10", "med", "p90", "out");
    for (int ch = 0; ch < s.channels; ++ch) std::printf(" %6.6s", roles[size_t(ch)].c_str());
    std::printf("\n");
    int outside = 0;
    double worst = 0;
    for (int b = 0; b < spectrum::THIRD_OCTAVES; ++b) {
        const reference::Range& r = reference::BAND_DB[b];
        double off = reference::outside(b, all.bandDb[size_t(b)]);
        outside += off > 0;
        worst = std::max(worst, off);
        char by[16] = "";
        if (off > 0) std::snprintf(by, sizeof by, "%.1f", off);
        std::printf("%6d %6.1f %6.1f %6.1f %6.1f %5s ", spectrum::THIRD_OCTAVE_HZ[b], all.bandDb[size_t(b)], r.p10, r.median, r.p90, by);
        for (const spectrum::Balance& p : parts)
            std::printf(" %6.1f", p.energy > 0 ? p.bandDb[size_t(b)] + db(p.energy / all.energy) : -99.0);
        std::printf("\n");
    }
    std::printf("bands outside the references' 10th-90th percentiles: %d of %d, worst by %.1f dB\n", outside,
                spectrum::THIRD_OCTAVES, worst);
    std::printf("spectral centroid %.0f Hz (references: p10 %.0f, median %.0f, p90 %.0f); by channel:", all.centroidHz,
                reference::CENTROID_HZ.p10, reference::CENTROID_HZ.median, reference::CENTROID_HZ.p90);
    for (int ch = 0; ch < s.channels; ++ch) std::printf(" %s %.0f", roles[size_t(ch)].c_str(), parts[size_t(ch)].centroidHz);
    std::printf("\n");
}

void printClicks(const Render& mix)
{
    std::vector<double> left = clicks::find(mix.left, RATE), right = clicks::find(mix.right, RATE);
    std::printf("clicks: %zu left, %zu right", left.size(), right.size());
    for (size_t i = 0; i < left.size() && i < 5; ++i) std::printf(" %.3f s", left[i]);
    for (size_t i = 0; i < right.size() && i < 5; ++i) std::printf(" %.3f s (right)", right[i]);
    std::printf("\n");
}

// ---- The arrangement ----------------------------------------------------------

const char* const EFFECT_NAMES = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The score's figures, when there is an XM score: its effects, its notes
// against the grid, the lead's line (the channel that plays the instrument
// named "lead" most), orders that repeat.
void printScore(const Score& s, const std::vector<std::string>& roles)
{
    measure::Expression e = measure::expression(s.module);
    std::printf("effect commands: %zu (", e.commands.size());
    for (int c : e.commands) std::printf("%c", c < 36 ? EFFECT_NAMES[c] : '?');
    std::printf("), %zu with their parameters; volume slides on %.1f%% of the channels' rows, %.1f%% of rows;"
                " %.1f%% of the struck notes delayed\n",
                e.pairs.size(), 100 * e.slideCells, 100 * e.slideRows, 100 * e.delayedNotes);
    for (int ch = 0; ch < s.channels; ++ch)
        if (roles[size_t(ch)] == "lead") {
            measure::Line l = measure::line(s.module, ch);
            std::printf("lead (channel %d): %d notes, %.0f%% repeated, %.0f%% on odd sixteenths, %.0f%% steps of 3-5 semitones\n",
                        ch, l.notes, 100 * l.repeated, 100 * l.oddSixteenths, 100 * l.skips);
            break;
        }
    std::printf("orders the same as an earlier one: %d; within 8 cells of one: %d; %zu patterns for %zu orders\n",
                measure::nearRepeats(s.module, 0), measure::nearRepeats(s.module, 8), s.module.patterns.size(),
                s.module.orders.size());
}

// The render's figures: the top's restlessness, attacks a second, the stereo
// image, repeats, and each channel's level against the loudest.
void printArrangement(const std::vector<uint8_t>& file, const Render& mix, int channels, const std::vector<std::string>& roles)
{
    std::printf("high-band flux %.3f; onsets %.2f a second; side %.1f dB against mid; 8 s windows with a near copy"
                " earlier %.0f%%\n",
                measure::highBandFlux(mix.mono, RATE), measure::onsetsPerSecond(mix.mono, RATE),
                measure::sideToMidDb(mix.left, mix.right), 100 * measure::nearCopyShare(mix.mono, RATE));
    std::vector<double> levels = measure::channelLevels(file, channels);
    if (levels.empty()) return;
    double loudest = *std::max_element(levels.begin(), levels.end());
    int under = 0;
    std::printf("channel levels against the loudest (dB):");
    for (int ch = 0; ch < channels; ++ch) {
        double d = db(levels[size_t(ch)]) - db(loudest);
        under += d < -18;
        std::printf(" %s(%d) %.1f", ch < int(roles.size()) ? roles[size_t(ch)].c_str() : "", ch, d);
    }
    std::printf("; %d more than 18 dB under\n", under);
}

}  // namespace

int main(int argc, char** argv)
{
    bool balanceOnly = argc == 3 && std::strcmp(argv[1], "--balance") == 0;
    bool arrangementOnly = argc == 3 && std::strcmp(argv[1], "--arrangement") == 0;
    if (argc != 2 && !balanceOnly && !arrangementOnly) {
        std::fprintf(stderr, "usage: %s [--balance | --arrangement] SONG.xm\n", argv[0]);
        return 2;
    }
    const char* path = argv[argc - 1];
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::perror(path);
        return 1;
    }
    std::vector<uint8_t> file;
    for (int c; (c = std::fgetc(f)) != EOF;) file.push_back(uint8_t(c));
    std::fclose(f);

    std::optional<xm::Module> module = xm::parse(file);
    Render mix = render(file, {});
    if (arrangementOnly) {
        std::printf("length %.2f s\n", double(mix.left.size()) / RATE);
        std::vector<std::string> roles;
        if (module) {
            Score s = readScore(*module);
            roles = channelRoles(s);
            printScore(s, roles);
        }
        printArrangement(file, mix, mix.channels, roles);
        return 0;
    }
    if (!module) {
        std::fprintf(stderr, "%s: not an XM module\n", path);
        return 1;
    }
    Score score = readScore(*module);
    std::vector<std::string> roles = channelRoles(score);
    if (int(mix.orderStart.size()) <= FINAL_ORDER) {
        std::fprintf(stderr, "the song ends before order %d\n", FINAL_ORDER);
        return 1;
    }
    auto orderTime = [&](int o) { return double(mix.orderStart[size_t(o)]) / RATE; };
    std::printf("length %.2f s, order %d at %.2f s\n", double(mix.left.size()) / RATE, FINAL_ORDER, orderTime(FINAL_ORDER));
    printBalance(file, mix, score, roles);
    if (balanceOnly) {
        printClicks(mix);
        return 0;
    }

    // Energy by band.
    std::vector<double> edges = {60, 125, 250, 500, 2000, 6000};
    std::vector<double> bands = spectrum::bandEnergies(mix.mono, RATE, edges);
    double total = 0;
    for (double b : bands) total += b;
    std::printf("energy share: <60 %.1f%%", 100 * bands[0] / total);
    for (size_t i = 1; i < bands.size(); ++i)
        std::printf(", %g-%s %.1f%%", edges[i - 1], i < edges.size() ? std::to_string(int(edges[i])).c_str() : "", 100 * bands[i] / total);
    std::printf("\n");

    std::vector<int> bass, pad, lead, otherPitched;
    for (int ch = 0; ch < score.channels; ++ch) {
        const std::string& role = roles[size_t(ch)];
        if (role == "bass") bass.push_back(ch);
        if (role == "pad") pad.push_back(ch);
        if (role == "lead" && lead.empty()) lead.push_back(ch);
        else if (PITCHED.count(role)) otherPitched.push_back(ch);
    }
    Render bassOnly = render(file, channelsExcept(score.channels, bass));
    std::printf("bass: %.1f%% of its energy above 150 Hz\n", 100 * (1 - spectrum::shareBelow(bassOnly.mono, RATE, 150)));
    bassOnly = {};
    Render padOnly = render(file, channelsExcept(score.channels, pad));
    padChanges(padOnly, score, pad);
    padOnly = {};

    // Notes on rows, per instrument.
    std::map<int, std::set<std::pair<int, int>>> rowsWithNote;
    for (const measure::Note& n : score.notes)
        if (n.order <= FINAL_ORDER && !n.glide) rowsWithNote[n.instrument].insert({n.order, n.row});
    std::printf("rows with a note (of %d):", score.rows());
    for (const auto& [ins, rows] : rowsWithNote)
        std::printf(" %s %.0f%%", score.instrumentNames[size_t(ins)].c_str(), 100.0 * double(rows.size()) / score.rows());
    std::printf("\n");

    auto span = [&](const int* c) { return std::make_pair(mix.orderStart[size_t(c[0])], mix.orderStart[size_t(c[1] + 1)]); };
    auto midBand = [&](const Render& r, const int* c) { return db(bandEnergy(r.mono, span(c).first, span(c).second, 300, 3000)); };
    // The lead against the other pitched parts, 300-3000 Hz, in the choruses:
    // its own channel against every other pitched channel (its echo and
    // harmony voices among them), and all the lead instrument's channels
    // against the rest.
    std::vector<int> allLead, otherInstruments;
    for (int ch = 0; ch < score.channels; ++ch)
        if (roles[size_t(ch)] == "lead") allLead.push_back(ch);
        else if (PITCHED.count(roles[size_t(ch)])) otherInstruments.push_back(ch);
    for (const auto& [melody, accompaniment, what] :
         {std::make_tuple(lead, otherPitched, "its channel"), std::make_tuple(allLead, otherInstruments, "all its channels")}) {
        Render on = render(file, channelsExcept(score.channels, melody));
        Render off = render(file, channelsExcept(score.channels, accompaniment));
        for (const int* chorus : {FIRST_CHORUS, LAST_CHORUS})
            std::printf("orders %d-%d: lead (%s) %+.1f dB over the other pitched parts in 300-3000 Hz\n", chorus[0],
                        chorus[1], what, midBand(on, chorus) - midBand(off, chorus));
    }
    std::printf("parts in 300-3000 Hz, orders %d-%d (dB):", LAST_CHORUS[0], LAST_CHORUS[1]);
    for (int ch : lead) std::printf(" lead(%d) %.1f", ch, midBand(render(file, channelsExcept(score.channels, {ch})), LAST_CHORUS));
    for (int ch : otherPitched)
        std::printf(" %s(%d) %.1f", roles[size_t(ch)].c_str(), ch, midBand(render(file, channelsExcept(score.channels, {ch})), LAST_CHORUS));
    std::printf("\n");
    std::set<int> leadVolumes;
    for (const measure::Note& n : score.notes)
        if (!lead.empty() && n.channel == lead[0]) leadVolumes.insert(n.volume < 0 ? 64 : n.volume);
    std::printf("lead volumes: %zu distinct (", leadVolumes.size());
    for (int v : leadVolumes) std::printf(" %d", v);
    std::printf(" )\n");

    // The arc.
    std::vector<double> windows;
    const size_t window = size_t(6.4 * RATE);
    for (size_t start = 0; start + window <= mix.orderStart[FINAL_ORDER]; start += window)
        windows.push_back(db(meanSquare(mix.mono, start, start + window)));
    std::printf("6.4 s window levels: 10th %.1f dB, 90th %.1f dB, spread %.1f dB\n", percentile(windows, 0.1),
                percentile(windows, 0.9), percentile(windows, 0.9) - percentile(windows, 0.1));
    auto notesIn = [&](const int* c) {
        return std::count_if(score.notes.begin(), score.notes.end(), [&](const measure::Note& n) { return n.order >= c[0] && n.order <= c[1]; });
    };
    std::printf("last chorus %+.1f dB against the first, %ld notes against %ld\n",
                db(meanSquare(mix.mono, span(LAST_CHORUS).first, span(LAST_CHORUS).second)) -
                    db(meanSquare(mix.mono, span(FIRST_CHORUS).first, span(FIRST_CHORUS).second)),
                long(notesIn(LAST_CHORUS)), long(notesIn(FIRST_CHORUS)));
    std::printf("order levels (dB):");
    for (int o = 0; o <= FINAL_ORDER; ++o)
        std::printf(" %.0f", db(meanSquare(mix.mono, mix.orderStart[size_t(o)],
                                           o < FINAL_ORDER ? mix.orderStart[size_t(o + 1)] : mix.mono.size())));
    std::printf("\n");

    // The ending.
    double lastAccent = -1;
    for (const measure::Note& n : score.notes)
        if (ACCENTS.count(n.instrument) && n.order < FINAL_ORDER)
            lastAccent = std::max(lastAccent, double(mix.rowStart.at({n.order, n.row})) / RATE);
    std::printf("last accent %.2f s before order %d\n", orderTime(FINAL_ORDER) - lastAccent, FINAL_ORDER);
    std::printf("last 100 ms: %.1f dB\n", db(meanSquare(mix.mono, mix.mono.size() - RATE / 10, mix.mono.size())));

    // Loudness, peaks and clicks.
    std::printf("integrated loudness %.1f LUFS\n", measure::integratedLoudness(mix.left, mix.right));
    long fullScale = 0;
    float peak = 0;
    for (const auto* ch : {&mix.left, &mix.right})
        for (float v : *ch) {
            peak = std::max(peak, std::fabs(v));
            if (std::fabs(v) >= 32767.0f / 32768.0f) ++fullScale;
        }
    std::printf("peak %.1f dBFS, %ld full-scale samples\n", 20 * std::log10(peak + 1e-30), fullScale);
    printClicks(mix);
    printScore(score, roles);
    printArrangement(file, mix, score.channels, roles);
    return 0;
}
