// The Windows console host's own state, shared by the console operations and
// the error box.
#pragma once

#include <atomic>

#include <windows.h>

#include "hosts/wincon/console_snapshot.h"
#include "state/demo_state.h"

namespace wincon {

struct ConsoleState {
    bool open = false;                 // openConsole found a console and set it up
    HANDLE output = nullptr;           // where the demo draws: its own screen buffer, or the original
    HANDLE original = nullptr;         // the screen buffer the demo was started with
    bool ownBuffer = false;            // output is a screen buffer of the demo's own
    ConsoleSnapshot snapshot;          // the original as it was, given back at the end
    std::atomic<bool> givenBack{false};
    HANDLE input = nullptr;            // where the keys come from
    bool ownsInput = false;            // input was opened here (CONIN$)
    DWORD inputMode = 0;               // the input mode to give back
    bool inputModeSaved = false;
    HANDLE wake = nullptr;             // set by the input thread after a key that matters
    HANDLE quitInput = nullptr;        // set to stop the input thread
    std::atomic<bool> boxOpen{false};  // keys dismiss the error box instead of ending the demo
    std::atomic<bool> boxDismissed{false};
    bool frameShown = false;           // shown holds the latest frame
    ScreenBuffer shown{};
};
extern ConsoleState console;

// Writes the 80 by 50 cells to the console in one call.
void writeCells(const ScreenBuffer& cells);

}  // namespace wincon
