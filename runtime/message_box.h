// A message box drawn into the cells: a double-line frame with the caption in
// its top border, the text, and one focused OK button. The hosts that cannot
// show a native box draw this one over the picture.
#pragma once

#include <string_view>

#include "state/demo_state.h"

// Draws the box over `cells`, centred on the top-left `areaRows` by
// `areaColumns` cells (the part of the picture that is visible). Text longer
// than the screen is cut; nothing is drawn outside the 80 by 50 cells.
void drawMessageBox(ScreenBuffer& cells, std::string_view text, std::string_view caption, int areaRows,
                    int areaColumns);
