// Cells to pixels, as the PC's VGA text mode showed them: 8 by 8 glyphs of the
// console font, the 16-colour palette, 640 by 400 pixels for 80 by 50 cells.
// The window host, the video capture and the workbench all draw with this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "art/vga_font.h"
#include "state/demo_state.h"

namespace raster {

constexpr int PICTURE_WIDTH = SCREEN_COLUMNS * GLYPH_WIDTH;  // 640
constexpr int PICTURE_HEIGHT = SCREEN_ROWS * GLYPH_HEIGHT;   // 400
constexpr int MAX_SCALE = 8;
constexpr int RGB_BYTES = 3;

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The console colours 0 to 15 (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright).
extern const Rgb vgaPalette[16];

// Bytes of one RGB picture row and of the whole picture at a scale.
constexpr size_t pictureRowBytes(int scale) { return size_t(PICTURE_WIDTH) * size_t(scale) * RGB_BYTES; }
constexpr size_t pictureBytes(int scale) { return pictureRowBytes(scale) * size_t(PICTURE_HEIGHT) * size_t(scale); }

// Draws 80 by 50 cells (row-major) as 640 by 400 pixels, each pixel repeated
// scale by scale (1 to MAX_SCALE), into rgb: three bytes a pixel (red, green,
// blue), rows top down, rowStride bytes apart (at least pictureRowBytes). A
// cell's glyph is the low byte of its character field; attribute bits 0-3 are
// the foreground colour, bits 4-7 the background (all 16, no blinking).
void rasteriseCells(const CharInfo* cells, int scale, uint8_t* rgb, size_t rowStride);

// The same 640 by 400 pixels by their colour number (0 to 15), one byte a
// pixel, rows `rowStride` bytes apart (at least 640).
void rasteriseIndexes(const CharInfo* cells, uint8_t* indexes, size_t rowStride);

}  // namespace raster
