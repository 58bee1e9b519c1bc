// The console host for a Linux terminal: the five operations the demo calls,
// and the way in and out of the terminal.
#include <chrono>
#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include "hosts/terminal/frame_encoder.h"
#include "hosts/terminal/host_state.h"
#include "hosts/terminal/input_thread.h"
#include "hosts/terminal/terminal_app.h"
#include "hosts/terminal/terminal_session.h"

namespace terminal {

HostState host;

namespace {

using Clock = std::chrono::steady_clock;

// Asks whether the terminal knows synchronized output (DECRQM for mode 2026),
// then for its device attributes, which every terminal answers, so that the
// second answer ends the wait. The input thread reads both.
constexpr char CAPABILITY_QUERY[] = "\x1b[?2026$p\x1b[c";
// A terminal that answers nothing (not a terminal emulator at all) costs this
// much at start. An answer that comes later still counts.
constexpr auto QUERY_TIMEOUT = std::chrono::milliseconds(250);
constexpr char SYNC_BEGIN[] = "\x1b[?2026h";
constexpr char SYNC_END[] = "\x1b[?2026l";

Clock::duration framePeriod = std::chrono::microseconds(1000000 / 60);
Clock::time_point lastFrame;  // when the previous frame was written

void closeAtExit() { closeConsole(); }

// The locale name that LC_CTYPE takes from the environment, as setlocale reads it.
std::string localeFromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return "";
}

// The character set a locale name gives after its dot ("de_DE.ISO-8859-1@euro"
// gives "ISO-8859-1"); empty when it gives none.
std::string codesetInName(const std::string& name)
{
    const size_t dot = name.find('.');
    if (dot == std::string::npos) return "";
    const size_t modifier = name.find('@', dot);
    return name.substr(dot + 1, modifier == std::string::npos ? std::string::npos : modifier - dot - 1);
}

// "UTF-8" as locale names spell it: utf8, UTF-8, utf_8.
bool isUtf8Name(const std::string& codeset)
{
    std::string letters;
    for (char c : codeset)
        if (c != '-' && c != '_') letters += char(std::tolower(static_cast<unsigned char>(c)));
    return letters == "utf8";
}

long long nanosecondsUntil(Clock::time_point when)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(when - Clock::now()).count();
}

// Ctrl-Z: the terminal goes back to the shell, then the process stops as a
// SIGTSTP would stop it. On resume the shell's modes are the ones to keep.
void suspend()
{
    leaveTerminal();
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    // A continue that came after the stop cancels it. The input thread may
    // have read it already (the event), or it is still pending; raising the
    // stop would drop a pending one, so look first.
    sigset_t pending;
    sigpending(&pending);
    bool cancelled = takeEvents(EVENT_CONTINUE) || sigismember(&pending, SIGCONT) == 1;
    if (!cancelled) {
        raise(SIGTSTP);  // pending while blocked here; a SIGCONT from now on drops it
        if (takeEvents(EVENT_CONTINUE)) {
            const timespec now{};
            sigtimedwait(&stop, nullptr, &now);
        } else {
            pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);  // stops here until SIGCONT
            pthread_sigmask(SIG_BLOCK, &stop, nullptr);
        }
    }
    resaveTerminal();
    enterTerminal(false);
}

// Waits for the terminal's answers to the capability query, a little while.
void askForCapabilities()
{
    if (host.keyFd < 0 || !sameTerminal(host.outputFd, host.keyFd) || !inputThreadRunning()) return;
    if (writeAll(host.outputFd, CAPABILITY_QUERY, sizeof CAPABILITY_QUERY - 1, -1, true) != Written::ALL) return;
    const Clock::time_point deadline = Clock::now() + QUERY_TIMEOUT;
    while (!(events.load() & (EVENT_ANSWERED | STOP_EVENTS)) && Clock::now() < deadline)
        waitForFdOrEvent(-1, 0, nanosecondsUntil(deadline));
}

// Only terminals that said they know the mode (set or reset) get its marks.
bool synchronizedOutput()
{
    const int mode = synchronizedOutputMode.load(std::memory_order_relaxed);
    return mode == 1 || mode == 2;
}

// A terminal shows frames no faster than it refreshes, and it has no signal
// to say when: wait one period after the previous frame. Escape, a stop
// signal, a suspend or a resize end the wait early or are served during it.
void waitForFrameTime()
{
    if (framePeriod == Clock::duration::zero()) return;
    const Clock::time_point due = lastFrame + framePeriod;
    for (;;) {
        serviceEvents();
        if (escapeHeld()) return;
        const long long waitNs = nanosecondsUntil(due);
        if (waitNs <= 0) return;
        waitForFdOrEvent(-1, 0, waitNs);
    }
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
    const bool synchronized = synchronizedOutput();
    host.bytes.assign(synchronized ? SYNC_BEGIN : "");
    const size_t header = host.bytes.size();
    encodeFrame(host.repaint ? nullptr : &host.shown, cells, host.rows, host.columns, host.bytes);
    if (host.bytes.size() == header) return;  // nothing changed
    if (synchronized) host.bytes.append(SYNC_END);
    synchronizedUpdateOpen(synchronized);  // for a crash in the middle
    size_t sent = 0;
    const Written result = writeAll(host.outputFd, host.bytes.data(), host.bytes.size(), -1, true, &sent);
    synchronizedUpdateOpen(synchronized && sent > 0 && result != Written::ALL);
    switch (result) {
    case Written::ALL:
        host.shown = cells;
        host.repaint = false;
        break;
    case Written::STOPPED:
        // Cut short for a suspend: the way out follows it, and the whole
        // picture is drawn again on resume.
        if (!(events.load() & STOP_EVENTS)) {
            host.repaint = true;
            break;
        }
        [[fallthrough]];
    case Written::TIMED_OUT:
        // The demo ends with this frame cut short (or not begun): no other
        // frame's bytes may follow it, only the way out.
        host.outputLost = true;
        break;
    case Written::FAILED:
        host.outputLost = true;
        raiseEvents(EVENT_HANGUP);
        break;
    }
}

void setFrameRate(int framesPerSecond)
{
    framePeriod = framesPerSecond > 0 ? Clock::duration(std::chrono::seconds(1)) / framesPerSecond
                                      : Clock::duration::zero();
}

bool requireTerminal()
{
    if (!isatty(STDOUT_FILENO)) {
        std::fputs("murl13: the demo needs a terminal (stdout is not a tty)\n", stderr);
        return false;
    }
    const char* term = std::getenv("TERM");
    if (term && std::strcmp(term, "dumb") == 0) {
        std::fputs("murl13: this terminal (TERM=dumb) cannot show colours or move the cursor; "
                   "run murl13 --window instead\n",
                   stderr);
        return false;
    }
    // The glyphs go out as UTF-8. A locale that names another character set
    // says the terminal would show them wrong; C and POSIX name none. One that
    // is not installed is judged by the character set in its name.
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    const char* locale = std::setlocale(LC_CTYPE, "");
    std::string codeset = locale ? nl_langinfo(CODESET) : codesetInName(localeFromEnvironment());
    const bool named = locale ? std::strcmp(locale, "C") != 0 && std::strcmp(locale, "POSIX") != 0 : !codeset.empty();
    std::setlocale(LC_CTYPE, before.c_str());
    if (named && codeset != "UTF-8" && !isUtf8Name(codeset)) {
        std::fprintf(stderr,
                     "murl13: the locale's character set is %s, not UTF-8; use a UTF-8 locale "
                     "(LANG=C.UTF-8) or run murl13 --window\n",
                     codeset.c_str());
        return false;
    }
    return true;
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
        for (int s = 1; s <= SIGRTMAX && signal == 0; ++s)
            if (isStopSignal(s) && sigismember(&pending, s) == 1) signal = s;
    }
    if (signal == 0) return;
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    raise(signal);  // pending while blocked, delivered on the unblock below
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    // A signal that does not kill (none of the stop signals): exit as killed would.
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
    if (host.keyFd < 0)
        std::fputs("murl13: no terminal to read keys from (stdin is not one, and no controlling terminal): "
                   "Escape will not work; kill ends the demo\n",
                   stderr);
    host.outputFd = openOutput(STDOUT_FILENO);
    saveTerminal(host.outputFd, host.keyFd);
    enterTerminal(true);
    terminalSize(host.outputFd, host.rows, host.columns);
    host.repaint = true;
    host.open = true;
    startInputThread(host.keyFd);
    askForCapabilities();
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
    waitForFrameTime();
    serviceEvents();
    lastFrame = Clock::now();
    showCells(screenBuffer);
}

uint16_t escapeHeld() { return (events.load(std::memory_order_relaxed) & STOP_EVENTS) ? 1 : 0; }

}  // namespace terminal
