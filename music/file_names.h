// Files by their UTF-8 names, on every system. Windows would read a narrow
// name in the ANSI code page, which cannot spell every folder's name: there
// the name becomes UTF-16 and goes through the wide-character calls.
#pragma once

#include <cstdio>

namespace music {

// True when the file exists and may be read.
bool fileReadable(const char* path);

// True when something of that name exists.
bool fileExists(const char* path);

// A descriptor for reading a regular file, or -1. The open does not wait: a
// FIFO or a device is turned away at once instead of blocking until someone
// writes to it.
int openRegularFile(const char* path);

// std::fopen.
std::FILE* openFile(const char* path, const char* mode);

}  // namespace music
