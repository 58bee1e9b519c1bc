// Keys and signals: one input thread reads the terminal and the signals and
// turns them into event bits that the main thread picks up. escapeHeld is a
// relaxed load of those bits, so the ray marcher can ask millions of times a
// frame without a system call.
#pragma once

#include <atomic>

namespace terminal {

// --- Keys

// A key the demo cares about, or a terminal's answer to the start-up query;
// everything else a terminal sends is swallowed.
enum class Key {
    NONE,
    ESCAPE,
    ENTER,
    SPACE,
    SYNC_MODE_REPORT,   // CSI ? 2026 ; n $ y: the parser's reportedMode holds n
    DEVICE_ATTRIBUTES,  // CSI ? ... c: the answer that ends the query
};

// Splits the bytes a terminal sends into keys. A lone ESC is the Escape key
// only once no byte follows it in time (keyTimeout); ESC ESC is Escape at once.
// CSI (ESC [) sequences end with a byte 0x40..0x7E, SS3 (ESC O) takes one more
// byte, OSC, DCS, SOS, PM and APC strings end with BEL or ESC \, and ESC with
// any other byte is Alt and that key: none of these is Escape.
struct KeyParser {
    enum State { GROUND, ESCAPE, CSI, SS3, STRING, STRING_ESCAPE } state = GROUND;
    char csi[16] = {};   // the start of the CSI sequence being read
    int csiLength = 0;
    int reportedMode = -1;
};
Key feedKey(KeyParser& parser, unsigned char byte);
// No byte came within ESCAPE_TIMEOUT_MS. A terminal sends a sequence in one
// piece, so one cut short by silence was typed: a pending ESC, in any state,
// is the Escape key, and the parser starts over.
Key keyTimeout(KeyParser& parser);
// True when the parser is inside a sequence and waits for the rest.
inline bool sequencePending(const KeyParser& parser) { return parser.state != KeyParser::GROUND; }
constexpr int ESCAPE_TIMEOUT_MS = 50;

// --- Events

enum : unsigned {
    EVENT_ESCAPE = 1u << 0,    // the Escape key
    EVENT_QUIT = 1u << 1,      // a stop signal (see stopSignal)
    EVENT_HANGUP = 1u << 2,    // the terminal is gone
    EVENT_RESIZE = 1u << 3,    // SIGWINCH
    EVENT_SUSPEND = 1u << 4,   // SIGTSTP: Ctrl-Z
    EVENT_CONTINUE = 1u << 5,  // SIGCONT: resumed
    EVENT_DISMISS = 1u << 6,   // Enter, Space or Escape while the error box is open
    EVENT_ANSWERED = 1u << 7,  // the terminal answered the start-up query
};
// Any of these ends the demo, and once set they stay set.
constexpr unsigned STOP_EVENTS = EVENT_ESCAPE | EVENT_QUIT | EVENT_HANGUP;

extern std::atomic<unsigned> events;
// The first stop signal (see isStopSignal) that asked the demo to stop; 0: none.
extern std::atomic<int> stopSignal;
// What the terminal reported for synchronized output (mode 2026): 1 set,
// 2 reset, 0 unknown to it, 3 or 4 permanent; -1 no answer (yet).
extern std::atomic<int> synchronizedOutputMode;
// While true, Enter, Space and Escape dismiss the error box and end nothing.
extern std::atomic<bool> errorBoxOpen;

// Sets event bits and wakes a waiting main thread.
void raiseEvents(unsigned bits);
// Clears the bits of `mask` and returns which of them were set.
unsigned takeEvents(unsigned mask);
// Blocks until one of the bits of `mask` is set; returns all bits.
unsigned waitForEvents(unsigned mask);
// Waits until `fd` (-1: none) is ready for `fdEvents`, an event is raised, or
// `timeoutNs` (negative: no limit) has passed. Returns the fd's poll events,
// 0 when woken otherwise. Main thread only.
short waitForFdOrEvent(int fd, short fdEvents, long long timeoutNs);

// The signals whose default action ends the process and that the demo turns
// into a clean stop (the crash handlers take the synchronous ones): SIGINT,
// SIGTERM, SIGHUP, SIGUSR1 and SIGUSR2, the timers, the resource limits,
// SIGPIPE, SIGIO, SIGPWR, SIGSTKFLT and the real-time signals.
bool isStopSignal(int signal);

// Blocks the signals the input thread takes over, in the calling thread and so
// in every thread started after it. Call before any thread starts.
void blockDemoSignals();

// Starts the input thread: keys from `keyFd` (-1: none), the blocked signals
// through a signalfd. False when it could not start (then only the keys and
// signals are missing; the demo runs on).
bool startInputThread(int keyFd);

// True while the input thread runs.
bool inputThreadRunning();

// Stops and joins the input thread. Does nothing when none runs.
void stopInputThread();

}  // namespace terminal
