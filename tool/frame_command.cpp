// murl13-tool frame: renders one frame from a state given on the command line,
// exactly as the frame loop would (frame_request.h), and writes the cells
// (raw), coloured text (ansi) or the picture the VGA console showed (png).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "art/cp437.h"
#include "state/demo_state.h"
#include "runtime/frame_loop.h"
#include "raster/rasterise.h"
#include "runtime/overlays.h"
#include "tool/frame_request.h"
#include "tool/png_writer.h"
#include "tool/raw_cells.h"
#include "tool/tool.h"

namespace {

// One line per row; colours are set when they change and reset at each line end.
bool writeAnsi()
{
    std::string text;
    for (int y = 0; y < SCREEN_ROWS; ++y) {
        int foreground = -1, background = -1;
        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
            const CharInfo cell = screenBuffer[y * SCREEN_COLUMNS + x];
            const int fg = ansiColourIndex(cell.attr & 15);
            const int bg = ansiColourIndex((cell.attr >> 4) & 15);
            if (fg != foreground || bg != background) {
                char sgr[32];
                std::snprintf(sgr, sizeof sgr, "\x1b[%d;%dm", fg < 8 ? 30 + fg : 82 + fg,
                              bg < 8 ? 40 + bg : 92 + bg);
                text += sgr;
                foreground = fg;
                background = bg;
            }
            char utf8[4];
            text.append(utf8, size_t(appendCp437Utf8(uint8_t(cell.glyph & 0xFF), utf8)));
        }
        text += "\x1b[0m\n";
    }
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

}  // namespace

int toolFrame(int argc, char** argv)
{
    FrameRequest request;
    const int status = parseFrameRequest(argc, argv, request);
    if (status == -1) return 0;
    if (status != 0) return status;
    if (request.format == FrameRequest::Format::Png && refusePng("frame")) return 1;

    renderRequestedFrame(request);

    bool ansi = request.format == FrameRequest::Format::Ansi;
    if (request.format == FrameRequest::Format::Default) ansi = isatty(STDOUT_FILENO);
    if (ansi && !escapeCodesShown("frame", "raw")) return 1;
    bool written;
    if (request.format == FrameRequest::Format::Png) written = writeScreenPng(stdout, std::max(1, request.scale));
    else written = ansi ? writeAnsi() : writeRawCells(stdout);
    if (std::fflush(stdout) != 0 || !written) {
        std::perror("murl13-tool frame: write");
        return 1;
    }
    return 0;
}
