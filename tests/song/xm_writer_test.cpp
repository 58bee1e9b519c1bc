// The module writer round trip. The song and the music layer's test modules
// are only as good as the bytes the writer lays down, and a slip in the
// packing, an offset or the delta coding still produces a file, just not the
// one we meant: libxmp would read shifted notes, a wrong loop or noise for
// samples. So a small module built in code is loaded by libxmp from the
// written bytes, and everything libxmp read is compared with what was put in.
#include "song/xm_writer.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <tuple>

namespace {

// libxmp's own numbering for XM modules: notes counted from C-0 one octave
// lower than in the file, the volume column kept as volume + 1 (0 meaning
// "none"), one blank pattern of its own after the file's, the fade-out doubled
// for its finer envelope steps.
constexpr int LIBXMP_NOTE_OFFSET = 12;
constexpr int LIBXMP_VOLUME_OFFSET = 1;
constexpr int LIBXMP_EXTRA_PATTERNS = 1;
constexpr int LIBXMP_FADEOUT_SCALE = 2;

xm::Sample sample(bool sixteenBit, int length, xm::Loop loop, uint32_t loopStart, uint32_t loopLength,
                  uint8_t volume, int8_t finetune, uint8_t panning, int8_t relativeNote)
{
    xm::Sample s{"", sixteenBit, {}, loop, loopStart, loopLength, volume, finetune, panning, relativeNote};
    for (int i = 0; i < length; ++i) {
        int v = (i * 7919) % 251 - 125;  // large jumps between neighbours show a delta-coding slip
        s.data.push_back(int16_t(sixteenBit ? v * 251 : v));
    }
    return s;
}

// Three channels, two patterns of different lengths, and three instruments:
// one 16-bit with a forward loop and a sustained, looping envelope, one with
// an 8-bit ping-pong looped sample and a second sample for its upper keys,
// and one without samples.
xm::Module smallModule()
{
    // Name, channels, restart position, speed, BPM, linear frequencies, orders.
    xm::Module m{"round trip", 3, 1, 5, 141, true, {0, 1, 0, 1, 1}, {}, {}};
    xm::Pattern a(16, 3), b(40, 3);
    a.at(0, 0) = {xm::NOTE_C4, 1, xm::VOLUME_SET + 40, xm::FX_VIBRATO, 0x43};  // all five: the unpacked form
    a.at(0, 1) = {1, 2};                                      // lowest note
    a.at(1, 2) = {96, 1, xm::VOLUME_SET + 64};                // highest note, full volume
    a.at(4, 0) = {xm::NOTE_KEY_OFF};
    a.at(5, 1) = {0, 0, xm::VOLUME_SET + 0, xm::FX_VOLUME_SLIDE, 0x0F};  // volume 0 is not "empty"
    a.at(9, 0) = {37, 0, 0, xm::FX_PORTA_UP, 0x20};
    a.at(15, 1) = {0, 0, 0, xm::FX_BREAK, 0};
    b.at(20, 0) = {0, 0, 0, xm::FX_SET_VOLUME, 0x20};
    b.at(39, 2) = {60, 2, 0, xm::FX_ARPEGGIO, 0x37};
    m.patterns = {a, b};
    m.instruments.resize(3);
    xm::Instrument& lead = m.instruments[0];
    lead.name = "lead";
    lead.samples = {sample(true, 1000, xm::Loop::Forward, 200, 640, 48, -37, 200, 12)};
    lead.volumeEnvelope = {true, {{0, 0}, {4, 64}, {20, 40}, {30, 50}, {60, 0}}, 2, 2, 3};
    lead.fadeout = 0x600;
    xm::Instrument& pluck = m.instruments[1];
    pluck.name = "pluck";
    pluck.samples = {sample(false, 333, xm::Loop::PingPong, 10, 300, 64, 100, 30, -5),
                     sample(true, 50, xm::Loop::None, 0, 0, 64, 0, 128, 0)};
    for (int k = 48; k < xm::NOTE_COUNT; ++k) pluck.keymap[k] = 1;
    return m;
}

}  // namespace

TEST(XmWriter, LibxmpReadsBackWhatWasWritten)
{
    xm::Module m = smallModule();
    std::vector<uint8_t> bytes = xm::serialise(m);
    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    const xmp_module* mod = info.mod;

    EXPECT_STREQ(mod->name, "round trip");
    EXPECT_EQ(std::tuple(mod->chn, mod->rst, mod->spd, mod->bpm, mod->pat),
              std::tuple(m.channels, m.restart, m.speed, m.bpm, int(m.patterns.size()) + LIBXMP_EXTRA_PATTERNS));
    EXPECT_EQ(std::vector<uint8_t>(mod->xxo, mod->xxo + mod->len), m.orders);

    for (size_t p = 0; p < m.patterns.size(); ++p) {
        ASSERT_EQ(mod->xxp[p]->rows, m.patterns[p].rows);
        for (int r = 0; r < m.patterns[p].rows; ++r) {
            for (int c = 0; c < m.channels; ++c) {
                SCOPED_TRACE(testing::Message() << "pattern " << p << " row " << r << " channel " << c);
                const xm::Cell& w = m.patterns[p].at(r, c);
                const xmp_event& e = mod->xxt[mod->xxp[p]->index[c]]->event[r];
                int note = w.note == xm::NOTE_KEY_OFF ? XMP_KEY_OFF : w.note ? w.note + LIBXMP_NOTE_OFFSET : 0;
                int volume = w.volume ? w.volume - xm::VOLUME_SET + LIBXMP_VOLUME_OFFSET : 0;
                EXPECT_EQ(std::tuple(int(e.note), int(e.ins), int(e.vol), int(e.fxt), int(e.fxp)),
                          std::tuple(note, int(w.instrument), volume, int(w.effect), int(w.param)));
            }
        }
    }

    ASSERT_EQ(mod->ins, int(m.instruments.size()));
    for (size_t i = 0; i < m.instruments.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "instrument " << i);
        const xm::Instrument& w = m.instruments[i];
        const xmp_instrument& r = mod->xxi[i];
        ASSERT_EQ(r.nsm, int(w.samples.size()));
        if (w.samples.empty()) continue;
        EXPECT_STREQ(r.name, w.name.c_str());
        EXPECT_EQ(r.rls, w.fadeout * LIBXMP_FADEOUT_SCALE);
        const xm::Envelope& env = w.volumeEnvelope;
        int flags = (env.enabled ? XMP_ENVELOPE_ON : 0) | (env.sustain >= 0 ? XMP_ENVELOPE_SUS : 0) |
                    (env.loopStart >= 0 ? XMP_ENVELOPE_LOOP : 0);
        EXPECT_EQ(r.aei.flg & (XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS | XMP_ENVELOPE_LOOP), flags);
        std::vector<short> points;  // tick, value, tick, value...
        for (const xm::EnvelopePoint& point : env.points) points.insert(points.end(), {short(point.tick), short(point.value)});
        EXPECT_EQ(std::vector<short>(r.aei.data, r.aei.data + 2 * r.aei.npt), points);
        if (env.enabled) {
            EXPECT_EQ(std::tuple(r.aei.sus, r.aei.lps, r.aei.lpe), std::tuple(env.sustain, env.loopStart, env.loopEnd));
        }
        for (int k = 0; k < xm::NOTE_COUNT; ++k) EXPECT_EQ(r.map[k + LIBXMP_NOTE_OFFSET].ins, w.keymap[k]) << "key " << k;
        for (size_t j = 0; j < w.samples.size(); ++j) {
            SCOPED_TRACE(testing::Message() << "sample " << j);
            const xm::Sample& ws = w.samples[j];
            EXPECT_EQ(std::tuple(r.sub[j].vol, r.sub[j].fin, r.sub[j].pan, r.sub[j].xpo),
                      std::tuple(int(ws.volume), int(ws.finetune), int(ws.panning), int(ws.relativeNote)));
            const xmp_sample& s = mod->xxs[r.sub[j].sid];
            EXPECT_EQ(std::tuple(s.len, bool(s.flg & XMP_SAMPLE_16BIT), bool(s.flg & XMP_SAMPLE_LOOP),
                                 bool(s.flg & XMP_SAMPLE_LOOP_BIDIR)),
                      std::tuple(int(ws.data.size()), ws.sixteenBit, ws.loop != xm::Loop::None, ws.loop == xm::Loop::PingPong));
            if (ws.loop != xm::Loop::None) {
                EXPECT_EQ(std::pair(s.lps, s.lpe), std::pair(int(ws.loopStart), int(ws.loopStart + ws.loopLength)));
            }
            // The values come back exactly. In a looped sample libxmp overwrites
            // what follows the loop end (for its interpolation), so only the
            // loop is compared there.
            size_t compared = ws.loop == xm::Loop::None ? ws.data.size() : ws.loopStart + ws.loopLength;
            for (size_t k = 0; k < compared; ++k) {
                int v = ws.sixteenBit ? reinterpret_cast<const int16_t*>(s.data)[k] : reinterpret_cast<const int8_t*>(s.data)[k];
                ASSERT_EQ(v, ws.data[k]) << "value " << k;
            }
        }
    }
    xmp_release_module(ctx);
    xmp_free_context(ctx);
}
