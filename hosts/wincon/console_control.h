// The console's control events: Ctrl+C, Ctrl+Break, closing the console,
// logging off and shutting down. Each asks the demo to stop (it ends cleanly,
// the song freed); then the process ends with the status a Linux shell reports
// for the matching signal, as the demo's Linux build ends by it.
#pragma once

#include <atomic>

namespace wincon {

// Ctrl+C and Ctrl+Break end with 130 (SIGINT on Linux); closing the console,
// logging off and shutting down with 129 (SIGHUP, the terminal gone).
constexpr int CONTROL_C_STATUS = 130;
constexpr int CONSOLE_CLOSED_STATUS = 129;

// Installs the handler (once) and makes it set `flag` to 1 from now on.
void catchConsoleControl(std::atomic<unsigned>* flag);

// When a control event asked the demo to stop, ends the process with its
// status (see above). Returns otherwise. Call after the demo has cleaned up.
void endByConsoleControl();

// The status of the first control event; 0 when none came.
int consoleControlStatus();

}  // namespace wincon
