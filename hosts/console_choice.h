// One demo, two console hosts: the five console operations the core calls go
// to the system's console (Terminal: the terminal host on Linux, the Windows
// console host on Windows), or to the window host once the demo's main picks it.
#pragma once

namespace hosts {

enum class Console { Terminal, Window };

// Picks the host of the five operations; the terminal until called. Call
// before the demo starts.
void useConsole(Console console);

}  // namespace hosts
