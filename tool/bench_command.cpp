// murl13-tool bench: renders a fixed schedule of the whole show, the same on
// every run and machine, and reports the frame times per effect and overall.
// Each frame is set up from the schedule (time, order, beats, pulses), goes
// through the timeline, the view-distance rules, the cell loop and the logos
// as in the demo, and is encoded for a terminal into a byte counter. Each
// frame is then rasterised at the window's usual scale, timed on its own.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "raster/rasterise.h"
#include "raymarch/fast_march.h"
#include "runtime/bench_schedule.h"
#include "runtime/cell_workers.h"
#include "state/demo_state.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"
#include "hosts/terminal/frame_encoder.h"
#include "music/file_names.h"
#include "tool/options.h"
#include "tool/raw_cells.h"
#include "tool/tool.h"

namespace {

const char USAGE[] =
    "usage: murl13-tool bench [--frames-per-order N] [--threads K] [--reference]\n"
    "         [--lanes auto|scalar|vector]" NOT_ON_WINDOWS(" [--cpu-clock]") " [--frames FILE]\n"
    "\n"
    "Renders orders 0 to 39, order o spanning song time [4o, 4o + 4) seconds,\n"
    "N frames per order at 4o + 4(i + 0.5)/N, with beatCount = floor(t / 0.5),\n"
    "beatPulse = max(0, 3 - 8 (t mod 0.5)), accentPulse = max(0, 3 - 7 (t mod 2)),\n"
    "and prints the frame times (timeline to terminal bytes) per effect and overall:\n"
    "median and p95 by nearest rank, frames/s as frames over the sum of their times;\n"
    "then the time to rasterise each frame at scale 2 (1280 by 800 pixels).\n"
    "  --frames-per-order N  frames per order, 1 to 10000 (default 10)\n"
    "  --threads K           threads sharing the cell loop, 1 to 256\n"
    "                        (default: the machine's cores)\n"
    "  --reference           the straightforward path: one thread, every value\n"
    "                        computed per cell, the library fmod\n"
    "  --lanes L             how the demo's loop marches rays: vector (four per\n"
    "                        AVX2 register), scalar, or auto (default: vector\n"
    "                        where the processor has AVX2)\n"
    NOT_ON_WINDOWS("  --cpu-clock           time frames by this thread's processor time, not the\n"
                   "                        wall clock: steadier while other programs share the\n"
                   "                        machine, blind to worker threads (use with\n"
                   "                        --threads 1 or --reference)\n")
    "  --frames FILE         also write every frame to FILE: 4,000 cells each,\n"
    "                        a 16-bit glyph then a 16-bit attribute, little-endian\n";

constexpr int TERMINAL_ROWS = SCREEN_ROWS;
constexpr int TERMINAL_COLUMNS = SCREEN_COLUMNS;
constexpr int RASTER_SCALE = 2;

struct BenchOptions {
    int framesPerOrder = BENCH_FRAMES_PER_ORDER;
    int threads = 0;  // 0: one per core
    bool reference = false;
    MarchLanes lanes = MarchLanes::Auto;
    bool cpuClock = false;
    const char* framesFile = nullptr;
};

struct FrameRecord {
    int effect;
    double ms;
    size_t bytes;
};

int usageError(const char* message, const char* value)
{
    return ::usageError("bench", USAGE, message, value);
}

// Returns 0 when every option was understood, -1 after --help, else the usage
// error status.
int parseOptions(int argc, char** argv, BenchOptions& options)
{
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* option = argv[i];
        auto is = [option](const char* name) { return std::strcmp(option, name) == 0; };
        if (!optionsEnded && is("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || option[0] != '-') return usageError("unexpected argument", option);
        if (is("--help") || is("-h")) return printText(USAGE) == 0 ? -1 : 1;
        if (is("--reference")) {
            options.reference = true;
            continue;
        }
        if (is("--cpu-clock")) {
#ifdef _WIN32
            std::fputs("murl13-tool bench: --cpu-clock is not in the Windows build: Windows counts a thread's\n"
                       "processor time in steps of 10 to 16 ms, coarser than a frame; use the wall clock\n",
                       stderr);
            return USAGE_ERROR;
#endif
            options.cpuClock = true;
            continue;
        }
        if (!isOneOf(option, {"--frames-per-order", "--threads", "--lanes", "--frames"}))
            return usageError("unknown option", option);
        if (i + 1 >= argc) return usageError("missing value for", option);
        const char* value = argv[++i];
        if (is("--frames-per-order")) {
            auto n = parseInteger(value, 1, 10000);
            if (!n) return usageError("bad frame count (1 to 10000)", value);
            options.framesPerOrder = int(*n);
        } else if (is("--threads")) {
            auto k = parseInteger(value, 1, 256);
            if (!k) return usageError("bad thread count (1 to 256)", value);
            options.threads = int(*k);
        } else if (is("--lanes")) {
            if (std::strcmp(value, "auto") == 0) options.lanes = MarchLanes::Auto;
            else if (std::strcmp(value, "scalar") == 0) options.lanes = MarchLanes::Scalar;
            else if (std::strcmp(value, "vector") == 0) options.lanes = MarchLanes::Vector;
            else return usageError("bad lanes (auto, scalar or vector)", value);
        } else if (is("--frames")) {
            options.framesFile = value;
        } else {
            return usageError("unknown option", option);
        }
    }
    if (options.reference && options.threads > 1) return usageError("--reference runs on one thread", nullptr);
    return 0;
}

// Milliseconds on the wall clock, or of this thread's processor time.
double nowMs(bool cpuClock)
{
    if (!cpuClock)
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1.0e6;
}

struct Summary {
    size_t frames;
    double median, p95, max, totalMs, medianBytes;
};

Summary summarise(const std::vector<FrameRecord>& records)
{
    std::vector<double> ms, bytes;
    for (const FrameRecord& r : records) {
        ms.push_back(r.ms);
        bytes.push_back(double(r.bytes));
    }
    const FrameTimes times = summariseTimes(ms);
    return {times.frames, times.median, times.p95, times.max, times.totalMs, percentile(bytes, 0.5)};
}

}  // namespace

int toolBench(int argc, char** argv)
{
    BenchOptions options;
    const int status = parseOptions(argc, argv, options);
    if (status == -1) return 0;
    if (status != 0) return status;

    int threads = 1;
    if (!options.reference) threads = options.threads > 0 ? options.threads : defaultCellThreads();

    if (!chooseMarchLanes(options.lanes) && options.lanes == MarchLanes::Vector) {
        std::fprintf(stderr, "murl13-tool bench: this processor has no AVX2 for the vector lanes\n");
        return 1;
    }

    std::FILE* framesFile = nullptr;
    if (options.framesFile) {
        framesFile = music::openFile(options.framesFile, "wb");
        if (!framesFile) {
            std::perror(options.framesFile);
            return 1;
        }
    }

    startSchedule();
    ScreenBuffer shown{};
    bool anyShown = false;
    std::string bytes;
    std::vector<FrameRecord> records;
    records.reserve(size_t(BENCH_ORDER_COUNT) * size_t(options.framesPerOrder));
    std::vector<uint8_t> pixels(raster::pictureBytes(RASTER_SCALE));
    std::vector<double> rasterMs;

    for (int order = 0; order < BENCH_ORDER_COUNT; ++order) {
        for (int i = 0; i < options.framesPerOrder; ++i) {
            setScheduledState(order, i, options.framesPerOrder);
            bytes.clear();
            const double start = nowMs(options.cpuClock);
            applyTimeline();
            updateViewDistance();
            if (options.reference) renderCells();
            else renderCellsFast(threads);
            stampOverlays();
            terminal::encodeFrame(anyShown ? &shown : nullptr, screenBuffer, TERMINAL_ROWS, TERMINAL_COLUMNS,
                                  bytes);
            const double end = nowMs(options.cpuClock);
            shown = screenBuffer;
            anyShown = true;
            records.push_back({demo.effectId, end - start, bytes.size()});
            const auto rasterStart = std::chrono::steady_clock::now();
            raster::rasteriseCells(screenBuffer.data(), RASTER_SCALE, pixels.data(),
                                   raster::pictureRowBytes(RASTER_SCALE));
            rasterMs.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - rasterStart).count());
            if (framesFile && !writeRawCells(framesFile)) {
                std::perror(options.framesFile);
                std::fclose(framesFile);
                return 1;
            }
        }
    }
    if (framesFile && std::fclose(framesFile) != 0) {
        std::perror(options.framesFile);
        return 1;
    }

    std::map<int, std::vector<FrameRecord>> byEffect;
    for (const FrameRecord& r : records) byEffect[r.effect].push_back(r);
    for (const auto& [effect, list] : byEffect) {
        const Summary s = summarise(list);
        std::printf("effect %d: %zu frames, median %.2f ms, p95 %.2f ms, max %.2f ms, %.0f bytes/frame\n", effect,
                    s.frames, s.median, s.p95, s.max, s.medianBytes);
    }
    const Summary all = summarise(records);
    std::printf("overall: %.1f frames/s, median %.2f ms, p95 %.2f ms, max %.2f ms, %.0f bytes/frame\n",
                1000.0 * double(all.frames) / all.totalMs, all.median, all.p95, all.max, all.medianBytes);
    std::printf("raster: scale %d (%dx%d), median %.3f ms, p95 %.3f ms, max %.3f ms\n", RASTER_SCALE,
                raster::PICTURE_WIDTH * RASTER_SCALE, raster::PICTURE_HEIGHT * RASTER_SCALE,
                percentile(rasterMs, 0.5), percentile(rasterMs, 0.95), percentile(rasterMs, 1.0));
    return std::fflush(stdout) == 0 ? 0 : 1;
}
