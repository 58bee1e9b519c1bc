// The WebAssembly side of the page's equality tests, run by node
// (wasm_core_test.mjs): cells of still frames and of the benchmark's schedule,
// and the song's samples, for comparison with the native build's.
#include <emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "music/tick_loop.h"
#include "runtime/bench_schedule.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"
#include "state/demo_state.h"
#include "tool/frame_request.h"

namespace {

std::vector<uint8_t> output;

// The cells as the workbench writes them raw: a 16-bit glyph, then a 16-bit
// attribute, little-endian.
void appendCells()
{
    for (const CharInfo& cell : screenBuffer) {
        output.push_back(uint8_t(cell.glyph & 0xff));
        output.push_back(uint8_t(cell.glyph >> 8));
        output.push_back(uint8_t(cell.attr & 0xff));
        output.push_back(uint8_t(cell.attr >> 8));
    }
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const uint8_t* check_output() { return output.data(); }

// One frame from the frame command's options, separated by spaces; returns
// the bytes of its cells, or -1 when the options are refused.
EMSCRIPTEN_KEEPALIVE int check_frame(const char* options)
{
    std::vector<std::string> words(1);
    for (const char* c = options; *c; ++c) {
        if (*c == ' ') words.emplace_back();
        else words.back() += *c;
    }
    std::vector<char*> argv;
    for (std::string& w : words)
        if (!w.empty()) argv.push_back(w.data());
    FrameRequest request;
    if (parseFrameRequest(int(argv.size()), argv.data(), request) != 0) return -1;
    renderRequestedFrame(request);
    output.clear();
    appendCells();
    return int(output.size());
}

// Every frame of the benchmark's schedule as the page draws it (the fast cell
// loop on one thread), one after the other.
EMSCRIPTEN_KEEPALIVE int check_bench(int framesPerOrder)
{
    output.clear();
    startSchedule();
    for (int order = 0; order < BENCH_ORDER_COUNT; ++order) {
        for (int i = 0; i < framesPerOrder; ++i) {
            setScheduledState(order, i, framesPerOrder);
            applyTimeline();
            updateViewDistance();
            renderCellsFast(1);
            stampOverlays();
            appendCells();
        }
    }
    return int(output.size());
}

// The song's first `frames` stereo frames as 16-bit samples; -1 when it does
// not load.
EMSCRIPTEN_KEEPALIVE int check_samples(const char* song, int frames)
{
    music::TickLoop* loop = music::openTickLoop(song);
    if (loop == nullptr) return -1;
    output.clear();
    music::Tick tick;
    const size_t bytes = size_t(frames) * music::MIX_CHANNELS * sizeof(int16_t);
    while (output.size() < bytes && music::playTick(loop, tick)) {
        const auto* first = reinterpret_cast<const uint8_t*>(tick.samples);
        output.insert(output.end(), first, first + size_t(tick.frames) * music::MIX_CHANNELS * sizeof(int16_t));
    }
    music::closeTickLoop(loop);
    if (output.size() > bytes) output.resize(bytes);
    return int(output.size());
}

}  // extern "C"
