// Reading a song headless: the same tick loop as playback, without a device and
// without pacing, reporting what the demo would see.
#pragma once

#include <string>
#include <vector>

struct SongEvent {
    double time;     // song time in seconds: the sum of the tick durations before it
    bool isTrigger;  // false: the order position changed to `value`
    int value;       // the new order, or the triggered instrument (from 1)
};

struct SongScan {
    bool loaded;                    // false when the file is not a module that loads
    std::vector<SongEvent> events;  // starts with the order at time 0
    double endTime;                 // song time when the scan stopped
};

// Scans until the end of one pass of the song or maxSeconds of song time,
// whichever comes first.
SongScan scanSong(const std::string& path, double maxSeconds);
