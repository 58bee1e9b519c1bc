// The program's entry point and its only loop: each frame reads the clock and
// the song position, lets the timeline pick the effect and camera, renders all
// cells, stamps the logos, presents the picture and lets the pulses decay.
#include "runtime/frame_loop.h"

#include <cmath>

#include "effects2d/effects2d.h"
#include "raymarch/march.h"
#include "runtime/cell_workers.h"
#include "state/console_host.h"
#include "state/demo_state.h"
#include "runtime/music_sync.h"
#include "runtime/overlays.h"
#include "state/player.h"

namespace {

// Seconds since the demo clock started. The difference is taken modulo 2^32 so
// that a run across the wrap of the millisecond counter carries on smoothly.
double secondsSinceStart()
{
    uint32_t elapsedMs = clockMs() - uint32_t(demo.startTimeMs);
    return double(elapsedMs) * double(0.001f);
}

// factor * sin(scale * t), rounded as the timeline rounds: the argument and the
// sine to single precision, the product in double, stored as single.
float wave(double scale, double t, double factor)
{
    float argument = float(scale * t);
    return float(factor * double(float(std::sin(double(argument)))));
}

Vector3 defaultCamera(double t)
{
    return {wave(double(0.2f), t, 100.0), wave(double(0.3f), t, 100.0), wave(double(0.1f), t, 100.0)};
}

// Scene 6 flies along a coarse channel; only its depth swings.
Vector3 channelCamera(double t) { return {90.0f, 90.0f, wave(double(0.3f), t, 100.0)}; }

// Scene 4 sweeps along the rods and circles around one of them.
Vector3 rodCamera(double t)
{
    float half = float(0.5 * t);
    return {wave(double(0.3f), t, 100.0),
            float(6.0 * double(float(std::cos(double(half)))) + 6.0),
            float(6.0 * double(float(std::sin(double(half)))) + 6.0)};
}

// 100 * sin(T / 4) with T and T / 4 rounded to single precision.
float viewSwell(double t)
{
    float quarter = float(0.25 * double(float(t)));
    return float(100.0 * double(float(std::sin(double(quarter)))));
}

}  // namespace

void applyTimeline()
{
    const int order = demo.musicOrder;
    const double t = demo.timeSec;
    int effect = 0;
    Vector3 camera = defaultCamera(t);
    if (order < 2) effect = 0;
    else if (order <= 3) effect = 9;
    else if (order <= 5) effect = 2;
    else if (order == 6) effect = 1;
    else if (order <= 9) effect = 5;
    else if (order == 10) effect = 2;
    else if (order <= 18) effect = 6, camera = channelCamera(t);
    else if (order <= 23) effect = 4, camera = rodCamera(t);
    else if (order == 24) effect = 9;
    else if (order <= 26) effect = 1;
    else if (order <= 28) effect = 2;
    else if (order <= 30) effect = 6, camera = channelCamera(t);
    else if (order <= 38) effect = 3;
    else effect = 0;
    demo.effectId = effect;
    demo.cameraPos = camera;
}

void updateViewDistance()
{
    if (demo.musicOrder < 4 && demo.viewDistance < 96.0f) demo.viewDistance = viewSwell(demo.timeSec);
    if (demo.musicOrder >= 38) {
        if (demo.viewDistance > -10.0f) demo.viewDistance = viewSwell(demo.timeSec - 1.0);
        if (demo.viewDistance < 0.0f) demo.viewDistance = 0.0f;
    }
}

void renderCells()
{
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
            demo.cellX = x;
            demo.cellY = y;
            demo.cellU = float(x - 40);
            demo.cellV = float(y - 25);
            const int effect = demo.effectId;
            if (effect >= 1 && effect <= 8) marchCell();
            else if (effect == 0) plasmaCell();
            else if (effect == 9) warpCell();
        }
    }
}

void decayPulses()
{
    const double elapsed = demo.timeSec - demo.prevTimeSec;
    float accent = relaxedLoad(demo.accentPulse);
    float beat = relaxedLoad(demo.beatPulse);
    if (accent > 0.0f) {
        accent = float(double(accent) - elapsed * 7.0);
        relaxedStore(demo.accentPulse, accent);
    }
    if (beat > 0.0f) {
        beat = float(double(beat) - elapsed * 8.0);
        relaxedStore(demo.beatPulse, beat);
    }
    if (accent < 0.0f) relaxedStore(demo.accentPulse, 0.0f);
    if (beat < 0.0f) relaxedStore(demo.beatPulse, 0.0f);
    demo.prevTimeSec = demo.timeSec;
}

void prepareFrame()
{
    applyTimeline();
    updateViewDistance();
}

void renderFrame(int cellThreads)
{
    prepareFrame();
    renderCellsFast(cellThreads);
    stampOverlays();
}

void startDemo()
{
    // Console, clock, music: the clock starts before the song loads.
    openConsole();
    demo.startTimeMs = double(clockMs());
    initMusic();
    FMUSIC_PlaySong(demo.song);
}

void beginFrame()
{
    demo.timeSec = secondsSinceStart();            // 1. clock
    demo.musicOrder = FMUSIC_GetOrder(demo.song);  // 2. song position
    prepareFrame();                                // 3.-4. effect and camera, view distance
}

bool finishFrame()
{
    stampOverlays();                                    // 6. logos
    presentFrame();                                     // 7. show it
    decayPulses();                                      // 8. pulses fall
    if (demo.musicOrder >= FINAL_ORDER) return false;  // 9. the song's end,
    return escapeHeld() == 0;                           //    or Escape
}

bool runFrame(int cellThreads)
{
    beginFrame();
    renderCellsFast(cellThreads);  // 5. all cells
    return finishFrame();
}

void endDemo() { FMUSIC_FreeSong(demo.song); }

int runDemo()
{
    startDemo();
    const int cellThreads = defaultCellThreads();
    while (runFrame(cellThreads)) {
    }
    endDemo();
    return 0;
}
