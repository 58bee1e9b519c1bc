// The real demo given a song that is no XM module: a whole module of another
// tracker, which libxmp would play (and whose broken cousins crash its
// loaders), or a FIFO, whose open would wait for a writer for ever. It must
// show the error box, run on after it and end on Escape with status 0.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vterm_screen.h"

TEST(DemoHostileSong, AnotherFormatOrAFifoShowsTheBoxAndTheDemoRunsOnUntilEscape)
{
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "a FIFO" : "another format");
        char folder[] = "/tmp/murl13-song-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        const std::string song = std::string(folder) + "/GLIMVEX.oXM";
        std::string module(1084 + 64 * 4 * 4, '\0');  // four channels, one empty pattern
        module[950] = 1, module[951] = 0x7f;
        if (fifo) ASSERT_EQ(mkfifo(song.c_str(), 0600), 0);
        else std::ofstream(song, std::ios::binary) << module.replace(1080, 4, "M.K.");

        winsize size{50, 80, 0, 0};
        int master = -1, status = -1;
        const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            if (chdir(folder) == 0) execl(MURL13_BINARY, "murl13", static_cast<char*>(nullptr));
            _exit(127);
        }
        VtermScreen screen(50, 80);
        size_t written = 0;
        // Reads the demo's output until `done`; a deadline far beyond any step only stops a hang.
        const auto pumpUntil = [&](const std::function<bool()>& done) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            for (char buffer[65536]; !done() && std::chrono::steady_clock::now() < deadline;) {
                pollfd p{master, POLLIN, 0};
                const ssize_t n = poll(&p, 1, 10) > 0 ? read(master, buffer, sizeof buffer) : 0;
                screen.feed({buffer, n > 0 ? size_t(n) : 0});
                written += n > 0 ? size_t(n) : 0;
            }
            return done();
        };
        const auto ended = [&] { return waitpid(pid, &status, WNOHANG) == pid; };

        EXPECT_TRUE(pumpUntil([&] { return ended() || screen.shows("Failed loading Protracker-Module"); }) &&
                    screen.shows("Error! Plonk suxx!")) << "no error box";
        EXPECT_EQ(write(master, "\r", 1), 1);
        // A few frames of the plasma.
        EXPECT_TRUE(pumpUntil([&, from = written] { return ended() || written >= from + 100000; }));
        EXPECT_EQ(status, -1) << "the demo did not run on after the box";
        EXPECT_EQ(write(master, "\x1b", 1), 1);
        if (status == -1 && !pumpUntil(ended)) kill(pid, SIGKILL), waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        close(master), unlink(song.c_str()), rmdir(folder);
    }
}
