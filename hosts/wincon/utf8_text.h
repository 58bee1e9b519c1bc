// Text between Windows' UTF-16 and the UTF-8 the programs use inside: the
// command line, messages for the message box.
#pragma once

#include <string>

namespace wincon {

std::wstring wideFromUtf8(const char* text);

// Replaces main's arguments (read in the ANSI code page, which cannot spell
// every name) with the command line's own UTF-16 words as UTF-8. The strings
// live until the program ends.
void useUtf8Arguments(int& argc, char**& argv);

}  // namespace wincon
