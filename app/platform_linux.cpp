// The demo's main on Linux: the terminal host.
#include "app/platform.h"

#include <cstdlib>

#include <unistd.h>

#include "hosts/terminal/terminal_app.h"
#include "runtime/frame_loop.h"

namespace app {

void useUtf8Arguments(int&, char**&) {}

bool stdoutIsConsole() { return isatty(STDOUT_FILENO); }

bool windowWithoutAsking() { return displayNamed(); }

bool windowCanShow() { return displayNamed() || std::getenv("SDL_VIDEODRIVER") != nullptr; }

int runInConsole(const DemoOptions& options)
{
    if (!terminal::requireTerminal()) return 1;
    terminal::setFrameRate(options.fps);
    const int status = runDemo();
    terminal::closeConsole();
    // Ctrl-C, SIGTERM and SIGHUP end the demo cleanly, then the process dies
    // by that signal as its caller expects.
    terminal::endByStopSignal();
    return status;
}

void explainNoConsole() { terminal::requireTerminal(); }

}  // namespace app
