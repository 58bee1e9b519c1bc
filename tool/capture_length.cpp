#include "tool/capture_length.h"

#include "music/tick_loop.h"

int64_t showFrameCount(const char* songPath, int fps, int finalOrder, int64_t limit)
{
    music::TickLoop* loop = music::openTickLoop(songPath);
    if (loop == nullptr) return -1;
    int64_t decoded = 0;  // stereo frames decoded: where the next tick starts
    int order = 0;
    int64_t frame = 0;
    for (bool ended = false; frame < limit && !ended; ++frame) {
        const int64_t start = frame * music::MIX_RATE / fps;
        music::Tick tick;
        while (decoded <= start) {
            if (!music::playTick(loop, tick) || tick.wrapped) {
                // This frame would hear the song end or start again: not shown.
                music::closeTickLoop(loop);
                return frame;
            }
            order = tick.order;
            decoded += tick.frames;
        }
        ended = order >= finalOrder;
    }
    music::closeTickLoop(loop);
    return frame;
}
