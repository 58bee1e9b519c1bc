// The window host on an X server of its own (Xvfb, where installed): a window
// that another X client destroys ends the demo as closing it does.
#if MURL13_X11

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "hosts/window/window_host.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the test framework's names.
#include <SDL.h>
#include <SDL_syswm.h>

namespace {

// Xvfb on a display number it picks itself, ended with the test.
struct VirtualDisplay {
    pid_t pid = 0;
    std::string name;  // ":N"; empty when Xvfb could not start
    ~VirtualDisplay()
    {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

void startXvfb(VirtualDisplay& display)
{
    int number[2];
    if (pipe(number) != 0) return;
    display.pid = fork();
    if (display.pid == 0) {
        close(number[0]);
        const std::string fd = std::to_string(number[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(number[1]);
    std::string digits;
    pollfd ready = {number[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 20'000) == 1 && read(number[0], &c, 1) == 1 && c != '\n') digits += c;
    close(number[0]);
    if (!digits.empty()) display.name = ":" + digits;
}

TEST(X11Window, DestroyedByAnotherClientEndsTheDemoAsClosingItDoes)
{
    VirtualDisplay display;
    startXvfb(display);
    if (display.name.empty()) GTEST_SKIP() << "no Xvfb";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("DISPLAY", display.name.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("SDL_RENDER_DRIVER");
        if (!window::openWindow({1, false, 60})) _exit(2);
        window::presentFrame();
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(window::sdlWindow(), &info) || info.subsystem != SDL_SYSWM_X11) _exit(3);
        Display* other = XOpenDisplay(display.name.c_str());
        if (other == nullptr) _exit(4);
        XDestroyWindow(other, info.info.x11.window);
        XCloseDisplay(other);
        for (int frame = 0; frame < 600 && window::escapeHeld() == 0; ++frame) window::presentFrame();
        const bool ended = window::escapeHeld() != 0;
        window::closeWindow();
        _exit(ended ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    // Xlib's own handler would have ended the process with status 1 at the first error.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace

#endif
