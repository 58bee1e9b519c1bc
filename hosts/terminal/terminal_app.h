// What the demo's main needs of the terminal host: the five console
// operations (as in state/console_host.h), the refusal without a terminal, and
// the way out.
#pragma once

#include <cstdint>

namespace terminal {

void openConsole();
uint32_t clockMs();
void presentFrame();
uint16_t escapeHeld();
void showErrorBox(const char* text, const char* caption);

// True when stdout is a terminal. Otherwise the demo would pour escape
// sequences into a file or a pipe: writes "murl13: the demo needs a terminal
// (stdout is not a tty)" to stderr and returns false.
bool requireTerminal();

// Stops the input thread and leaves the terminal as it was found. Called by
// main after the frame loop; also runs at exit. Safe to call more than once.
void closeConsole();

// When SIGINT, SIGTERM or SIGHUP asked the demo to stop, ends the process by
// that signal, as a Unix program killed by it would end. Returns otherwise.
void endByStopSignal();

}  // namespace terminal
