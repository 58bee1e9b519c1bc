// murl13: the demo. The frame loop lives in the core; the terminal host and the
// music layer give it a screen, a clock, a keyboard and a song.
#include "runtime/frame_loop.h"
#include "hosts/terminal/terminal_app.h"

int main()
{
    if (!terminal::requireTerminal()) return 1;
    const int status = runDemo();
    terminal::closeConsole();
    // Ctrl-C, SIGTERM and SIGHUP end the demo cleanly, then the process dies
    // by that signal as its caller expects.
    terminal::endByStopSignal();
    return status;
}
