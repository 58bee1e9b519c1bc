// The real demo given a song file that is no XM module: a whole module of
// another tracker, which libxmp would play (and whose broken cousins crash its
// loaders). The demo must refuse it with its error box, run on after it, and
// end on Escape with status 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vterm_screen.h"

namespace {

constexpr auto GENEROUS_TIMEOUT = std::chrono::seconds(30);  // only stops a hung test
constexpr char FRAME_MARK[] = "\x1b[?2026h";                 // each frame begins with it

// Reads the demo's output into `output` and `screen` until `done` holds, the
// demo ends or the timeout passes.
bool pumpUntil(int master, pid_t pid, std::string& output, VtermScreen& screen, const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + GENEROUS_TIMEOUT;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{master, POLLIN, 0};
        char buffer[65536];
        ssize_t n = poll(&p, 1, 10) > 0 ? read(master, buffer, sizeof buffer) : 0;
        if (n > 0) output.append(buffer, size_t(n)), screen.feed({buffer, size_t(n)});
        if (n < 0 || waitpid(pid, nullptr, WNOHANG) == pid) return false;
    }
    return done();
}

}  // namespace

TEST(DemoHostileSong, AnotherFormatShowsTheBoxAndTheDemoRunsOnUntilEscape)
{
    char folder[] = "/tmp/murl13-song-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string song = std::string(folder) + "/GLIMVEX.oXM";
    std::string module(1084 + 64 * 4 * 4, '\0');  // four channels, one empty pattern
    module[950] = 1, module[951] = 0x7f;
    module.replace(1080, 4, "M.K.");
    std::ofstream(song, std::ios::binary) << module;

    winsize size{50, 80, 0, 0};
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (chdir(folder) == 0) execl(MURL13_BINARY, "murl13", static_cast<char*>(nullptr));
        _exit(127);
    }
    VtermScreen screen(50, 80);
    std::string output;
    const auto frames = [&] { size_t n = 0; for (size_t at = 0; (at = output.find(FRAME_MARK, at)) != std::string::npos; ++at) ++n; return n; };
    EXPECT_TRUE(pumpUntil(master, pid, output, screen, [&] {
        return screen.shows("Error! Plonk suxx!") && screen.shows("Failed loading Protracker-Module");
    })) << "no error box";
    EXPECT_EQ(write(master, "\r", 1), 1);
    const size_t framesAtBox = frames();
    EXPECT_TRUE(pumpUntil(master, pid, output, screen, [&] { return frames() >= framesAtBox + 3; }))
        << "the demo did not run on after the box";

    EXPECT_EQ(write(master, "\x1b", 1), 1);
    int status = -1;
    for (auto deadline = std::chrono::steady_clock::now() + GENEROUS_TIMEOUT; waitpid(pid, &status, WNOHANG) == 0;) {
        char buffer[65536];
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) > 0 && read(master, buffer, sizeof buffer) < 0) usleep(10000);  // keeps the terminal drained
        if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    close(master);
    std::remove(song.c_str());
    rmdir(folder);
}
