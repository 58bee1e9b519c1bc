// What the demo changes in the console it was started from, saved before the
// first frame and given back on the way out: the screen buffer's size, window,
// cursor (place, size, visibility), text attribute and the cells of its text,
// and the console's title. The demo draws in a screen buffer of its own (the
// console's alternate screen), so on Windows the first buffer keeps its text
// anyway; Wine's console lets the second buffer's writes reach the first one's
// cells, and those come back from the saved copy.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace wincon {

struct ConsoleSnapshot {
    bool saved = false;
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    CONSOLE_CURSOR_INFO cursor{};
    bool cursorSaved = false;
    std::wstring title;
    bool titleSaved = false;
    // Rows 0 to textRows - 1, whole rows of buffer.dwSize.X cells.
    std::vector<CHAR_INFO> cells;
    int textRows = 0;
};

// Reads what `output` (a console screen buffer) and the console hold now.
// False when `output` is not a console screen buffer.
bool saveConsole(HANDLE output, ConsoleSnapshot& snapshot);

// Gives `output` back what the snapshot holds, changing only what differs
// (rewritten cells would lose the colours a terminal keeps beyond the 16 of
// a console attribute). Uses no memory of its own: also for the crash handler.
void restoreConsole(HANDLE output, const ConsoleSnapshot& snapshot);

}  // namespace wincon
