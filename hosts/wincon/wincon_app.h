// The console host for a Windows console: the five console operations (as in
// state/console_host.h) and what the demo's main needs to start and end them.
#pragma once

#include <atomic>
#include <cstdint>

namespace wincon {

void openConsole();
uint32_t clockMs();
void presentFrame();
uint16_t escapeHeld();
void showErrorBox(const char* text, const char* caption);

// True when stdout is a console. Otherwise (stdout redirected, or no console
// at all) every console call would fail: writes one line saying so to stderr
// and returns false.
bool requireConsole();

// Frames a second that presentFrame paces itself to, 60 unless set; 0 shows
// frames back to back. Called by main before the demo starts.
void setFrameRate(int framesPerSecond);

// Stops the input thread and gives the console back as it was found: the
// original screen buffer active, its size, window, text and cursor, the title
// and the input mode. Called by main after the frame loop; also runs at exit
// and (but for the input thread) on a crash. Safe to call more than once.
void closeConsole();

// Non-zero once Escape, Ctrl+C, Ctrl+Break or closing the console asked the
// demo to stop. Set by the input thread and the console control handler.
extern std::atomic<unsigned> stopRequested;

}  // namespace wincon
