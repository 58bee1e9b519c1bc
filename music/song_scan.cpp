// The headless scan: the playback tick loop without a device or a clock,
// keeping what the demo would see instead of sounding it.
#include "music/song_scan.h"

#include "music/tick_loop.h"

SongScan scanSong(const std::string& path, double maxSeconds)
{
    SongScan scan{false, {}, 0.0};
    music::TickLoop* loop = music::openTickLoop(path.c_str());
    if (loop == nullptr) return scan;
    scan.loaded = true;
    scan.events.push_back({0.0, false, 0});

    int order = 0;
    double time = 0.0;
    music::Tick tick;
    while (time < maxSeconds && music::playTick(loop, tick)) {
        // The first tick past the end belongs to the second pass.
        if (tick.wrapped) break;
        if (tick.order != order) {
            order = tick.order;
            scan.events.push_back({time, false, order});
        }
        for (int i = 0; i < tick.triggerCount; i++) scan.events.push_back({time, true, tick.triggers[i]});
        time += tick.seconds;
    }
    scan.endTime = time;
    music::closeTickLoop(loop);
    return scan;
}
