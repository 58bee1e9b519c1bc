// The window host on an X server of its own (Xvfb, where installed): the
// window bears the demo's title, and another X client destroying it ends the
// demo as closing it does.
#if MURL13_X11

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

TEST(X11Window, BearsTheDemosTitleAndDestroyedByAnotherClientEndsTheDemoAsClosingItDoes)
{
    int number[2];
    ASSERT_EQ(pipe(number), 0);
    const pid_t xvfb = fork();
    if (xvfb == 0) {  // Xvfb picks a free display and writes its number once ready
        const std::string fd = std::to_string(number[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(number[1]);
    char digits[16] = {};
    const bool started = read(number[0], digits, sizeof digits - 1) > 0;
    close(number[0]);
    if (!started) GTEST_SKIP() << "no Xvfb";
    const std::string display = ":" + std::to_string(std::atoi(digits));
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!window::openWindow({1, false, 60}) || !SDL_GetWindowWMInfo(window::sdlWindow(), &info)) _exit(2);
        Display* other = XOpenDisplay(display.c_str());
        // The name the window manager shows, as another client reads it.
        char* name = nullptr;
        const bool titled = XFetchName(other, info.info.x11.window, &name) != 0 && std::string(name) == "Norq - Murl #13";
        XFree(name);
        if (!titled) _exit(4);
        XDestroyWindow(other, info.info.x11.window);
        XCloseDisplay(other);
        for (int frame = 0; frame < 600 && window::escapeHeld() == 0; ++frame) window::presentFrame();
        const bool ended = window::escapeHeld() != 0;
        window::closeWindow();
        _exit(ended ? 0 : 3);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    // Xlib's own handler ends the process with status 1 at the first error;
    // 4: the window had another title.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
}

#endif
