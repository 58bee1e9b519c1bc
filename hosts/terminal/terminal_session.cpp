// Raw mode and the demo's screen, and the way back: the saved modes and the
// leave sequence, used by the normal exit, the suspend and the crash handlers.
// Everything a signal handler touches is set before the handlers are installed
// and is restored with write and tcsetattr only (both async-signal-safe).
#include "hosts/terminal/terminal_session.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "hosts/terminal/input_thread.h"
#include "state/demo_state.h"

namespace terminal {

namespace {

// The terminal's title pushed on its title stack, then ours; alternate screen,
// no cursor, no autowrap. Terminals without a title stack ignore the push.
constexpr char ENTER_SEQUENCE[] = "\x1b[22;0t\x1b]2;Norq - Murl #13\x07\x1b[?1049h\x1b[?25l\x1b[?7l";
// Entered already (continued after a stop we did not make): the modes again.
constexpr char REENTER_SEQUENCE[] = "\x1b[?1049h\x1b[?25l\x1b[?7l";
// Asks for 80 by 50 cells; most terminals ignore it.
constexpr char SIZE_REQUEST[] = "\x1b[8;50;80t";
constexpr char CLEAR[] = "\x1b[0m\x1b[H\x1b[2J";
// CAN first: it cancels a sequence that a frame given up or a crash cut in
// half. The alternate screen is erased before it is left (tmux can otherwise
// copy rows of it to the normal screen after a resize), and the title popped.
constexpr char LEAVE_SEQUENCE[] = "\x18\x1b[0m\x1b[H\x1b[2J\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t";
// Ends a synchronized update that a cut frame left open.
constexpr char LEAVE_UPDATE[] = "\x18\x1b[?2026l";
// How long the way out waits for a terminal that does not read.
constexpr int LEAVE_TIMEOUT_MS = 250;

constexpr int MAX_TERMINALS = 2;  // the output, and the key terminal when it is another one

struct SavedTerminal {
    int fd;
    termios modes;
};
SavedTerminal savedTerminals[MAX_TERMINALS];
volatile sig_atomic_t savedCount = 0;
volatile sig_atomic_t outputFd = -1;
volatile sig_atomic_t entered = 0;  // raw mode and the alternate screen are on
volatile sig_atomic_t updateOpen = 0;  // a synchronized update was begun and not ended
// The output's file status flags before it was made non-blocking, when that
// had to be done on the shared stdout; -1 when the output is our own open.
volatile sig_atomic_t sharedOutputFlags = -1;

// Signals that end the program at once: crashes and faults, and SIGQUIT
// (Ctrl-\), whose core dump is wanted as it is.
constexpr int CRASH_SIGNALS[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGQUIT, SIGSYS, SIGTRAP};

void restoreModes()
{
    for (int i = 0; i < savedCount; ++i) tcsetattr(savedTerminals[i].fd, TCSANOW, &savedTerminals[i].modes);
    if (sharedOutputFlags >= 0) fcntl(outputFd, F_SETFL, int(sharedOutputFlags));
}

// The leave sequence on its way even when the terminal has stopped reading:
// what it has not taken of our frames yet is dropped (TCOFLUSH), so the
// sequence fits into the room that leaves and reaches the terminal, whole,
// whenever it reads again. A sequence a dropped frame cut in half is cancelled
// by the CAN it starts with. Only write and tcflush: also for signal handlers.
// Returns true when all of it went out.
bool writeLeaveSequence(const char* bytes, size_t size)
{
    const ssize_t first = write(outputFd, bytes, size);
    if (first == ssize_t(size)) return true;
    tcflush(outputFd, TCOFLUSH);
    return write(outputFd, bytes, size) == ssize_t(size);
}

// Best effort from a signal handler: no waiting, no allocation.
void crashHandler(int signal)
{
    if (entered) {
        entered = 0;
        const int saved = errno;
        char bytes[sizeof LEAVE_UPDATE + sizeof LEAVE_SEQUENCE];
        size_t size = 0;
        if (updateOpen) std::memcpy(bytes, LEAVE_UPDATE, size = sizeof LEAVE_UPDATE - 1);
        std::memcpy(bytes + size, LEAVE_SEQUENCE, sizeof LEAVE_SEQUENCE - 1);
        writeLeaveSequence(bytes, size + sizeof LEAVE_SEQUENCE - 1);
        restoreModes();
        errno = saved;
    }
    // The handler was installed with SA_RESETHAND: the signal now takes its
    // default action, on return for a fault, at once for a raised one.
    raise(signal);
}

void installCrashHandlers()
{
    struct sigaction action {};
    action.sa_handler = crashHandler;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int signal : CRASH_SIGNALS) sigaction(signal, &action, nullptr);
}

void writeQuietly(const char* data, size_t size, int timeoutMs = -1)
{
    if (outputFd >= 0) writeAll(outputFd, data, size, timeoutMs, timeoutMs < 0);
}

void makeNonBlocking(int fd)
{
    if (sharedOutputFlags < 0) return;
    fcntl(fd, F_SETFL, int(sharedOutputFlags) | O_NONBLOCK);
}

}  // namespace

bool sameTerminal(int a, int b)
{
    struct stat sa {}, sb {};
    if (fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev) return true;
    // /dev/tty has a device of its own: both are the controlling terminal.
    return tcgetsid(a) >= 0 && tcgetsid(b) >= 0;
}

int openOutput(int fd)
{
    // An open of our own, so that the shell's stdout keeps its flags.
    const char* name = ttyname(fd);
    const int own = name ? open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (own >= 0 && sameTerminal(own, fd)) return own;
    if (own >= 0) close(own);
    // Not allowed (the terminal belongs to another user): stdout itself, made
    // non-blocking while the demo is in the terminal.
    sharedOutputFlags = fcntl(fd, F_GETFL);
    return fd;
}

void synchronizedUpdateOpen(bool open) { updateOpen = open ? 1 : 0; }

void saveTerminal(int output, int keyFd)
{
    int count = 0;
    if (tcgetattr(output, &savedTerminals[count].modes) == 0) savedTerminals[count++].fd = output;
    if (keyFd >= 0 && !sameTerminal(output, keyFd) && tcgetattr(keyFd, &savedTerminals[count].modes) == 0)
        savedTerminals[count++].fd = keyFd;
    savedCount = count;
    outputFd = output;
    installCrashHandlers();
}

void resaveTerminal()
{
    for (int i = 0; i < savedCount; ++i) tcgetattr(savedTerminals[i].fd, &savedTerminals[i].modes);
}

void enterTerminal(bool firstTime)
{
    for (int i = 0; i < savedCount; ++i) {
        termios raw = savedTerminals[i].modes;
        cfmakeraw(&raw);
        raw.c_lflag |= ISIG;  // Ctrl-C, Ctrl-Z and Ctrl-\ stay signals
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(savedTerminals[i].fd, TCSANOW, &raw);
    }
    makeNonBlocking(outputFd);
    if (entered) {
        writeQuietly(REENTER_SEQUENCE, sizeof REENTER_SEQUENCE - 1);
    } else {
        entered = 1;
        writeQuietly(ENTER_SEQUENCE, sizeof ENTER_SEQUENCE - 1);
    }
    if (firstTime) writeQuietly(SIZE_REQUEST, sizeof SIZE_REQUEST - 1);
    writeQuietly(CLEAR, sizeof CLEAR - 1);
}

void leaveTerminal()
{
    if (!entered) return;
    entered = 0;
    char bytes[sizeof LEAVE_UPDATE + sizeof LEAVE_SEQUENCE];
    size_t size = 0;
    if (updateOpen) std::memcpy(bytes, LEAVE_UPDATE, size = sizeof LEAVE_UPDATE - 1);
    std::memcpy(bytes + size, LEAVE_SEQUENCE, sizeof LEAVE_SEQUENCE - 1);
    updateOpen = 0;
    size += sizeof LEAVE_SEQUENCE - 1;
    // Whatever became of the bytes, the modes come back.
    if (outputFd >= 0 && !writeLeaveSequence(bytes, size)) writeQuietly(bytes, size, LEAVE_TIMEOUT_MS);
    restoreModes();
}

Written writeAll(int fd, const char* data, size_t size, int timeoutMs, bool giveUpOnStop, size_t* sent)
{
    if (sent) *sent = 0;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (size > 0) {
        if (giveUpOnStop && (events.load() & (STOP_EVENTS | EVENT_SUSPEND))) return Written::STOPPED;
        const ssize_t written = write(fd, data, size);
        if (written > 0) {
            data += written;
            size -= size_t(written);
            if (sent) *sent += size_t(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The terminal is full: wait until it takes more, or an event comes.
            long long waitNs = -1;
            if (timeoutMs >= 0) {
                waitNs = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
                if (waitNs <= 0) return Written::TIMED_OUT;
            }
            if (waitForFdOrEvent(fd, POLLOUT, waitNs) & (POLLERR | POLLHUP | POLLNVAL)) return Written::FAILED;
        } else {
            return Written::FAILED;  // EIO after a hang-up, or anything else: the terminal is gone
        }
    }
    return Written::ALL;
}

void terminalSize(int fd, int& rows, int& columns)
{
    winsize size {};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        rows = size.ws_row;
        columns = size.ws_col;
    } else {
        rows = SCREEN_ROWS;
        columns = SCREEN_COLUMNS;
    }
}

}  // namespace terminal
