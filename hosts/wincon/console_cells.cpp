#include "hosts/wincon/console_cells.h"

#include "art/cp437.h"

namespace wincon {

void toConsoleCells(const ScreenBuffer& cells, CHAR_INFO* out)
{
    for (int i = 0; i < CELL_COUNT; ++i) {
        out[i].Char.UnicodeChar = WCHAR(cp437Unicode[cells[i].glyph & 0xFF]);
        out[i].Attributes = cells[i].attr;
    }
}

}  // namespace wincon
