// The error box: Windows' own message box, or, where none can be shown (no
// desktop: MessageBoxW fails at once), the same box as the terminal's drawn
// into the console over the picture, dismissed by Enter, Space or Escape.
#include <cstdio>
#include <string>

#include <windows.h>

#include "hosts/wincon/console_state.h"
#include "hosts/wincon/utf8_text.h"
#include "hosts/wincon/wincon_app.h"
#include "runtime/message_box.h"

namespace wincon {

namespace {

constexpr DWORD BOX_POLL_MS = 100;  // how often the drawn box looks at the stop flag

}  // namespace

void showErrorBox(const char* text, const char* caption)
{
    // A button's number once dismissed; 0 on failure (Wine without a display
    // answers -1).
    if (MessageBoxW(nullptr, wideFromUtf8(text).c_str(), wideFromUtf8(caption).c_str(), MB_OK) > 0) return;
    if (!console.open || !console.inputModeSaved) {
        // No console to draw on or no key to dismiss it: say it and go on.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    console.boxDismissed.store(false);
    console.boxOpen.store(true);
    // What the box covers: the latest frame, or black before the first one.
    ScreenBuffer boxed = console.frameShown ? console.shown : ScreenBuffer{};
    drawMessageBox(boxed, text, caption, SCREEN_ROWS, SCREEN_COLUMNS);
    while (!console.boxDismissed.load() && !escapeHeld()) {
        writeCells(boxed);  // again and again: the console may have been cleared or resized
        WaitForSingleObject(console.wake, BOX_POLL_MS);
    }
    console.boxOpen.store(false);
}

}  // namespace wincon
