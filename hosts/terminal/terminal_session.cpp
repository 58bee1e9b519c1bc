// Raw mode and the demo's screen, and the way back: the saved modes and the
// leave sequence, used by the normal exit, the suspend and the crash handlers.
// Everything a signal handler touches is set before the handlers are installed
// and is restored with write and tcsetattr only (both async-signal-safe).
#include "hosts/terminal/terminal_session.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "state/demo_state.h"

namespace terminal {

namespace {

// Title, alternate screen, no cursor, no autowrap.
constexpr char ENTER_SEQUENCE[] = "\x1b]2;Norq - Murl #13\x07\x1b[?1049h\x1b[?25l\x1b[?7l";
// Asks for 80 by 50 cells; most terminals ignore it.
constexpr char SIZE_REQUEST[] = "\x1b[8;50;80t";
constexpr char CLEAR[] = "\x1b[0m\x1b[H\x1b[2J";
// CAN first: it cancels a sequence a crash may have cut in half.
constexpr char LEAVE_SEQUENCE[] = "\x18\x1b[?2026l\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

constexpr int MAX_TERMINALS = 2;  // the output, and the key terminal when it is another one

struct SavedTerminal {
    int fd;
    termios modes;
};
SavedTerminal savedTerminals[MAX_TERMINALS];
volatile sig_atomic_t savedCount = 0;
volatile sig_atomic_t outputFd = -1;
volatile sig_atomic_t entered = 0;  // raw mode and the alternate screen are on

// Signals that end the program at once: crashes, and Ctrl-\ (SIGQUIT), whose
// core dump is wanted as it is.
constexpr int CRASH_SIGNALS[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGQUIT};

void restoreModes()
{
    for (int i = 0; i < savedCount; ++i) tcsetattr(savedTerminals[i].fd, TCSANOW, &savedTerminals[i].modes);
}

// Best effort from a signal handler: one write, no waiting, no allocation.
void crashHandler(int signal)
{
    if (entered) {
        entered = 0;
        const int saved = errno;
        ssize_t ignored = write(outputFd, LEAVE_SEQUENCE, sizeof LEAVE_SEQUENCE - 1);
        (void)ignored;
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

bool sameTerminal(int a, int b)
{
    struct stat sa {}, sb {};
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

void writeQuietly(const char* data, size_t size)
{
    if (outputFd >= 0) writeAll(outputFd, data, size);
}

}  // namespace

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
    entered = 1;
    writeQuietly(ENTER_SEQUENCE, sizeof ENTER_SEQUENCE - 1);
    if (firstTime) writeQuietly(SIZE_REQUEST, sizeof SIZE_REQUEST - 1);
    writeQuietly(CLEAR, sizeof CLEAR - 1);
}

void leaveTerminal()
{
    if (!entered) return;
    entered = 0;
    writeQuietly(LEAVE_SEQUENCE, sizeof LEAVE_SEQUENCE - 1);
    restoreModes();
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written > 0) {
            data += written;
            size -= size_t(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A non-blocking terminal that is full: wait until it takes more.
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, -1) < 0 && errno != EINTR) return false;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        } else {
            return false;  // EIO after a hang-up, or anything else: the terminal is gone
        }
    }
    return true;
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
