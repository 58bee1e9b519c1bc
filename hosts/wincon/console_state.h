// The Windows console host's own state, shared by the console operations and
// the error box.
#pragma once

#include <atomic>

#include <windows.h>

#include "state/demo_state.h"

namespace wincon {

struct ConsoleState {
    bool open = false;                 // openConsole found a console and set it up
    HANDLE output = nullptr;
    HANDLE input = nullptr;            // where the keys come from
    bool ownsInput = false;            // input was opened here (CONIN$)
    DWORD inputMode = 0;               // the input mode to give back
    bool inputModeSaved = false;
    CONSOLE_CURSOR_INFO cursor{};      // the cursor to give back
    bool cursorSaved = false;
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
