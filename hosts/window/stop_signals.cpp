// SIGINT, SIGTERM and SIGHUP end the window's demo cleanly, then the process
// by that signal.
#include "hosts/window/stop_signals.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "hosts/window/window_host.h"

namespace window {

namespace {

// The first of SIGINT, SIGTERM and SIGHUP that asked the demo to stop; 0: none.
std::atomic<int> stopSignal{0};
constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

void onStopSignal(int signal)
{
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
    stopRequested.store(1);
}

}  // namespace

void installStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : STOP_SIGNALS) sigaction(signal, &action, nullptr);
}

void endByStopSignal()
{
    const int signal = stopSignal.load();
    if (signal == 0) return;
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);  // not reached: the three signals kill
}

}  // namespace window
