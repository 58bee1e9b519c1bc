// The terminal host's own state, shared by the console operations and the
// error box. Main thread only.
#pragma once

#include <string>

#include "state/demo_state.h"

namespace terminal {

struct HostState {
    bool open = false;        // openConsole took over the terminal
    bool outputLost = false;  // a write failed (hang-up) or a frame was cut short: no more frames
    int outputFd = -1;
    int keyFd = -1;           // where keys come from: stdin, /dev/tty, or -1
    bool ownsKeyFd = false;   // keyFd was opened here (/dev/tty)
    int rows = SCREEN_ROWS;   // the terminal's size
    int columns = SCREEN_COLUMNS;
    bool repaint = true;      // the screen is unknown: the next picture is drawn in full
    ScreenBuffer shown{};     // what the terminal shows when repaint is false
    std::string bytes;        // the frame being written, reused
};
extern HostState host;

// Picks up a suspend (Ctrl-Z), a resume and a resize: leaves the terminal and
// stops, re-enters on resume, reads the size again; each one makes the next
// picture a full repaint.
void serviceEvents();

// Makes the terminal show `cells`, writing only what differs from what it
// shows. A failed write marks the output lost and ends the demo.
void showCells(const ScreenBuffer& cells);

}  // namespace terminal
