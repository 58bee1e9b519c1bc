// SDL2 audio, or the silent pacer where SDL has no real device to offer.
#define SDL_MAIN_HANDLED
#include "music/sound_output.h"

#include "music/fade_out.h"
#include "music/paced_feed.h"
#include "music/tick_loop.h"

#include <SDL.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace music {

constexpr int DEVICE_BUFFER_FRAMES = 1024;  // frames per pull of SDL's audio callback
// Longest wait for the device to play the fade out (a few of its buffers).
constexpr std::chrono::milliseconds FADE_OUT_WAIT_LIMIT{200};

// A pacer that fell this far behind its clock (seconds: the machine was
// suspended, the process stopped) starts afresh from now instead of rushing
// through the backlog in a burst of ticks.
constexpr double PACER_GIVE_UP_CATCHING_UP = 0.25;

using SteadyClock = std::chrono::steady_clock;

struct SoundOutput {
    TickRenderer render;
    void* user;
    bool silent;                       // the pacer runs instead of a device
    OutputClock clock;                 // the pacer's: now always set; a null wait is a real one

    // --- the device; the feed is touched only by SDL's audio thread once it runs
    SDL_AudioDeviceID device;          // 0 when none is open
    PacedFeed feed;
    OutputClock deviceClock;           // both set: its waits block SDL's audio thread

    // --- the pacer
    std::thread pacer;
    std::mutex mutex;
    std::condition_variable wake;      // signalled when stopping is set
    bool stopping;                     // guarded by mutex

    FadeOut fade;                      // the device's, asked for when stopping
};

// Runs `open` with file descriptor 2 pointed at /dev/null. ALSA and the sound
// servers' client libraries print to it directly when there is no card or no
// server, and the demo's screen is the terminal.
template <typename Open>
static auto quietly(Open open)
{
#ifdef _WIN32
    return open();  // Windows' audio drivers write nothing to the program's stderr
#else
    std::fflush(stderr);
    int saved = dup(STDERR_FILENO);
    int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && devNull >= 0) dup2(devNull, STDERR_FILENO);
    if (devNull >= 0) close(devNull);
    auto result = open();
    std::fflush(stderr);
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    return result;
#endif
}

// The real clock: seconds on the steady clock, and waits on it.
static double steadySeconds()
{
    return std::chrono::duration<double>(SteadyClock::now().time_since_epoch()).count();
}

static SteadyClock::time_point steadyTimePoint(double seconds)
{
    return SteadyClock::time_point(std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds)));
}

static void sleepUntil(double seconds) { std::this_thread::sleep_until(steadyTimePoint(seconds)); }

bool initSoundSystem()
{
    return quietly([] { return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; });
}

// SDL's dummy and disk drivers accept any device but play nothing in real
// time (the disk driver writes a file), so they count as no device at all.
static bool isRealDriver(const char* driver)
{
    if (driver == nullptr) return false;
    return std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0;
}

// SDL's audio thread: fill the device's buffer with the ticks due by the
// clock, faded out once stopping has begun. A device that pulls faster than
// real time (ALSA's null device) is kept waiting here, a little at a time,
// instead of calling back at once and keeping a core busy.
static void fillDeviceBuffer(void* userData, Uint8* stream, int length)
{
    SoundOutput* output = static_cast<SoundOutput*>(userData);
    int16_t* samples = reinterpret_cast<int16_t*>(stream);
    const int frames = length / static_cast<int>(MIX_CHANNELS * sizeof(int16_t));
    pullFrames(output->feed, samples, frames, output->deviceClock);
    applyFadeOut(output->fade, samples, frames);
}

static SDL_AudioDeviceID openDevice(SoundOutput* output)
{
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = MIX_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = MIX_CHANNELS;
    wanted.samples = DEVICE_BUFFER_FRAMES;
    wanted.callback = fillDeviceBuffer;
    wanted.userdata = output;
    SDL_AudioSpec obtained;
    // No changes allowed: SDL converts to whatever the device takes.
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
}

// The pacer's wait until `due` on its clock; a real one ends early when
// stopping is set. Called and returns with the lock held.
static void pacerWait(SoundOutput* output, std::unique_lock<std::mutex>& lock, double due)
{
    if (output->clock.waitUntil != nullptr) {
        lock.unlock();
        output->clock.waitUntil(due);
        lock.lock();
        return;
    }
    output->wake.wait_until(lock, steadyTimePoint(due), [output] { return output->stopping; });
}

// The pacer: one tick per tick duration on the clock, measured from a fixed
// start so that the waits' own lateness does not add up.
static void runPacer(SoundOutput* output)
{
    double due = output->clock.now();
    std::unique_lock<std::mutex> lock(output->mutex);
    while (!output->stopping) {
        lock.unlock();
        TickAudio audio;
        bool played = output->render(output->user, audio) && isPlayableTick(audio);
        lock.lock();
        if (!played) {
            output->wake.wait(lock, [output] { return output->stopping; });
            break;
        }
        due += audio.seconds;
        const double now = output->clock.now();
        if (now - due > PACER_GIVE_UP_CATCHING_UP) due = now;
        pacerWait(output, lock, due);
    }
}

SoundOutput* startSoundOutput(TickRenderer render, void* user, OutputClock clock)
{
    SoundOutput* output = new SoundOutput{};
    output->render = render;
    output->user = user;
    if (clock.now == nullptr) clock.now = steadySeconds;
    output->clock = clock;
    output->deviceClock = {clock.now, clock.waitUntil != nullptr ? clock.waitUntil : sleepUntil};
    output->feed.render = render;
    output->feed.user = user;
    if (initSoundSystem()) {
        if (isRealDriver(SDL_GetCurrentAudioDriver()))
            output->device = quietly([output] { return openDevice(output); });
        if (output->device == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (output->device != 0) {
        SDL_PauseAudioDevice(output->device, 0);
    } else {
        output->silent = true;
        output->pacer = std::thread(runPacer, output);
    }
    return output;
}

bool isSilentOutput(const SoundOutput* output) { return output != nullptr && output->silent; }

void stopSoundOutput(SoundOutput* output)
{
    if (output == nullptr) return;
    if (output->device != 0) {
        fadeOutAndWait(output->fade, FADE_OUT_WAIT_LIMIT);
        // Closing waits for SDL's audio thread, so no callback is under way
        // or still to come once it returns.
        SDL_CloseAudioDevice(output->device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (output->pacer.joinable()) {
        {
            std::lock_guard<std::mutex> lock(output->mutex);
            output->stopping = true;
        }
        output->wake.notify_all();
        output->pacer.join();
    }
    delete output;
}

}  // namespace music
