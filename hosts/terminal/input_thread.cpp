// The input thread: polls the key terminal, a signalfd and a stop pipe, and
// sets event bits. It never writes to the terminal; only the main thread does,
// so a restore is never interleaved with half a frame.
#include "hosts/terminal/input_thread.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace terminal {

std::atomic<unsigned> events{0};
std::atomic<int> stopSignal{0};
std::atomic<int> synchronizedOutputMode{-1};
std::atomic<bool> errorBoxOpen{false};

namespace {

constexpr unsigned char ESC = 0x1B;
constexpr unsigned char BEL = 0x07;
constexpr unsigned char CAN = 0x18;
constexpr unsigned char SUB = 0x1A;

constexpr int STOP_SIGNALS[] = {SIGINT,    SIGTERM, SIGHUP,  SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,
                                SIGXCPU,   SIGXFSZ, SIGPIPE, SIGIO,   SIGPWR,  SIGSTKFLT};

std::thread inputThread;
int signalFd = -1;
int stopPipe[2] = {-1, -1};
// Written on every raised event, so that the main thread can wait on it
// together with the terminal in poll.
int wakeFd = -1;

sigset_t demoSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGTSTP, SIGCONT, SIGWINCH}) sigaddset(&set, s);
    for (int s = 1; s <= SIGRTMAX; ++s)
        if (isStopSignal(s)) sigaddset(&set, s);
    return set;
}

void onKey(Key key, const KeyParser& parser)
{
    if (key == Key::NONE) return;
    if (key == Key::SYNC_MODE_REPORT) return synchronizedOutputMode.store(parser.reportedMode);
    if (key == Key::DEVICE_ATTRIBUTES) return raiseEvents(EVENT_ANSWERED);
    if (errorBoxOpen.load()) raiseEvents(EVENT_DISMISS);
    else if (key == Key::ESCAPE) raiseEvents(EVENT_ESCAPE);
}

void onSignal(int signal)
{
    if (isStopSignal(signal)) {
        int none = 0;
        stopSignal.compare_exchange_strong(none, signal);
        raiseEvents(EVENT_QUIT);
    } else if (signal == SIGTSTP) {
        raiseEvents(EVENT_SUSPEND);
    } else if (signal == SIGCONT) {
        // A continue cancels a stop that the main thread has not taken yet.
        events.fetch_and(~unsigned(EVENT_SUSPEND));
        raiseEvents(EVENT_CONTINUE);
    } else if (signal == SIGWINCH) {
        raiseEvents(EVENT_RESIZE);
    }
}

void runInput(int keyFd)
{
    KeyParser parser;
    pollfd fds[3] = {{stopPipe[0], POLLIN, 0}, {signalFd, POLLIN, 0}, {keyFd, POLLIN, 0}};
    for (;;) {
        const int timeout = sequencePending(parser) ? ESCAPE_TIMEOUT_MS : -1;
        const int ready = poll(fds, 3, timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (ready == 0) {
            onKey(keyTimeout(parser), parser);
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
                for (ssize_t i = 0; i < count; ++i) onKey(feedKey(parser, bytes[i]), parser);
            } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                // End of input or EIO: the terminal hung up. Signals still count.
                fds[2].fd = -1;
                raiseEvents(EVENT_HANGUP);
            }
        }
    }
}

}  // namespace

namespace {

// The answers to the start-up query among the CSI sequences: "?2026;n$y" and "?...c".
Key csiKey(KeyParser& parser, char final)
{
    const std::string_view body(parser.csi, size_t(parser.csiLength));
    if (final == 'c' && body.starts_with('?')) return Key::DEVICE_ATTRIBUTES;
    constexpr std::string_view SYNC_REPORT = "?2026;";
    if (final == 'y' && body.starts_with(SYNC_REPORT) && body.ends_with('$') && body.size() == SYNC_REPORT.size() + 2 &&
        body[SYNC_REPORT.size()] >= '0' && body[SYNC_REPORT.size()] <= '9') {
        parser.reportedMode = body[SYNC_REPORT.size()] - '0';
        return Key::SYNC_MODE_REPORT;
    }
    return Key::NONE;
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
        if (byte == '[') parser.state = S::CSI, parser.csiLength = 0;
        else if (byte == 'O') parser.state = S::SS3;
        else if (byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_') parser.state = S::STRING;
        // Anything else was Alt and that key.
        return Key::NONE;
    case S::CSI:
        if (byte == ESC) parser.state = S::ESCAPE;
        else if (byte == CAN || byte == SUB) parser.state = S::GROUND;
        else if (byte >= 0x40 && byte <= 0x7E) {
            parser.state = S::GROUND;
            return csiKey(parser, char(byte));
        } else if (parser.csiLength < int(sizeof parser.csi)) {
            parser.csi[parser.csiLength++] = char(byte);
        }
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
    const bool escape = parser.state == KeyParser::ESCAPE || parser.state == KeyParser::STRING_ESCAPE;
    parser.state = KeyParser::GROUND;
    return escape ? Key::ESCAPE : Key::NONE;
}

bool isStopSignal(int signal)
{
    for (int s : STOP_SIGNALS)
        if (s == signal) return true;
    return signal >= SIGRTMIN && signal <= SIGRTMAX;
}

void raiseEvents(unsigned bits)
{
    events.fetch_or(bits);
    // After the store: a waiter that checked the bits before it is woken by this.
    const uint64_t one = 1;
    if (wakeFd >= 0 && write(wakeFd, &one, sizeof one) < 0) {
        // The counter is full: a wake-up is already pending.
    }
}

unsigned takeEvents(unsigned mask) { return events.fetch_and(~mask) & mask; }

unsigned waitForEvents(unsigned mask)
{
    while ((events.load() & mask) == 0) waitForFdOrEvent(-1, 0, -1);
    return events.load();
}

short waitForFdOrEvent(int fd, short fdEvents, long long timeoutNs)
{
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, fdEvents, 0}};
    const timespec timeout{time_t(timeoutNs / 1000000000), long(timeoutNs % 1000000000)};
    if (ppoll(fds, 2, timeoutNs < 0 ? nullptr : &timeout, nullptr) <= 0) return 0;
    uint64_t count;
    if (fds[0].revents && read(wakeFd, &count, sizeof count) < 0) {
        // Nothing to take: another waiter drained it.
    }
    return fds[1].revents;
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
    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (signalFd < 0 || wakeFd < 0 || pipe2(stopPipe, O_CLOEXEC) != 0) {
        // Nobody would read the signals: let them act as they would by default.
        for (int* fd : {&signalFd, &wakeFd}) {
            if (*fd >= 0) close(*fd);
            *fd = -1;
        }
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return false;
    }
    inputThread = std::thread(runInput, keyFd);
    return true;
}

bool inputThreadRunning() { return inputThread.joinable(); }

void stopInputThread()
{
    if (!inputThread.joinable()) return;
    const char stop = 1;
    ssize_t ignored = write(stopPipe[1], &stop, 1);
    (void)ignored;
    inputThread.join();
    for (int* fd : {&signalFd, &stopPipe[0], &stopPipe[1], &wakeFd}) {
        close(*fd);
        *fd = -1;
    }
}

}  // namespace terminal
