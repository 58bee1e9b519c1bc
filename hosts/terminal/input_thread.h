// Keys and signals: one input thread reads the terminal and the signals and
// turns them into event bits that the main thread picks up. escapeHeld is a
// relaxed load of those bits, so the ray marcher can ask millions of times a
// frame without a system call.
#pragma once

#include <atomic>

namespace terminal {

// --- Keys

// A key the demo cares about; everything else a terminal sends is swallowed.
enum class Key { NONE, ESCAPE, ENTER, SPACE };

// Splits the bytes a terminal sends into keys. A lone ESC is the Escape key
// only once no byte follows it in time (keyTimeout); ESC ESC is Escape at once.
// CSI (ESC [) sequences end with a byte 0x40..0x7E, SS3 (ESC O) takes one more
// byte, OSC, DCS, SOS, PM and APC strings end with BEL or ESC \, and ESC with
// any other byte is Alt and that key: none of these is Escape.
struct KeyParser {
    enum State { GROUND, ESCAPE, CSI, SS3, STRING, STRING_ESCAPE } state = GROUND;
};
Key feedKey(KeyParser& parser, unsigned char byte);
// No byte came within ESCAPE_TIMEOUT_MS: a pending lone ESC is the Escape key.
Key keyTimeout(KeyParser& parser);
// True when the parser waits to see whether an ESC stands alone.
inline bool escapePending(const KeyParser& parser) { return parser.state == KeyParser::ESCAPE; }
constexpr int ESCAPE_TIMEOUT_MS = 50;

// --- Events

enum : unsigned {
    EVENT_ESCAPE = 1u << 0,    // the Escape key
    EVENT_QUIT = 1u << 1,      // SIGINT, SIGTERM or SIGHUP (see stopSignal)
    EVENT_HANGUP = 1u << 2,    // the terminal is gone
    EVENT_RESIZE = 1u << 3,    // SIGWINCH
    EVENT_SUSPEND = 1u << 4,   // SIGTSTP: Ctrl-Z
    EVENT_CONTINUE = 1u << 5,  // SIGCONT: resumed
    EVENT_DISMISS = 1u << 6,   // Enter, Space or Escape while the error box is open
};
// Any of these ends the demo, and once set they stay set.
constexpr unsigned STOP_EVENTS = EVENT_ESCAPE | EVENT_QUIT | EVENT_HANGUP;

extern std::atomic<unsigned> events;
// The first of SIGINT, SIGTERM and SIGHUP that asked the demo to stop; 0: none.
extern std::atomic<int> stopSignal;
// While true, Enter, Space and Escape dismiss the error box and end nothing.
extern std::atomic<bool> errorBoxOpen;

// Sets event bits and wakes a waiting main thread.
void raiseEvents(unsigned bits);
// Clears the bits of `mask` and returns which of them were set.
unsigned takeEvents(unsigned mask);
// Blocks until one of the bits of `mask` is set; returns all bits.
unsigned waitForEvents(unsigned mask);

// Blocks the signals the input thread takes over, in the calling thread and so
// in every thread started after it. Call before any thread starts.
void blockDemoSignals();

// Starts the input thread: keys from `keyFd` (-1: none), the blocked signals
// through a signalfd. False when it could not start (then only the keys and
// signals are missing; the demo runs on).
bool startInputThread(int keyFd);

// Stops and joins the input thread. Does nothing when none runs.
void stopInputThread();

}  // namespace terminal
