// X error handlers for the window host. SDL's own handler passes every X error
// on to Xlib's default, which ends the process with status 1; and Xlib's
// default for a lost display calls exit() while the demo's threads still run.
#include "hosts/window/x11_errors.h"

#include "hosts/window/window_host.h"

#if MURL13_X11


#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>

namespace window {

namespace {

Display* watchedDisplay = nullptr;
XID watchedWindow = 0;
bool windowGone = false;
XErrorHandler previousHandler = nullptr;  // SDL's, which passes errors on to Xlib's default

int onXError(Display* display, XErrorEvent* error)
{
    const bool aboutWindow = error->error_code == BadWindow || error->error_code == BadDrawable;
    if (aboutWindow && watchedWindow != 0 && error->resourceid == watchedWindow) windowGone = true;
    // Once the window is gone, the requests still made about it (drawing the
    // frame under way, closing the window) fail too: all expected.
    if (windowGone) {
        stopRequested.store(1);
        return 0;
    }
    return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

// The X server went away (it ended, or its connection broke): nothing of the
// window can be closed any more, and running exit handlers under threads still
// drawing and playing can crash, so the process ends here.
int onDisplayLost(Display*)
{
    constexpr char MESSAGE[] = "murl13: the display went away\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, MESSAGE, sizeof MESSAGE - 1);
    _exit(1);
}

}  // namespace

void endWhenDisplayLost() { XSetIOErrorHandler(onDisplayLost); }

void watchX11Errors(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    watchedDisplay = info.info.x11.display;
    watchedWindow = info.info.x11.window;
    windowGone = false;
    XErrorHandler previous = XSetErrorHandler(onXError);
    if (previous != onXError) previousHandler = previous;
}

void stopWatchingX11Errors()
{
    if (watchedWindow != 0) {
        // The errors of the requests made so far (closing a window that is
        // already gone) come back here before Xlib's own handler is back.
        XSync(watchedDisplay, False);
        XSetErrorHandler(nullptr);
    }
    XSetIOErrorHandler(nullptr);
    watchedDisplay = nullptr;
    watchedWindow = 0;
    previousHandler = nullptr;
}

bool x11WindowGone() { return windowGone; }

}  // namespace window

#else

namespace window {

void endWhenDisplayLost() {}
void watchX11Errors(SDL_Window*) {}
void stopWatchingX11Errors() {}
bool x11WindowGone() { return false; }

}  // namespace window

#endif
