// The song's first stereo frames as the native decoder makes them, 16-bit
// little-endian to stdout, for the page's test to compare its WebAssembly
// decoder with: web_song_samples SONG FRAMES
#include <cstdio>
#include <cstdlib>

#include "music/tick_loop.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: web_song_samples SONG FRAMES\n", stderr);
        return 2;
    }
    music::TickLoop* loop = music::openTickLoop(argv[1]);
    if (loop == nullptr) {
        std::fprintf(stderr, "web_song_samples: cannot load '%s'\n", argv[1]);
        return 1;
    }
    long left = std::atol(argv[2]);
    music::Tick tick;
    while (left > 0 && music::playTick(loop, tick)) {
        const long frames = tick.frames < left ? tick.frames : left;
        std::fwrite(tick.samples, sizeof(int16_t) * music::MIX_CHANNELS, size_t(frames), stdout);
        left -= frames;
    }
    music::closeTickLoop(loop);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
