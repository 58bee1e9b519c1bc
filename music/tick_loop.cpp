// The module decoder (libxmp) and the trigger detector. libxmp advances the
// song by exactly one tick per call and tells where it is (order, pattern, row,
// tick within the row); the triggers are read from the pattern data of that row,
// so they follow the file's own instrument numbers.
#include "music/tick_loop.h"

#include "music/file_names.h"
#include "music/xm_check.h"

#include <xmp.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace music {

static_assert(MAX_CHANNELS == XMP_MAX_CHANNELS);

// libxmp's internal effect numbers that matter here (its effects.h, not public).
constexpr int FX_TONE_PORTAMENTO = 0x03;
constexpr int FX_TONE_PORTAMENTO_VOLUME_SLIDE = 0x05;
constexpr int FX_EXTENDED = 0x0e;         // the E commands; parameter high nibble picks one
constexpr int EXTENDED_NOTE_DELAY = 0x0d; // EDx: the note starts at tick x of its row

// libxmp numbers notes from 1; XM files from C-0 = 1, which libxmp moves up an
// octave, so an XM's valid notes 1..96 arrive as 13..108. Above are key-off,
// cut and fade (0x81..0x83) and the bytes FastTracker itself refuses.
constexpr int XM_LOWEST_NOTE = 13;
constexpr int XM_HIGHEST_NOTE = 108;

constexpr int NO_TRIGGER = -1;

// Larger than any tracker module; a bigger file is turned away unread.
constexpr long MAX_FILE_BYTES = 256L * 1024 * 1024;

// The shortest and longest ticks played. An XM tick lasts 2.5 / BPM seconds,
// 9.8 ms to 78 ms at the BPMs FastTracker allows; a tick outside these bounds
// (or without sound) means the decoder has lost its tempo, and the song ends
// there rather than racing through ticks of nothing or waiting for ever.
constexpr double SHORTEST_TICK_SECONDS = 0.001;
constexpr double LONGEST_TICK_SECONDS = 2.5;

struct TickLoop {
    std::vector<uint8_t> file;             // the module's bytes, kept while libxmp plays them
    xmp_context context;
    const xmp_module* module;
    bool failed;                           // a tick came out broken; nothing more is played
    int lastInstrument[MAX_CHANNELS];      // last instrument named on the channel, 0 none
    int pendingTick[MAX_CHANNELS];         // tick of the row where a note starts, or NO_TRIGGER
    int pendingInstrument[MAX_CHANNELS];   // that note's instrument
};

static bool isTonePortamento(int effect)
{
    return effect == FX_TONE_PORTAMENTO || effect == FX_TONE_PORTAMENTO_VOLUME_SLIDE;
}

// The tick of its row at which the event's note starts: x for a note delay EDx
// in either effect slot (the XM volume column lands in the second), else 0.
static int noteStartTick(const xmp_event& event)
{
    if (event.fxt == FX_EXTENDED && (event.fxp >> 4) == EXTENDED_NOTE_DELAY) return event.fxp & 0x0f;
    if (event.f2t == FX_EXTENDED && (event.f2p >> 4) == EXTENDED_NOTE_DELAY) return event.f2p & 0x0f;
    return 0;
}

static bool isPlayableNote(int note) { return note >= XM_LOWEST_NOTE && note <= XM_HIGHEST_NOTE; }

static const xmp_event* eventAt(const xmp_module* module, int pattern, int row, int channel)
{
    if (pattern < 0 || pattern >= module->pat || module->xxp[pattern] == nullptr) return nullptr;
    const xmp_pattern* p = module->xxp[pattern];
    if (row < 0 || row >= p->rows) return nullptr;
    int track = p->index[channel];
    if (track < 0 || track >= module->trk || module->xxt[track] == nullptr) return nullptr;
    if (row >= module->xxt[track]->rows) return nullptr;
    return &module->xxt[track]->event[row];
}

// At the first tick of a row: note each channel's instrument and when (if at
// all) a note of the row starts.
static void readRow(TickLoop* loop, int pattern, int row)
{
    const xmp_module* module = loop->module;
    int channels = module->chn < MAX_CHANNELS ? module->chn : MAX_CHANNELS;
    for (int channel = 0; channel < channels; channel++) {
        loop->pendingTick[channel] = NO_TRIGGER;
        const xmp_event* event = eventAt(module, pattern, row, channel);
        if (event == nullptr) continue;
        if (event->ins != 0) loop->lastInstrument[channel] = event->ins;
        if (!isPlayableNote(event->note)) continue;
        // A note under tone portamento slides the sounding note: nothing starts.
        if (isTonePortamento(event->fxt) || isTonePortamento(event->f2t)) continue;
        if (loop->lastInstrument[channel] == 0) continue;
        loop->pendingTick[channel] = noteStartTick(*event);
        loop->pendingInstrument[channel] = loop->lastInstrument[channel];
    }
}

// The whole file, or false when it cannot be read, is larger than any module
// or is not a regular file.
static bool readWholeFile(const char* path, std::vector<uint8_t>& bytes)
{
    const int fd = openRegularFile(path);
    if (fd < 0) return false;
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= MAX_FILE_BYTES;
    if (ok) bytes.resize(static_cast<size_t>(info.st_size));
    for (size_t got = 0; ok && got < bytes.size();) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        got += n > 0 ? size_t(n) : 0;
    }
    close(fd);
    return ok;
}

TickLoop* openTickLoop(const char* path)
{
    if (path == nullptr) return nullptr;
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes) || bytes.empty()) return nullptr;
    // Only a whole XM reaches libxmp, whatever else it could read.
    if (!isCompleteXm(bytes)) return nullptr;
    xmp_context context = xmp_create_context();
    if (context == nullptr) return nullptr;
    if (xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())) != 0) {
        xmp_free_context(context);
        return nullptr;
    }
    if (xmp_start_player(context, MIX_RATE, 0) != 0) {
        xmp_release_module(context);
        xmp_free_context(context);
        return nullptr;
    }
    xmp_module_info info;
    std::memset(&info, 0, sizeof info);
    xmp_get_module_info(context, &info);
    if (info.mod == nullptr || std::strstr(info.mod->type, " XM ") == nullptr) {
        xmp_end_player(context);
        xmp_release_module(context);
        xmp_free_context(context);
        return nullptr;
    }

    TickLoop* loop = new TickLoop{};
    loop->file = std::move(bytes);
    loop->context = context;
    loop->module = info.mod;
    for (int channel = 0; channel < MAX_CHANNELS; channel++) loop->pendingTick[channel] = NO_TRIGGER;
    return loop;
}

bool playTick(TickLoop* loop, Tick& tick)
{
    tick.triggerCount = 0;
    if (loop->failed || xmp_play_frame(loop->context) != 0) return false;
    xmp_frame_info info;
    xmp_get_frame_info(loop->context, &info);

    // libxmp counts the tick within the row from 0 and has already moved to the
    // row it reports, so a tick 0 is the first tick of that row. A pattern delay
    // (EEx) stretches the row without a second tick 0, as FastTracker does not
    // restart its notes either.
    if (info.frame == 0) readRow(loop, info.pattern, info.row);
    int channels = loop->module->chn < MAX_CHANNELS ? loop->module->chn : MAX_CHANNELS;
    for (int channel = 0; channel < channels; channel++) {
        if (loop->pendingTick[channel] != info.frame) continue;
        tick.triggers[tick.triggerCount++] = loop->pendingInstrument[channel];
        loop->pendingTick[channel] = NO_TRIGGER;
    }

    tick.order = info.pos;
    // A tick lasts 2.5 / BPM seconds; libxmp reports it in whole microseconds,
    // so the exact value is taken where the two agree (formats with their own
    // timing base keep libxmp's).
    double exact = info.bpm > 0 ? 2.5 / info.bpm : 0.0;
    double reported = info.frame_time * 1e-6;
    tick.seconds = std::fabs(exact - reported) < 1e-6 ? exact : reported;
    tick.samples = static_cast<const int16_t*>(info.buffer);
    tick.frames = info.buffer_size / static_cast<int>(MIX_CHANNELS * sizeof(int16_t));
    tick.wrapped = info.loop_count > 0;
    loop->failed = tick.frames <= 0 || !(tick.seconds >= SHORTEST_TICK_SECONDS && tick.seconds <= LONGEST_TICK_SECONDS);
    return !loop->failed;
}

void closeTickLoop(TickLoop* loop)
{
    if (loop == nullptr) return;
    xmp_end_player(loop->context);
    xmp_release_module(loop->context);
    xmp_free_context(loop->context);
    delete loop;
}

}  // namespace music
