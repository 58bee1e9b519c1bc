#include "tool/raw_cells.h"

#include <cstdint>

#include "state/demo_state.h"

bool writeRawCells(std::FILE* file)
{
    unsigned char bytes[CELL_COUNT * 4];
    for (int i = 0; i < CELL_COUNT; ++i) {
        const CharInfo cell = screenBuffer[i];
        bytes[i * 4 + 0] = uint8_t(cell.glyph & 0xFF);
        bytes[i * 4 + 1] = uint8_t(cell.glyph >> 8);
        bytes[i * 4 + 2] = uint8_t(cell.attr & 0xFF);
        bytes[i * 4 + 3] = uint8_t(cell.attr >> 8);
    }
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}
