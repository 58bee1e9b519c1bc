// The demo's main on Windows: the Windows console host; the arguments from the
// wide-character calls, as UTF-8.
#include "app/platform.h"

#include <cstdio>
#include <string>

#include <windows.h>

#include "hosts/wincon/console_control.h"
#include "hosts/wincon/utf8_text.h"
#include "hosts/wincon/wincon_app.h"
#include "runtime/frame_loop.h"

namespace app {

void useUtf8Arguments(int& argc, char**& argv) { wincon::useUtf8Arguments(argc, argv); }

bool stdoutIsConsole()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool windowWithoutAsking() { return false; }

bool windowCanShow() { return true; }

int runInConsole(const DemoOptions& options)
{
    if (!wincon::requireConsole()) return 1;
    wincon::setFrameRate(options.fps);
    const int status = runDemo();
    wincon::closeConsole();
    // Ctrl+C, Ctrl+Break and closing the console end the demo cleanly, then
    // the process with the status of the matching signal on Linux.
    wincon::endByConsoleControl();
    return status;
}

void explainNoConsole() { wincon::requireConsole(); }

}  // namespace app
