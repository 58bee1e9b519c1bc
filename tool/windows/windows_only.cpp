// The workbench on Windows: stdout carries raw cells byte for byte, and the
// commands that need libpng or FFmpeg (Linux only) say so, once.
#include <cstdio>

#include <fcntl.h>
#include <io.h>

#include "tool/png_writer.h"
#include "tool/tool.h"

namespace {

// Without this, every 0x0A written to stdout would go out as CR LF. Set
// before main runs, for every command.
const int stdoutBinary = _setmode(_fileno(stdout), _O_BINARY);

}  // namespace

// Never called: refusePng declines first.
bool writePng(std::FILE*, const uint8_t*, int, int, size_t, bool) { return false; }

bool writeScreenPng(std::FILE*, int) { return false; }

bool refusePng(const char* command)
{
    std::fprintf(stderr, "murl13-tool %s: PNG output is not in the Windows build\n", command);
    return true;
}

int toolCapture(int, char**)
{
    std::fputs("murl13-tool: capture is not in the Windows build\n", stderr);
    return 1;
}
