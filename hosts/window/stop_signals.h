// How the window host hears that the demo was asked to stop from outside the
// window: the stop signals on Linux (stop_signals.cpp), the console's control
// events on Windows (hosts/wincon/window_stop.cpp). Either sets stopRequested;
// endByStopSignal (window_host.h) then ends the process as the system expects.
#pragma once

namespace window {

// Installs the handlers. Called by openWindow.
void installStopSignals();

}  // namespace window
