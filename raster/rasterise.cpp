#include "raster/rasterise.h"

#include <cstring>

namespace raster {

const Rgb vgaPalette[16] = {
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00}, {0x00, 0xAA, 0xAA},
    {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA}, {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA},
    {0x55, 0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
    {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55}, {0xFF, 0xFF, 0xFF},
};

namespace {

// One pixel row of one cell row: each cell's glyph row, its pixels widened to
// SCALE copies (a template so that the usual scales unroll). The rows below it
// that repeat it are copied whole.
template <int SCALE>
void drawGlyphRow(const CharInfo* cells, int glyphRow, int scale, uint8_t* out)
{
    const int copies = SCALE > 0 ? SCALE : scale;
    for (int x = 0; x < SCREEN_COLUMNS; ++x) {
        const CharInfo cell = cells[x];
        const unsigned bits = vgaFont[cell.glyph & 0xFF][glyphRow];
        const Rgb colours[2] = {vgaPalette[(cell.attr >> 4) & 15], vgaPalette[cell.attr & 15]};
        for (int px = 0; px < GLYPH_WIDTH; ++px) {
            const Rgb c = colours[(bits >> (7 - px)) & 1];
            for (int s = 0; s < copies; ++s) {
                out[0] = c.r;
                out[1] = c.g;
                out[2] = c.b;
                out += RGB_BYTES;
            }
        }
    }
}

}  // namespace

void rasteriseCells(const CharInfo* cells, int scale, uint8_t* rgb, size_t rowStride)
{
    const size_t rowBytes = pictureRowBytes(scale);
    for (int cellRow = 0; cellRow < SCREEN_ROWS; ++cellRow) {
        for (int glyphRow = 0; glyphRow < GLYPH_HEIGHT; ++glyphRow) {
            uint8_t* first = rgb + size_t(cellRow * GLYPH_HEIGHT + glyphRow) * size_t(scale) * rowStride;
            const CharInfo* row = cells + cellRow * SCREEN_COLUMNS;
            if (scale == 1) drawGlyphRow<1>(row, glyphRow, scale, first);
            else if (scale == 2) drawGlyphRow<2>(row, glyphRow, scale, first);
            else drawGlyphRow<0>(row, glyphRow, scale, first);
            for (int s = 1; s < scale; ++s) std::memcpy(first + size_t(s) * rowStride, first, rowBytes);
        }
    }
}

void rasteriseIndexes(const CharInfo* cells, uint8_t* indexes, size_t rowStride)
{
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        const CharInfo* row = cells + (y / GLYPH_HEIGHT) * SCREEN_COLUMNS;
        uint8_t* out = indexes + size_t(y) * rowStride;
        for (int x = 0; x < SCREEN_COLUMNS; ++x) {
            const CharInfo cell = row[x];
            const unsigned bits = vgaFont[cell.glyph & 0xFF][y % GLYPH_HEIGHT];
            const uint8_t colours[2] = {uint8_t(cell.attr >> 4 & 15), uint8_t(cell.attr & 15)};
            for (int px = 0; px < GLYPH_WIDTH; ++px) *out++ = colours[bits >> (7 - px) & 1];
        }
    }
}

}  // namespace raster
