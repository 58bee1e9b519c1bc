// The window host on Windows: the console's control events (Ctrl+C, Ctrl+Break,
// closing the console the program was started from) stand for the stop signals.
#include "hosts/wincon/console_control.h"
#include "hosts/window/stop_signals.h"
#include "hosts/window/window_host.h"

namespace window {

void installStopSignals() { wincon::catchConsoleControl(&stopRequested); }

void endByStopSignal() { wincon::endByConsoleControl(); }

}  // namespace window
