// murl13-tool song: what the demo would see of a module, read as fast as the
// decoder goes: the order changes and the instrument triggers with their song
// times, one line each.
#include "tool/tool.h"

#include "music/song_scan.h"

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
    "  pass of the song, or after S seconds of song time if that comes first.\n";

// Without --seconds the scan stops at the end of the song's first pass; this
// only bounds a song whose end libxmp cannot find.
constexpr double DEFAULT_MAX_SECONDS = 3600.0;

static int usageError(const char* message)
{
    std::fprintf(stderr, "murl13-tool song: %s\n", message);
    std::fputs(SONG_USAGE, stderr);
    return USAGE_ERROR;
}

static bool parseSeconds(const char* text, double& seconds)
{
    char* end = nullptr;
    errno = 0;
    seconds = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(seconds) && seconds >= 0.0;
}

int toolSong(int argc, char** argv)
{
    const char* file = nullptr;
    double maxSeconds = DEFAULT_MAX_SECONDS;
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(SONG_USAGE, stdout);
            return 0;
        }
        if (std::strcmp(arg, "--seconds") == 0) {
            if (i + 1 >= argc) return usageError("--seconds needs a value");
            if (!parseSeconds(argv[++i], maxSeconds)) return usageError("--seconds takes a number of seconds, 0 or more");
            continue;
        }
        if (arg[0] == '-' && arg[1] != '\0') {
            std::string message = std::string("unknown option '") + arg + "'";
            return usageError(message.c_str());
        }
        if (file != nullptr) return usageError("only one FILE");
        file = arg;
    }
    if (file == nullptr) return usageError("no FILE given");

    SongScan scan = scanSong(file, maxSeconds);
    if (!scan.loaded) {
        std::fprintf(stderr, "murl13-tool song: cannot load '%s': missing, unreadable or not a complete XM module\n", file);
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
