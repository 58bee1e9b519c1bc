// The song a workbench command plays, found as the demo finds it: the working
// directory first, then the data folder of the installation the workbench
// belongs to (set by main).
#pragma once

#include <string>

// The path that opens `name`: music::findSong's answer.
std::string songFile(const char* name);

// Why `name` did not load, for a message: "cannot load the song 'NAME': it is
// not in '/work' nor in '/usr/share/murl13'" when it was not found, else
// "cannot load the song 'PATH': missing, unreadable or not a complete XM module".
std::string songLoadFailure(const char* name);
