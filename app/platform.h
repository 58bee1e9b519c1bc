// What the demo's main asks of the system it runs on: Linux
// (platform_linux.cpp) or Windows (platform_windows.cpp).
#pragma once

#include "app/command_line.h"

namespace app {

// main's arguments as UTF-8: on Windows from the command line's UTF-16 (the
// strings live until the program ends); elsewhere as they are.
void useUtf8Arguments(int& argc, char**& argv);

// True when stdout is a console the demo can draw on: a terminal on Linux, a
// console on Windows.
bool stdoutIsConsole();

// True when a window may be opened without --window, as for a desktop
// launcher on Linux (a display is named). Never on Windows, where a launcher
// gives the program a console.
bool windowWithoutAsking();

// False when a window surely cannot be shown: on Linux, no display named
// and no video driver asked for by name (SDL's drivers would only fail, and
// say so on stderr before the demo could).
bool windowCanShow();

// Runs the demo on the system's console host (the terminal host, the Windows
// console host) and returns the exit status; ends the process instead when
// the demo was stopped from outside, as the system expects of such a stop.
int runInConsole(const DemoOptions& options);

// Says on stderr why the demo cannot show itself on stdout.
void explainNoConsole();

}  // namespace app
