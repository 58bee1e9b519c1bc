// libFuzzer target for the way every song file comes in: the XM gate, libxmp's
// loader and a few seconds of decoding, on arbitrary bytes. A crash, a
// sanitizer report or a tick that stalls is a finding; a refusal is fine.
#include "music/tick_loop.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Song time decoded per input: enough to pass a few rows of every pattern
// effect, short enough to keep the executions quick.
constexpr double SONG_SECONDS = 3.0;

// The tick loop opens songs by name: the input goes into one in-memory file,
// reached through /proc, rewritten for every execution.
int songFile()
{
    static const int fd = memfd_create("murl13-fuzz-song", 0);
    if (fd < 0) std::abort();
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = songFile();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    music::TickLoop* loop = music::openTickLoop(path.c_str());
    music::Tick tick;
    double seconds = 0.0;
    while (loop != nullptr && seconds < SONG_SECONDS && music::playTick(loop, tick)) {
        // A tick that passes the loop's checks always moves the song on.
        if (!(tick.frames > 0 && tick.seconds > 0.0)) std::abort();
        seconds += tick.seconds;
    }
    music::closeTickLoop(loop);
    return 0;
}
