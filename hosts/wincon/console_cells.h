// The demo's cells as the console takes them: each glyph byte as its code
// page 437 character (control codes included: the console shows them as
// pictures), the attribute as it is.
#pragma once

#include <windows.h>

#include "state/demo_state.h"

namespace wincon {

void toConsoleCells(const ScreenBuffer& cells, CHAR_INFO* out);

}  // namespace wincon
