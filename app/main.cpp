// murl13: the demo. The frame loop lives in the core; the terminal host and the
// music layer give it a screen, a clock, a keyboard and a song.
#include <cstdio>

#include <unistd.h>

#include "app/command_line.h"
#include "runtime/frame_loop.h"
#include "hosts/terminal/terminal_app.h"

int main(int argc, char** argv)
{
    app::DemoOptions options;
    switch (app::parseDemoArguments(argc, argv, options, stderr)) {
    case app::ParseOutcome::Help: app::printDemoUsage(stdout); return 0;
    case app::ParseOutcome::BadUsage: app::printDemoUsage(stderr); return 2;
    case app::ParseOutcome::Run: break;
    }
    const app::HostChoice host = app::chooseHost(options, isatty(STDOUT_FILENO), app::displayNamed());
    if (host != app::HostChoice::Terminal) {
        std::fputs(host == app::HostChoice::Window
                       ? "murl13: this build has no window; run it in a terminal\n"
                       : "murl13: the demo needs a terminal (stdout is not a tty)\n",
                   stderr);
        return 1;
    }
    if (!terminal::requireTerminal()) return 1;
    const int status = runDemo();
    terminal::closeConsole();
    // Ctrl-C, SIGTERM and SIGHUP end the demo cleanly, then the process dies
    // by that signal as its caller expects.
    terminal::endByStopSignal();
    return status;
}
