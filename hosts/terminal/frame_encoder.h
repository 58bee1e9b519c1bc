// The frame encoder: turns the cell grid into the bytes that make a terminal
// show it. A pure function of what the terminal shows, the new grid and the
// terminal's size; it writes nothing itself, so the benchmark and the tests can
// run it without a terminal.
#pragma once

#include <string>

#include "state/demo_state.h"

namespace terminal {

// Appends to `out` the bytes that turn a terminal of `rows` by `columns` cells,
// showing `shown` at its top left, into one showing `next`.
//
// `shown` null means the screen is unknown (first frame, after a resize or a
// resume): the screen is cleared and every visible cell written. Otherwise only
// cells that differ from `shown` are written, and `rows` and `columns` must be
// the ones `shown` was encoded for. Nothing is appended when nothing changed.
//
// The output assumes no autowrap (DECAWM off) and a raw terminal (a line feed
// only moves down). It starts from an unknown cursor and unknown colours and
// leaves no attribute other than the two colours set. A terminal smaller than 80 by 50 gets the part of
// the picture that fits and, on a full repaint, a one-line notice under it.
void encodeFrame(const ScreenBuffer* shown, const ScreenBuffer& next, int rows, int columns,
                 std::string& out);

// The part of the picture a terminal of `rows` by `columns` shows, and the row
// of the notice (-1 when the whole picture fits).
struct Viewport {
    int pictureRows;
    int pictureColumns;
    int noticeRow;
};
Viewport viewportFor(int rows, int columns);

// The SGR colour numbers of a console colour (0..15, bit 0 blue, bit 2 red):
// foreground 30..37 and 90..97; a background adds 10.
int ansiForeground(int consoleColour);

}  // namespace terminal
