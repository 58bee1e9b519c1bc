// murl13-tool: the developer's workbench. Each command is one function that
// gets the arguments after its name and returns the exit status.
#pragma once

int toolFrame(int argc, char** argv);  // render one frame from a given state
int toolArt(int argc, char** argv);    // print one image
int toolSong(int argc, char** argv);   // probe a song: order changes and triggers
int toolBench(int argc, char** argv);  // benchmark the whole show
int toolCapture(int argc, char** argv);  // render the show to a video file

// Bad options: the message and the usage go to stderr; the caller exits with 2.
constexpr int USAGE_ERROR = 2;

// Readies the process before any command runs: on Windows, the arguments as
// UTF-8 and, for the run, a console that shows UTF-8 and escape codes
// (tool/windows/console_output.cpp); nothing to do elsewhere.
void startWorkbench(int& argc, char**& argv);

// True when escape codes written to stdout show as colours. In a console that
// would print them as text: false, after saying so on stderr with the plain
// format to use instead.
bool escapeCodesShown(const char* command, const char* plainFormat);

// Help text of what the Windows build has not: PNG output and the capture
// (libpng and FFmpeg are Linux-only there), and a processor clock fine
// enough to time a frame.
#ifdef _WIN32
#define NOT_ON_WINDOWS(text) ""
#else
#define NOT_ON_WINDOWS(text) text
#endif
