// The WebAssembly core under node, for scripts/check_wasm_lanes.py: renders
// frames with the demo's cell loop on one thread, with the vector lanes or
// the scalar ones, and writes their cells in the workbench's raw format.
//
//   node murl13-lanes-check.js bench scalar|vector FRAMES [PASSES]
//     the benchmark's schedule, PASSES times over (default 1), the last
//     pass written; prints node's processor time for the cell loop and the
//     logos of each frame, by effect and for all.
//   node murl13-lanes-check.js guards vector
//     the lanes' sine, cosine and wobble against this build's library (musl,
//     whose sine and cosine differ from glibc's in the last bit of a few
//     percent of doubles) on random values and the hard ones: near multiples
//     of pi/4, the domain's edges, zeros, subnormals, infinities, NaN.
//   node murl13-lanes-check.js states scalar|vector STATES FRAMES
//     one frame per line of STATES, each line options of `murl13-tool frame`
//     (--time --order --beats --accent --beat-pulse --view --overlay-x
//     --overlay-y --hit-material --effect --camera), set up as that command
//     sets them up.
#include <emscripten.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <sstream>
#include <string>
#include <map>
#include <random>
#include <vector>

#include "raymarch/fast_march.h"
#include "runtime/bench_schedule.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"
#include "raymarch/rod_wobble.h"
#include "runtime/overlays.h"
#include "state/console_host.h"
#include "state/demo_state.h"
#include "tool/raw_cells.h"

// No console here: Escape is never held.
uint16_t escapeHeld() { return 0; }

namespace {

// The processor time of node's process in milliseconds: steadier than the
// wall clock while other programs share the machine (node's own compiler and
// collector threads count too, but they are idle once the code is hot).
EM_JS(double, processCpuMs, (), {
    const use = process.cpuUsage();
    return (use.user + use.system) / 1000;
});

// The schedule `passes` times over (the passes before the last let the
// engine compile the code it runs most to its optimised tier); writes the
// last pass's frames and prints its processor time per frame by effect.
int bench(std::FILE* frames, int passes)
{
    std::map<int, std::vector<double>> times;
    for (int pass = 1; pass <= passes; ++pass) {
        startSchedule();
        times.clear();
        for (int order = 0; order < BENCH_ORDER_COUNT; ++order) {
            for (int i = 0; i < BENCH_FRAMES_PER_ORDER; ++i) {
                setScheduledState(order, i, BENCH_FRAMES_PER_ORDER);
                const double start = processCpuMs();
                applyTimeline();
                updateViewDistance();
                renderCellsFast(1);
                stampOverlays();
                const double ms = processCpuMs() - start;
                times[demo.effectId].push_back(ms);
                times[-1].push_back(ms);
                if (pass == passes && !writeRawCells(frames)) return 1;
            }
        }
    }
    for (const auto& [effect, ms] : times) {
        const FrameTimes t = summariseTimes(ms);
        const std::string name = effect < 0 ? "overall" : "effect " + std::to_string(effect);
        std::printf("    %s: %3zu frames, median %.2f ms, p95 %.2f ms, max %.2f ms\n", name.c_str(), t.frames, t.median,
                    t.p95, t.max);
    }
    return 0;
}

uint32_t bitsOf(float v) { return std::bit_cast<uint32_t>(v); }

int guards()
{
    std::vector<float> x;
    for (double n = 1.0; n * 0.7853981633974483 < 1100000.0; n = n < 64.0 ? n + 1.0 : std::floor(n * 1.3))
        for (int d = -4; d <= 4; ++d) x.push_back(std::bit_cast<float>(bitsOf(float(n * 0.7853981633974483)) + d));
    for (int d = -64; d < 64; ++d) x.push_back(std::bit_cast<float>(bitsOf(0x1p20f) + d));
    for (float v : {0.0f, 0x1p-149f, 0x1p-126f, 0x1p-20f, INFINITY, NAN, 3.6e6f}) x.push_back(v);
    std::mt19937 random(29);
    for (int i = 0; i < 400000; ++i)
        x.push_back(i % 2 ? std::bit_cast<float>(uint32_t(random())) : float(random() % 40000) / 1000.0f);
    for (size_t i = 0, n = x.size(); i < n; ++i) x.push_back(-x[i]);
    const int count = int(x.size());
    std::vector<float> s(x.size()), c(x.size()), alone(x.size()), w(x.size());
    sinCosByLanes(x.data(), count, s.data(), c.data(), alone.data());
    int trigDiffer = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t sine = bitsOf(float(std::sin(double(x[i])))), cosine = bitsOf(float(std::cos(double(x[i]))));
        trigDiffer += bitsOf(s[i]) != sine || bitsOf(alone[i]) != sine || bitsOf(c[i]) != cosine;
    }
    int wobbleDiffer = 0, wobbles = 0;
    for (const double t : {77.7, 0.0, 1.0e9})
        for (const double beat : {2.4000000953674316, 0.0, 1.0e6}) {
            wobbleByLanes(x.data(), count, t, beat, w.data());
            for (int i = 0; i < count; ++i, ++wobbles) wobbleDiffer += bitsOf(w[i]) != bitsOf(rods::wobble(x[i], t, beat));
        }
    std::printf("sine and cosine: %d values, %d differ from the library; wobble: %d values, %d differ\n", count,
                trigDiffer, wobbles, wobbleDiffer);
    return trigDiffer == 0 && wobbleDiffer == 0 ? 0 : 1;
}

// One line of options; false on one it does not know or a missing value.
bool renderState(const std::string& line)
{
    resetDemoState();
    overlayRandomState = 1;
    std::istringstream words(line);
    std::string option, value;
    int effect = -1;
    bool haveCamera = false;
    Vector3 camera{0, 0, 0};
    while (words >> option) {
        if (!(words >> value)) return false;
        const char* v = value.c_str();
        if (option == "--time") demo.timeSec = std::strtod(v, nullptr);
        else if (option == "--order") demo.musicOrder = std::atoi(v);
        else if (option == "--beats") {
            relaxedStore(demo.beatCount, std::atoi(v));
            demo.lastBeatCount = std::atoi(v);
        } else if (option == "--accent") relaxedStore(demo.accentPulse, std::strtof(v, nullptr));
        else if (option == "--beat-pulse") relaxedStore(demo.beatPulse, std::strtof(v, nullptr));
        else if (option == "--view") demo.viewDistance = std::strtof(v, nullptr);
        else if (option == "--overlay-x") demo.overlayX = std::atoi(v);
        else if (option == "--overlay-y") demo.overlayY = std::atoi(v);
        else if (option == "--hit-material") demo.hitMaterial = std::atoi(v);
        else if (option == "--effect") effect = std::atoi(v);
        else if (option == "--camera") {
            haveCamera = std::sscanf(v, "%f,%f,%f", &camera.x, &camera.y, &camera.z) == 3;
            if (!haveCamera) return false;
        } else return false;
    }
    applyTimeline();
    updateViewDistance();
    if (effect >= 0) demo.effectId = effect;
    if (haveCamera) demo.cameraPos = camera;
    renderCellsFast(1);
    stampOverlays();
    return true;
}

int states(std::FILE* in, std::FILE* frames)
{
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, in)) {
        const std::string line(buffer);
        if (line.find_first_not_of(" \t\r\n") == std::string::npos) continue;
        if (!renderState(line)) {
            std::fprintf(stderr, "bad state: %s", buffer);
            return 2;
        }
        if (!writeRawCells(frames)) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[2], "scalar") != 0 && std::strcmp(argv[2], "vector") != 0)) {
        std::fputs("usage: murl13-lanes-check guards vector | bench LANES FRAMES [PASSES] | states LANES STATES FRAMES\n",
                   stderr);
        return 2;
    }
    const bool vector = std::strcmp(argv[2], "vector") == 0;
    if (chooseMarchLanes(vector ? MarchLanes::Vector : MarchLanes::Scalar) != vector) {
        std::fputs("murl13-lanes-check: this build has no vector lanes\n", stderr);
        return 1;
    }
    int status = 2;
    if (std::strcmp(argv[1], "guards") == 0 && vector) {
        status = guards();
    } else if (argc < 4) {
        std::fputs("murl13-lanes-check: missing files\n", stderr);
    } else if (std::strcmp(argv[1], "bench") == 0) {
        std::FILE* frames = std::fopen(argv[3], "wb");
        if (!frames) return 1;
        status = bench(frames, argc > 4 ? std::max(1, std::atoi(argv[4])) : 1);
        if (std::fclose(frames) != 0) status = 1;
    } else if (argc > 4 && std::strcmp(argv[1], "states") == 0) {
        std::FILE* in = std::fopen(argv[3], "r");
        std::FILE* frames = std::fopen(argv[4], "wb");
        if (!in || !frames) return 1;
        status = states(in, frames);
        std::fclose(in);
        if (std::fclose(frames) != 0) status = 1;
    }
    return status;
}
