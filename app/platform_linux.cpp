// The demo's main on Linux: the terminal host, /proc for the program's path.
#include "app/platform.h"

#include <climits>
#include <cstdlib>

#include <unistd.h>

#include "hosts/terminal/terminal_app.h"
#include "runtime/frame_loop.h"

namespace app {

void useUtf8Arguments(int&, char**&) {}

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string binary(path, size_t(length));
    return binary.substr(0, binary.rfind('/') + 1);
}

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
