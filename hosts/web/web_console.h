// The console operations for a page (state/console_host.h): the cells are
// rasterised with the VGA font and palette into an RGBA picture that the
// page's script puts on its 640 by 400 canvas; Escape and the clock come from
// the page. The page's script drives the show through app/page_main.cpp.
#pragma once

#include <cstdint>

namespace web {

// The picture presentFrame last drew: 640 by 400 pixels, four bytes each
// (red, green, blue, 255), rows top down.
const uint8_t* shownPicture();

// Escape (or the page's stop) has been pressed; cleared by openConsole.
void pressEscape();
// In an instance that draws rows for another: Escape held there or not.
void holdEscape(bool held);

// clockMs reads the song clock, set here in milliseconds of song played, when
// there is a song; the page's monotonic clock otherwise.
void useSongClock(double songMs);
void useWallClock();

// The error box: open from showErrorBox until the page dismisses it (a click,
// Enter or Space on its OK button). The page runs no frame while it is open.
bool errorBoxOpen();
void dismissErrorBox();

}  // namespace web
