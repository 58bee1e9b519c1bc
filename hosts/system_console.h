// The console host of the system the demo is built for: the terminal host on
// Linux, the Windows console host on Windows. The same names in both.
#pragma once

#ifdef _WIN32
#include "hosts/wincon/wincon_app.h"
namespace system_console = wincon;
#else
#include "hosts/terminal/input_thread.h"
#include "hosts/terminal/terminal_app.h"
namespace system_console = terminal;
#endif

namespace hosts {

// Non-zero once the system console's host was asked to stop: a relaxed load,
// no call.
inline unsigned systemConsoleStopped()
{
#ifdef _WIN32
    return wincon::stopRequested.load(std::memory_order_relaxed);
#else
    return terminal::events.load(std::memory_order_relaxed) & terminal::STOP_EVENTS;
#endif
}

}  // namespace hosts
