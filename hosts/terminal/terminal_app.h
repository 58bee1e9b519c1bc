// What the demo's main needs of the terminal host: the five console
// operations (as in state/console_host.h), the refusal without a terminal, the
// frame rate, and the way out.
#pragma once

#include <cstdint>

namespace terminal {

void openConsole();
uint32_t clockMs();
void presentFrame();
uint16_t escapeHeld();
void showErrorBox(const char* text, const char* caption);

// True when stdout is a terminal that can show the demo. Otherwise the demo
// would pour escape sequences into a file or a pipe, or a stream the terminal
// cannot show (TERM=dumb, a locale whose character set is not UTF-8): writes
// one line saying so to stderr and returns false.
bool requireTerminal();

// Frames a second that presentFrame paces itself to, 60 unless set; 0 shows
// frames back to back. Called by main before the demo starts.
void setFrameRate(int framesPerSecond);

// Stops the input thread and leaves the terminal as it was found. Called by
// main after the frame loop; also runs at exit. Safe to call more than once.
void closeConsole();

// When a signal (SIGINT, SIGTERM, SIGHUP and the others whose default action
// ends a process) asked the demo to stop, ends the process by that signal, as
// a Unix program killed by it would end. Returns otherwise.
void endByStopSignal();

}  // namespace terminal
