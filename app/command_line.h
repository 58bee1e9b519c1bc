// The demo's command line: which console to show the demo on and how, and the
// choice between the terminal and the window when the user named neither.
#pragma once

#include <cstdio>

namespace app {

struct DemoOptions {
    bool window = false;      // --window (also implied by --scale and --fullscreen)
    int scale = 0;            // --scale N, 1 to 8; 0: the largest that fits the desktop
    bool fullscreen = false;  // --fullscreen
    int fps = 60;             // --fps N, 0 to 1000; 0 shows frames back to back
};

enum class ParseOutcome { Run, Help, Version, BadUsage };

// Reads argv[1..argc-1] into options. On BadUsage, writes one line saying what
// was wrong to `errors` (the caller adds the usage).
ParseOutcome parseDemoArguments(int argc, const char* const* argv, DemoOptions& options, std::FILE* errors);

enum class HostChoice { Terminal, Window, Refuse };

// The terminal when stdout is one, unless the window was asked for; the window
// when it was asked for, or when there is no terminal but a display (a desktop
// launcher); otherwise nothing to show the demo on.
HostChoice chooseHost(const DemoOptions& options, bool stdoutIsTerminal, bool displayAvailable);

// True when the environment names an X or Wayland display.
bool displayNamed();

void printDemoUsage(std::FILE* out);

}  // namespace app
