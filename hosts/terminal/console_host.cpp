// The console host for a Linux terminal: the five operations the demo calls,
// and the way in and out of the terminal.
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

#include "hosts/terminal/frame_encoder.h"
#include "hosts/terminal/host_state.h"
#include "hosts/terminal/input_thread.h"
#include "hosts/terminal/terminal_app.h"
#include "hosts/terminal/terminal_session.h"

namespace terminal {

HostState host;

namespace {

void closeAtExit() { closeConsole(); }

// Ctrl-Z: the terminal goes back to the shell, then the process stops as a
// SIGTSTP would stop it. On resume the shell's modes are the ones to keep.
void suspend()
{
    leaveTerminal();
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGTSTP);  // stops here until SIGCONT
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    resaveTerminal();
    enterTerminal(false);
}

}  // namespace

void serviceEvents()
{
    const unsigned happened = takeEvents(EVENT_SUSPEND | EVENT_CONTINUE | EVENT_RESIZE);
    if (!happened) return;
    if (happened & EVENT_SUSPEND) suspend();
    // Continued after someone else stopped us: the shell may have changed the modes.
    else if (happened & EVENT_CONTINUE) enterTerminal(false);
    terminalSize(host.outputFd, host.rows, host.columns);
    host.repaint = true;
}

void showCells(const ScreenBuffer& cells)
{
    if (!host.open || host.outputLost) return;
    host.bytes.clear();
    encodeFrame(host.repaint ? nullptr : &host.shown, cells, host.rows, host.columns, host.bytes);
    if (!writeAll(host.outputFd, host.bytes.data(), host.bytes.size())) {
        host.outputLost = true;
        raiseEvents(EVENT_HANGUP);
        return;
    }
    host.shown = cells;
    host.repaint = false;
}

bool requireTerminal()
{
    if (isatty(STDOUT_FILENO)) return true;
    std::fputs("murl13: the demo needs a terminal (stdout is not a tty)\n", stderr);
    return false;
}

void closeConsole()
{
    if (!host.open) return;
    stopInputThread();
    leaveTerminal();
    if (host.ownsKeyFd) close(host.keyFd);
    host.keyFd = -1;
    host.ownsKeyFd = false;
    host.open = false;
}

void endByStopSignal()
{
    int signal = stopSignal.load();
    if (signal == 0) {
        // One that came after the input thread stopped is still pending: a
        // hang-up seen first as a failed write is followed by its SIGHUP.
        sigset_t pending;
        sigpending(&pending);
        for (int s : {SIGHUP, SIGTERM, SIGINT})
            if (sigismember(&pending, s) == 1) signal = s;
    }
    if (signal == 0) return;
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    raise(signal);  // pending while blocked, delivered on the unblock below
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    // A signal that does not kill (it cannot happen for these three): exit as killed would.
    std::_Exit(128 + signal);
}

// The five console operations, chosen by hosts/console_choice.cpp.

void openConsole()
{
    if (host.open) return;
    host.outputFd = STDOUT_FILENO;
    if (!isatty(host.outputFd)) return;  // nothing to show on; main refuses this case
    // Signals first, so that none finds the terminal half taken over; the
    // input thread takes them over below.
    blockDemoSignals();
    if (isatty(STDIN_FILENO)) {
        host.keyFd = STDIN_FILENO;
    } else {
        host.keyFd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        host.ownsKeyFd = host.keyFd >= 0;
    }
    saveTerminal(host.outputFd, host.keyFd);
    enterTerminal(true);
    terminalSize(host.outputFd, host.rows, host.columns);
    host.repaint = true;
    host.open = true;
    startInputThread(host.keyFd);
    static bool registered = false;
    if (!registered) registered = std::atexit(closeAtExit) == 0;
}

uint32_t clockMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void presentFrame()
{
    if (!host.open) return;
    serviceEvents();
    showCells(screenBuffer);
}

uint16_t escapeHeld() { return (events.load(std::memory_order_relaxed) & STOP_EVENTS) ? 1 : 0; }

}  // namespace terminal
