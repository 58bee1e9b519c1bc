// The window host on an X server of its own (Xvfb, where installed): the
// window bears the demo's title, and another X client destroying it ends the
// demo as closing it does, whether frames are being shown or the song's error
// box is up.
#if MURL13_X11

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "hosts/window/window_host.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the test framework's names.
#include <SDL.h>
#include <SDL_syswm.h>

namespace {

// An Xvfb on a free display, ready; its pid is 0 where Xvfb is missing.
struct Xvfb {
    pid_t pid = 0;
    std::string display;
    Xvfb()
    {
        int number[2];
        if (pipe(number) != 0) return;
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
        pid = started ? xvfb : 0;
        display = ":" + std::to_string(std::atoi(digits));
    }
    ~Xvfb()
    {
        if (pid == 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

// The first top-level window on the server (the only client that makes one
// is the demo), waited for up to ten seconds; 0 if none.
Window firstWindow(Display* display)
{
    for (int tries = 0; tries < 100; ++tries) {
        Window root = 0, parent = 0, *children = nullptr, found = 0;
        unsigned count = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0 && count > 0)
            found = children[0];
        if (children != nullptr) XFree(children);
        if (found != 0) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

}  // namespace

TEST(X11Window, BearsTheDemosTitleAndDestroyedByAnotherClientEndsTheDemoAsClosingItDoes)
{
    const Xvfb xvfb;
    if (xvfb.pid == 0) GTEST_SKIP() << "no Xvfb";
    const std::string& display = xvfb.display;
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
}

TEST(X11Window, DemoDestroyedWithTheSongsErrorBoxUpEndsWithStatusZero)
{
    const Xvfb xvfb;
    if (xvfb.pid == 0) GTEST_SKIP() << "no Xvfb";
    // In an empty folder, and with no installed song beside the build, the
    // demo starts with the box saying the song did not load.
    char folder[] = "/tmp/murl13-nosong-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const pid_t demo = fork();
    if (demo == 0) {
        if (chdir(folder) != 0) _exit(126);
        setenv("DISPLAY", xvfb.display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(MURL13_BINARY, "murl13", "--window", "--scale", "1", static_cast<char*>(nullptr));
        _exit(127);
    }
    Display* other = XOpenDisplay(xvfb.display.c_str());
    ASSERT_NE(other, nullptr);
    const Window shown = firstWindow(other);
    EXPECT_NE(shown, 0u) << "no demo window";
    if (shown != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the box drawn a few times
        XDestroyWindow(other, shown);
        XSync(other, False);
    }
    XCloseDisplay(other);
    if (shown == 0) kill(demo, SIGKILL);
    int status = 0;
    EXPECT_EQ(waitpid(demo, &status, 0), demo);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    rmdir(folder);
}

#endif
