// The input thread: polls the key terminal, a signalfd and a stop pipe, and
// sets event bits. It never writes to the terminal; only the main thread does,
// so a restore is never interleaved with half a frame.
#include "hosts/terminal/input_thread.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace terminal {

std::atomic<unsigned> events{0};
std::atomic<int> stopSignal{0};
std::atomic<bool> errorBoxOpen{false};

namespace {

constexpr unsigned char ESC = 0x1B;
constexpr unsigned char BEL = 0x07;
constexpr unsigned char CAN = 0x18;
constexpr unsigned char SUB = 0x1A;

std::mutex wakeMutex;
std::condition_variable wake;

std::thread inputThread;
int signalFd = -1;
int stopPipe[2] = {-1, -1};

sigset_t demoSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT, SIGWINCH}) sigaddset(&set, s);
    return set;
}

void onKey(Key key)
{
    if (key == Key::NONE) return;
    if (errorBoxOpen.load()) raiseEvents(EVENT_DISMISS);
    else if (key == Key::ESCAPE) raiseEvents(EVENT_ESCAPE);
}

void onSignal(int signal)
{
    switch (signal) {
    case SIGINT:
    case SIGTERM:
    case SIGHUP: {
        int none = 0;
        stopSignal.compare_exchange_strong(none, signal);
        raiseEvents(EVENT_QUIT);
        break;
    }
    case SIGTSTP: raiseEvents(EVENT_SUSPEND); break;
    case SIGCONT: raiseEvents(EVENT_CONTINUE); break;
    case SIGWINCH: raiseEvents(EVENT_RESIZE); break;
    default: break;
    }
}

void runInput(int keyFd)
{
    KeyParser parser;
    pollfd fds[3] = {{stopPipe[0], POLLIN, 0}, {signalFd, POLLIN, 0}, {keyFd, POLLIN, 0}};
    for (;;) {
        const int timeout = escapePending(parser) ? ESCAPE_TIMEOUT_MS : -1;
        const int ready = poll(fds, 3, timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (ready == 0) {
            onKey(keyTimeout(parser));
            continue;
        }
        if (fds[0].revents) return;
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info;
            while (read(signalFd, &info, sizeof info) == ssize_t(sizeof info)) onSignal(int(info.ssi_signo));
        }
        if (fds[2].revents) {
            unsigned char bytes[256];
            const ssize_t count = read(keyFd, bytes, sizeof bytes);
            if (count > 0) {
                for (ssize_t i = 0; i < count; ++i) onKey(feedKey(parser, bytes[i]));
            } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                // End of input or EIO: the terminal hung up. Signals still count.
                fds[2].fd = -1;
                raiseEvents(EVENT_HANGUP);
            }
        }
    }
}

}  // namespace

Key feedKey(KeyParser& parser, unsigned char byte)
{
    using S = KeyParser::State;
    switch (parser.state) {
    case S::GROUND:
        if (byte == ESC) parser.state = S::ESCAPE;
        else if (byte == '\r' || byte == '\n') return Key::ENTER;
        else if (byte == ' ') return Key::SPACE;
        return Key::NONE;
    case S::ESCAPE:
        parser.state = S::GROUND;
        if (byte == ESC) return Key::ESCAPE;  // ESC ESC
        if (byte == '[') parser.state = S::CSI;
        else if (byte == 'O') parser.state = S::SS3;
        else if (byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_') parser.state = S::STRING;
        // Anything else was Alt and that key.
        return Key::NONE;
    case S::CSI:
        if (byte == ESC) parser.state = S::ESCAPE;
        else if ((byte >= 0x40 && byte <= 0x7E) || byte == CAN || byte == SUB) parser.state = S::GROUND;
        return Key::NONE;
    case S::SS3:
        parser.state = byte == ESC ? S::ESCAPE : S::GROUND;
        return Key::NONE;
    case S::STRING:
        if (byte == BEL || byte == CAN || byte == SUB) parser.state = S::GROUND;
        else if (byte == ESC) parser.state = S::STRING_ESCAPE;
        return Key::NONE;
    case S::STRING_ESCAPE:
        if (byte == ESC) return Key::NONE;
        if (byte == '\\') {
            parser.state = S::GROUND;
            return Key::NONE;
        }
        // ESC and another byte ends the string and starts a new sequence.
        parser.state = S::ESCAPE;
        return feedKey(parser, byte);
    }
    return Key::NONE;
}

Key keyTimeout(KeyParser& parser)
{
    if (parser.state != KeyParser::ESCAPE) return Key::NONE;
    parser.state = KeyParser::GROUND;
    return Key::ESCAPE;
}

void raiseEvents(unsigned bits)
{
    events.fetch_or(bits);
    // Taking the lock orders the store before a waiter's check, so no wake-up is lost.
    { std::lock_guard<std::mutex> lock(wakeMutex); }
    wake.notify_all();
}

unsigned takeEvents(unsigned mask) { return events.fetch_and(~mask) & mask; }

unsigned waitForEvents(unsigned mask)
{
    std::unique_lock<std::mutex> lock(wakeMutex);
    wake.wait(lock, [mask] { return (events.load() & mask) != 0; });
    return events.load();
}

void blockDemoSignals()
{
    const sigset_t set = demoSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool startInputThread(int keyFd)
{
    if (inputThread.joinable()) return true;
    blockDemoSignals();
    const sigset_t set = demoSignals();
    signalFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0 || pipe2(stopPipe, O_CLOEXEC) != 0) {
        // Nobody would read the signals: let them act as they would by default.
        if (signalFd >= 0) close(signalFd);
        signalFd = -1;
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return false;
    }
    inputThread = std::thread(runInput, keyFd);
    return true;
}

void stopInputThread()
{
    if (!inputThread.joinable()) return;
    const char stop = 1;
    ssize_t ignored = write(stopPipe[1], &stop, 1);
    (void)ignored;
    inputThread.join();
    for (int* fd : {&signalFd, &stopPipe[0], &stopPipe[1]}) {
        close(*fd);
        *fd = -1;
    }
}

}  // namespace terminal
