// The 8 by 8 console font of the pictures (art/vga_font.cpp).
#pragma once

#include <cstdint>

constexpr int GLYPH_WIDTH = 8;
constexpr int GLYPH_HEIGHT = 8;

// One glyph per code page 437 code: eight rows from the top, the leftmost
// pixel of a row in bit 7.
extern const uint8_t vgaFont[256][GLYPH_HEIGHT];
