// The song's first stereo frames from the native decoder, 16-bit to stdout,
// for the page's decoder test: web_song_samples SONG FRAMES
#include <cstdio>
#include <cstdlib>

#include "music/tick_loop.h"

int main(int argc, char** argv)
{
    music::TickLoop* loop = argc == 3 ? music::openTickLoop(argv[1]) : nullptr;
    if (loop == nullptr) return std::fputs("usage: web_song_samples SONG FRAMES (a song that loads)\n", stderr), 2;
    music::Tick tick;
    for (long left = std::atol(argv[2]); left > 0 && music::playTick(loop, tick); left -= tick.frames)
        std::fwrite(tick.samples, sizeof(int16_t) * music::MIX_CHANNELS, size_t(tick.frames < left ? tick.frames : left),
                    stdout);
    music::closeTickLoop(loop);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
