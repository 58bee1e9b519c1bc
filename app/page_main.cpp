// murl13 in a page: the demo's frame loop run one frame per animation frame
// by the page's script (hosts/web/page.js), on the song clock of the samples
// the sound device has played; still frames and the benchmark for links and
// tests. Everything here is called from the script. A frame's cells are drawn
// here, or by other instances of this program in the page's workers
// (hosts/web/row_worker.js), each given the frame's values and drawing a
// share of the rows, which the page then puts in this instance's cells.
#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "hosts/web/web_console.h"
#include "music/page_player.h"
#include "runtime/bench_schedule.h"
#include "runtime/cell_frame.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"
#include "state/console_host.h"
#include "state/demo_state.h"
#include "tool/frame_request.h"

namespace {

// What an instance drawing a share of the rows needs: the frame's values and
// whether Escape is held (it cuts the rays short, here as on every host).
struct SharedFrame {
    CellFrame values;
    int escapeHeld;
};
SharedFrame sharedFrame;

void shareFrame() { sharedFrame = {cellFrameOfDemo(), int(escapeHeld())}; }

bool running = false;
const int16_t* pendingSound = nullptr;  // sound taken for the device

// The benchmark's frame times, overall and by effect.
std::vector<double> benchTimes;
std::map<int, std::vector<double>> benchTimesByEffect;
double figures[5];

const double* summaryOf(const std::vector<double>& ms)
{
    const FrameTimes times = summariseTimes(ms);
    figures[0] = double(times.frames);
    figures[1] = times.framesPerSecond();
    figures[2] = times.median;
    figures[3] = times.p95;
    figures[4] = times.max;
    return figures;
}

}  // namespace

extern "C" {

// Starts the show: console, clock, song (the file GLIMVEX.oXM that the page
// has put in the module's file system, if the page holds it). Returns 1 when
// the song plays, 0 when it did not load: the error box is open then.
EMSCRIPTEN_KEEPALIVE int murl13_start()
{
    resetDemoState();
    overlayRandomState = 1;
    screenBuffer = ScreenBuffer{};
    web::useSongClock(0.0);
    startDemo();
    running = true;
    if (demo.song != nullptr) return 1;
    // No song, no song clock: the demo runs on the page's clock from here.
    web::useWallClock();
    demo.startTimeMs = double(clockMs());
    return 0;
}

// Sound for the device: decodes on until `until` stereo frames of the song
// are decoded and returns how many frames are new; their 16-bit interleaved
// samples are at murl13_sound().
EMSCRIPTEN_KEEPALIVE int murl13_take_sound(double until)
{
    size_t frames = 0;
    pendingSound = pageSongTakeSound(int64_t(until), frames);
    return int(frames);
}
EMSCRIPTEN_KEEPALIVE const int16_t* murl13_sound() { return pendingSound; }

// A frame of the show after the device has played `played` stereo frames of
// the song, in three calls: murl13_frame_begin (the clock, the song position,
// the timeline and the view distance; returns 0 once the show is over), the
// cells (murl13_draw_cells here, or the workers' shares), murl13_frame_finish
// (the logos, the picture shown, the pulses' fall). The last returns 1 while
// the show goes on, 0 when it has ended at order 39 or above, 2 when Escape
// stopped it.
EMSCRIPTEN_KEEPALIVE int murl13_frame_begin(double played)
{
    if (!running) return 0;
    if (pageSongPlaying()) {
        web::useSongClock(pageSongPlayed(int64_t(played)));
    }
    beginFrame();
    shareFrame();
    return 1;
}

EMSCRIPTEN_KEEPALIVE void murl13_draw_cells() { renderCellsFast(1); }

EMSCRIPTEN_KEEPALIVE int murl13_frame_finish()
{
    if (finishFrame()) return 1;
    const int outcome = demo.musicOrder >= FINAL_ORDER ? 0 : 2;
    endDemo();
    running = false;
    return outcome;
}

// The frame's values for the instances that draw shares of its rows: the
// page copies these bytes into theirs.
EMSCRIPTEN_KEEPALIVE const SharedFrame* murl13_shared_frame() { return &sharedFrame; }
EMSCRIPTEN_KEEPALIVE int murl13_shared_frame_size() { return int(sizeof(SharedFrame)); }

// Whether the frame's cells are ray-marched: the plasma and the warp take a
// tenth of a millisecond, less than a worker takes to answer.
EMSCRIPTEN_KEEPALIVE int murl13_frame_marched()
{
    return sharedFrame.values.effectId >= 1 && sharedFrame.values.effectId <= 8 ? 1 : 0;
}

// In a worker, once a frame: takes the frame's values that the page has
// copied to murl13_shared_frame(). The page's own instance never calls it: its
// values are its own, and a stop asked for while it draws must stay asked.
EMSCRIPTEN_KEEPALIVE void murl13_use_shared_frame()
{
    useCellFrame(sharedFrame.values);
    web::holdEscape(sharedFrame.escapeHeld != 0);
}

// Draws every `rowStep`-th row from `firstRow` of the frame into the cells.
EMSCRIPTEN_KEEPALIVE void murl13_draw_rows(int firstRow, int rowStep) { renderRowsFast(firstRow, rowStep); }

EMSCRIPTEN_KEEPALIVE void murl13_escape() { web::pressEscape(); }
EMSCRIPTEN_KEEPALIVE int murl13_box_open() { return web::errorBoxOpen() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void murl13_dismiss_box() { web::dismissErrorBox(); }
EMSCRIPTEN_KEEPALIVE int murl13_order() { return demo.musicOrder; }
// The cells last drawn (80 by 50, a 16-bit glyph then a 16-bit attribute).
EMSCRIPTEN_KEEPALIVE const CharInfo* murl13_cells() { return screenBuffer.data(); }
EMSCRIPTEN_KEEPALIVE double murl13_song_time() { return demo.timeSec; }
EMSCRIPTEN_KEEPALIVE int murl13_song_silent() { return pageSongSilent() ? 1 : 0; }

// A still frame from the frame command's options, one per line ("--time",
// "1.5", ...). Returns 0 when drawn, else the parser's status (its message
// went to the console).
EMSCRIPTEN_KEEPALIVE int murl13_still(const char* lines)
{
    std::vector<std::string> words;
    std::string word;
    for (const char* c = lines; *c; ++c) {
        if (*c == '\n') words.push_back(std::move(word)), word.clear();
        else word += *c;
    }
    if (!word.empty()) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    FrameRequest request;
    const int status = parseFrameRequest(int(argv.size()), argv.data(), request);
    if (status != 0) return status;
    renderRequestedFrame(request);
    presentFrame();
    return 0;
}

// The benchmark's schedule, a frame at a time from murl13_bench_start on:
// murl13_bench_begin sets the state of frame i of order `order` and takes the
// timeline and the view distance; the cells are drawn as in the show;
// murl13_bench_finish stamps the logos; murl13_bench_record keeps the time the
// page measured from the first of these to the last; murl13_bench_show shows
// the picture.
EMSCRIPTEN_KEEPALIVE void murl13_bench_start()
{
    startSchedule();
    benchTimes.clear();
    benchTimesByEffect.clear();
}

EMSCRIPTEN_KEEPALIVE void murl13_bench_begin(int order, int i)
{
    setScheduledState(order, i, BENCH_FRAMES_PER_ORDER);
    prepareFrame();
    shareFrame();
}

EMSCRIPTEN_KEEPALIVE void murl13_bench_finish() { stampOverlays(); }

EMSCRIPTEN_KEEPALIVE void murl13_bench_record(double ms)
{
    benchTimes.push_back(ms);
    benchTimesByEffect[demo.effectId].push_back(ms);
}

EMSCRIPTEN_KEEPALIVE void murl13_bench_show() { presentFrame(); }

// Figures of the frames so far: frames, frames/s, median, p95, max (ms), of
// effect `effect`, or of all frames for -1.
EMSCRIPTEN_KEEPALIVE const double* murl13_bench_summary(int effect)
{
    if (effect < 0) return summaryOf(benchTimes);
    return summaryOf(benchTimesByEffect[effect]);
}

EMSCRIPTEN_KEEPALIVE int murl13_bench_orders() { return BENCH_ORDER_COUNT; }
EMSCRIPTEN_KEEPALIVE int murl13_bench_frames_per_order() { return BENCH_FRAMES_PER_ORDER; }

}  // extern "C"
