// The workbench on Windows: stdout carries raw cells and pictures byte for
// byte, and the commands that need libpng or FFmpeg (Linux only) say so.
#include <cstdio>

#include <fcntl.h>
#include <io.h>

#include "tool/png_writer.h"
#include "tool/tool.h"

namespace {

// Without this, every 0x0A written to stdout would go out as CR LF. Set
// before main runs, for every command.
const int stdoutBinary = _setmode(_fileno(stdout), _O_BINARY);

bool noPng()
{
    std::fputs("murl13-tool: PNG output is not in the Windows build (use --format raw or ansi)\n", stderr);
    return false;
}

}  // namespace

bool writePng(std::FILE*, const uint8_t*, int, int, size_t, bool) { return noPng(); }

bool writeScreenPng(std::FILE*, int) { return noPng(); }

// Nothing to refuse: the PNG writers above already decline.
bool refusePngToTerminal(const char*) { return false; }

int toolCapture(int, char**)
{
    std::fputs("murl13-tool: capture is not in the Windows build\n", stderr);
    return 1;
}
