// The module writer round trip. The song and the music layer's own test
// modules are only as good as the bytes the writer lays down, and a slip in
// the packing, an offset or the delta coding still produces a file, just not
// the one we meant: libxmp would read shifted notes, a wrong loop or noise for
// samples. So each test builds a small module in code, has libxmp load the
// bytes, and compares what libxmp read with what was put in.
#include <gtest/gtest.h>
#include <xmp.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "song/xm_writer.h"

namespace {

// libxmp's own numbering, as documented for XM modules: it counts notes from
// C-0 one octave lower than the file does and keeps the volume column as
// volume + 1 (0 meaning "none").
constexpr int LIBXMP_NOTE_OFFSET = 12;
constexpr int LIBXMP_KEY_OFF = XMP_KEY_OFF;
constexpr int LIBXMP_VOLUME_OFFSET = 1;
// It keeps one blank pattern of its own after the file's patterns, doubles
// the fade-out for its finer envelope steps, and keeps its per-key map in its
// own note numbering.
constexpr int LIBXMP_EXTRA_PATTERNS = 1;
constexpr int LIBXMP_FADEOUT_SCALE = 2;

struct Loaded {
    xmp_context ctx = xmp_create_context();
    xmp_module* mod = nullptr;
    ~Loaded() {
        if (mod) xmp_release_module(ctx);
        xmp_free_context(ctx);
    }
};

// Loads the written bytes with libxmp; fails the test when it does not load.
void load(const std::vector<uint8_t>& bytes, Loaded& out)
{
    std::vector<uint8_t> copy = bytes;
    ASSERT_EQ(xmp_load_module_from_memory(out.ctx, copy.data(), long(copy.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(out.ctx, &info);
    out.mod = info.mod;
}

const xmp_event& eventAt(const xmp_module* mod, int pattern, int row, int channel)
{
    return mod->xxt[mod->xxp[pattern]->index[channel]]->event[row];
}

xm::Cell cell(uint8_t note, uint8_t ins, uint8_t vol, uint8_t fx, uint8_t param)
{
    xm::Cell c;
    c.note = note; c.instrument = ins; c.volume = vol; c.effect = fx; c.param = param;
    return c;
}

xm::Sample rampSample(bool sixteenBit, int length)
{
    xm::Sample s;
    s.sixteenBit = sixteenBit;
    for (int i = 0; i < length; ++i) {
        // Large jumps between neighbours make a delta-coding slip visible.
        int v = (i * 7919) % 251 - 125;
        s.data.push_back(int16_t(sixteenBit ? v * 251 : v));
    }
    return s;
}

// Three channels, two patterns of different lengths, two instruments: one
// 16-bit with a forward loop and a sustained, looping envelope, one 8-bit
// with a ping-pong loop, plus an instrument without samples.
xm::Module smallModule()
{
    xm::Module m;
    m.name = "round trip";
    m.channels = 3;
    m.restart = 1;
    m.speed = 5;
    m.bpm = 141;
    m.orders = {0, 1, 0, 1, 1};

    xm::Pattern a(16, 3);
    a.at(0, 0) = cell(xm::NOTE_C4, 1, xm::VOLUME_SET + 40, xm::FX_VIBRATO, 0x43);  // all five: unpacked form
    a.at(0, 1) = cell(1, 2, 0, 0, 0);                      // lowest note
    a.at(1, 2) = cell(96, 1, xm::VOLUME_SET + 64, 0, 0);   // highest note, full volume
    a.at(4, 0) = cell(xm::NOTE_KEY_OFF, 0, 0, 0, 0);
    a.at(5, 1) = cell(0, 0, xm::VOLUME_SET + 0, xm::FX_VOLUME_SLIDE, 0x0F);  // volume 0 is not "empty"
    a.at(7, 2) = cell(0, 0, 0, xm::FX_SPEED, 3);
    a.at(9, 0) = cell(37, 0, 0, xm::FX_PORTA_UP, 0x20);   // note without instrument
    a.at(15, 1) = cell(0, 0, 0, xm::FX_BREAK, 0);
    xm::Pattern b(40, 3);
    b.at(39, 2) = cell(60, 2, 0, xm::FX_ARPEGGIO, 0x37);
    b.at(20, 0) = cell(0, 0, 0, xm::FX_SET_VOLUME, 0x20);
    m.patterns = {a, b};

    xm::Instrument lead;
    lead.name = "lead";
    xm::Sample s1 = rampSample(true, 1000);
    s1.loop = xm::Loop::Forward;
    s1.loopStart = 200;
    s1.loopLength = 640;
    s1.volume = 48;
    s1.finetune = -37;
    s1.panning = 200;
    s1.relativeNote = 12;
    lead.samples.push_back(s1);
    lead.volumeEnvelope.enabled = true;
    lead.volumeEnvelope.points = {{0, 0}, {4, 64}, {20, 40}, {30, 50}, {60, 0}};
    lead.volumeEnvelope.sustain = 2;
    lead.volumeEnvelope.loopStart = 2;
    lead.volumeEnvelope.loopEnd = 3;
    lead.fadeout = 0x600;

    xm::Instrument pluck;
    pluck.name = "pluck";
    xm::Sample s2 = rampSample(false, 333);
    s2.loop = xm::Loop::PingPong;
    s2.loopStart = 10;
    s2.loopLength = 300;
    s2.volume = 64;
    s2.finetune = 100;
    s2.panning = 30;
    s2.relativeNote = -5;
    pluck.samples.push_back(s2);
    xm::Sample s3 = rampSample(true, 50);  // a second sample for the upper keys
    pluck.samples.push_back(s3);
    for (int k = 48; k < xm::NOTE_COUNT; ++k) pluck.keymap[k] = 1;

    xm::Instrument empty;
    empty.name = "empty";
    m.instruments = {lead, pluck, empty};
    return m;
}

}  // namespace

TEST(XmWriter, HeaderOrdersAndTimingReadBack)
{
    xm::Module m = smallModule();
    std::vector<uint8_t> bytes = xm::serialise(m);
    ASSERT_GE(bytes.size(), 60u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 17), "Extended Module: ");
    EXPECT_EQ(bytes[58] | bytes[59] << 8, 0x0104);

    Loaded l;
    load(bytes, l);
    ASSERT_NE(l.mod, nullptr);
    EXPECT_STREQ(l.mod->name, "round trip");
    EXPECT_EQ(l.mod->chn, 3);
    EXPECT_EQ(l.mod->len, 5);
    EXPECT_EQ(l.mod->rst, 1);
    EXPECT_EQ(l.mod->spd, 5);
    EXPECT_EQ(l.mod->bpm, 141);
    EXPECT_EQ(l.mod->pat, 2 + LIBXMP_EXTRA_PATTERNS);
    EXPECT_EQ(l.mod->ins, 3);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(l.mod->xxo[i], m.orders[i]) << "order " << i;
}

TEST(XmWriter, PatternCellsReadBackExactly)
{
    xm::Module m = smallModule();
    Loaded l;
    load(xm::serialise(m), l);
    ASSERT_NE(l.mod, nullptr);
    for (int p = 0; p < 2; ++p) {
        ASSERT_EQ(l.mod->xxp[p]->rows, m.patterns[p].rows);
        for (int r = 0; r < m.patterns[p].rows; ++r) {
            for (int c = 0; c < m.channels; ++c) {
                const xm::Cell& w = m.patterns[p].at(r, c);
                const xmp_event& e = eventAt(l.mod, p, r, c);
                SCOPED_TRACE(testing::Message() << "pattern " << p << " row " << r << " channel " << c);
                int note = w.note == xm::NOTE_KEY_OFF ? LIBXMP_KEY_OFF
                         : w.note ? w.note + LIBXMP_NOTE_OFFSET : 0;
                EXPECT_EQ(e.note, note);
                EXPECT_EQ(e.ins, w.instrument);
                EXPECT_EQ(e.vol, w.volume ? w.volume - xm::VOLUME_SET + LIBXMP_VOLUME_OFFSET : 0);
                EXPECT_EQ(e.fxt, w.effect);
                EXPECT_EQ(e.fxp, w.param);
            }
        }
    }
}

TEST(XmWriter, InstrumentsSamplesAndEnvelopesReadBack)
{
    xm::Module m = smallModule();
    Loaded l;
    load(xm::serialise(m), l);
    ASSERT_NE(l.mod, nullptr);
    ASSERT_EQ(l.mod->smp, 3);

    const xmp_instrument& lead = l.mod->xxi[0];
    EXPECT_STREQ(lead.name, "lead");
    ASSERT_EQ(lead.nsm, 1);
    EXPECT_EQ(lead.sub[0].vol, 48);
    EXPECT_EQ(lead.sub[0].fin, -37);
    EXPECT_EQ(lead.sub[0].pan, 200);
    EXPECT_EQ(lead.sub[0].xpo, 12);
    EXPECT_EQ(lead.rls, 0x600 * LIBXMP_FADEOUT_SCALE);
    const xmp_envelope& env = lead.aei;
    EXPECT_EQ(env.flg & (XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS | XMP_ENVELOPE_LOOP),
              XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS | XMP_ENVELOPE_LOOP);
    ASSERT_EQ(env.npt, 5);
    EXPECT_EQ(env.sus, 2);
    EXPECT_EQ(env.lps, 2);
    EXPECT_EQ(env.lpe, 3);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(env.data[2 * i], m.instruments[0].volumeEnvelope.points[i].tick) << "point " << i;
        EXPECT_EQ(env.data[2 * i + 1], m.instruments[0].volumeEnvelope.points[i].value) << "point " << i;
    }

    const xmp_instrument& pluck = l.mod->xxi[1];
    ASSERT_EQ(pluck.nsm, 2);
    EXPECT_EQ(pluck.sub[0].fin, 100);
    EXPECT_EQ(pluck.sub[0].xpo, -5);
    EXPECT_EQ(pluck.sub[0].pan, 30);
    EXPECT_FALSE(pluck.aei.flg & XMP_ENVELOPE_ON);
    // The keymap sends the upper keys to the second sample.
    EXPECT_EQ(pluck.map[47 + LIBXMP_NOTE_OFFSET].ins, 0);
    EXPECT_EQ(pluck.map[48 + LIBXMP_NOTE_OFFSET].ins, 1);
    EXPECT_EQ(pluck.map[95 + LIBXMP_NOTE_OFFSET].ins, 1);
    EXPECT_EQ(l.mod->xxi[2].nsm, 0);

    const xm::Sample* written[3] = {&m.instruments[0].samples[0], &m.instruments[1].samples[0],
                                    &m.instruments[1].samples[1]};
    const int sid[3] = {lead.sub[0].sid, pluck.sub[0].sid, pluck.sub[1].sid};
    for (int i = 0; i < 3; ++i) {
        const xm::Sample& w = *written[i];
        const xmp_sample& s = l.mod->xxs[sid[i]];
        SCOPED_TRACE(testing::Message() << "sample " << i);
        EXPECT_EQ(s.len, int(w.data.size()));
        EXPECT_EQ(bool(s.flg & XMP_SAMPLE_16BIT), w.sixteenBit);
        EXPECT_EQ(bool(s.flg & XMP_SAMPLE_LOOP), w.loop != xm::Loop::None);
        EXPECT_EQ(bool(s.flg & XMP_SAMPLE_LOOP_BIDIR), w.loop == xm::Loop::PingPong);
        if (w.loop != xm::Loop::None) {
            EXPECT_EQ(s.lps, int(w.loopStart));
            EXPECT_EQ(s.lpe, int(w.loopStart + w.loopLength));
        }
        // The values come back exactly: the delta coding undoes itself. In a
        // looped sample libxmp overwrites what follows the loop end with the
        // loop start (for its interpolation), so only the loop is compared there.
        size_t compared = w.loop == xm::Loop::None ? w.data.size() : w.loopStart + w.loopLength;
        for (size_t k = 0; k < compared; ++k) {
            int v = w.sixteenBit ? reinterpret_cast<const int16_t*>(s.data)[k]
                                 : reinterpret_cast<const int8_t*>(s.data)[k];
            ASSERT_EQ(v, w.data[k]) << "value " << k;
        }
    }
}

TEST(XmWriter, SaveWritesTheSerialisedBytes)
{
    xm::Module m = smallModule();
    std::string path = testing::TempDir() + "xm_writer_test.xm";
    ASSERT_TRUE(xm::saveModule(m, path));
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, xm::serialise(m));
    std::remove(path.c_str());
    EXPECT_FALSE(xm::saveModule(m, "/nonexistent-folder/x.xm"));
}

TEST(XmWriter, RejectsWhatTheFormatCannotHold)
{
    xm::Module m = smallModule();
    m.orders.push_back(7);  // no such pattern
    EXPECT_THROW(xm::serialise(m), std::invalid_argument);

    m = smallModule();
    m.instruments[1].samples[0].data[3] = 300;  // too big for 8 bits
    EXPECT_THROW(xm::serialise(m), std::invalid_argument);

    m = smallModule();
    m.instruments[0].samples[0].loopLength = 900;  // past the end
    EXPECT_THROW(xm::serialise(m), std::invalid_argument);
}
