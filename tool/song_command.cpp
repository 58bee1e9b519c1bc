// murl13-tool song: what the demo would see of a module, read as fast as the
// decoder goes: the order changes and the instrument triggers with their song
// times, one line each.
#include "tool/tool.h"

#include "music/song_scan.h"
#include "tool/options.h"
#include "tool/song_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char SONG_USAGE[] =
    "usage: murl13-tool song FILE [--seconds S]\n"
    "  Plays FILE without sound and without waiting, and prints one line per event:\n"
    "    TIME order N      the order-list position changed to N (0.000 order 0 first)\n"
    "    TIME trigger I    a note of instrument I started\n"
    "  then 'end TIME'. TIME is song time in seconds. It stops at the end of one\n"
    "  pass of the song, or after S seconds of song time if that comes first.\n"
    "  A FILE without a folder not in the working directory is looked for in the\n"
    "  installed data folder, as the demo looks for its song.\n";

// Without --seconds the scan stops at the end of the song's first pass; this
// only bounds a song whose end libxmp cannot find.
constexpr double DEFAULT_MAX_SECONDS = 3600.0;

static int usageError(const char* message, const char* value = nullptr)
{
    return usageError("song", SONG_USAGE, message, value);
}

int toolSong(int argc, char** argv)
{
    const char* file = nullptr;
    double maxSeconds = DEFAULT_MAX_SECONDS;
    bool optionsEnded = false;
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        const bool isOption = !optionsEnded && arg[0] == '-' && arg[1] != '\0';
        if (isOption && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (isOption && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) return printText(SONG_USAGE);
        if (isOption && std::strcmp(arg, "--seconds") == 0) {
            if (i + 1 >= argc) return usageError("missing value for", arg);
            const auto seconds = parseDouble(argv[++i]);
            if (!seconds || *seconds < 0.0) return usageError("bad number of seconds (0 or more)", argv[i]);
            maxSeconds = *seconds;
            continue;
        }
        if (isOption) return usageError("unknown option", arg);
        if (file != nullptr) return usageError("more than one FILE", arg);
        file = arg;
    }
    if (file == nullptr) return usageError("no FILE given");

    SongScan scan = scanSong(songFile(file), maxSeconds);
    if (!scan.loaded) {
        std::fprintf(stderr, "murl13-tool song: %s\n", songLoadFailure(file).c_str());
        return 1;
    }
    for (const SongEvent& event : scan.events) {
        std::printf("%.3f %s %d\n", event.time, event.isTrigger ? "trigger" : "order", event.value);
        if (std::ferror(stdout)) break;
    }
    std::printf("end %.3f\n", scan.endTime);
    // A listing cut short (a full disk, a closed stdout) is a failure.
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "murl13-tool song: cannot write the listing: %s\n", std::strerror(errno));
    return 1;
}
