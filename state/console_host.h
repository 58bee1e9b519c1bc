// The console host: the program's whole contact with the screen, the keyboard
// and the clock. The terminal host implements these for a Linux terminal, the
// window host for a desktop window (the demo's main picks one); tests link fakes.
#pragma once

#include <cstdint>

// Start-up, once: take over the terminal, set the title "Norq - Murl #13" and
// ask for 80 by 50 cells. Called by the frame loop before the clock starts.
void openConsole();

// A millisecond count that rises steadily; only differences are used.
// Called by the frame loop once at start-up and once per frame.
uint32_t clockMs();

// Shows the 4,000 cells of screenBuffer. Called by the frame loop once per frame.
void presentFrame();

// Non-zero once Escape has been pressed (or the demo has been asked to stop).
// Called by the frame loop's exit test and by the ray marcher on every march
// step, so it must cost no system call.
uint16_t escapeHeld();

// A modal message with one OK button; returns when the user dismisses it.
// Called by the music start-up when the song fails to load.
void showErrorBox(const char* text, const char* caption);
