// A logo as a square desktop icon of a given size, in RGBA: the logo centred
// on a square of cells, its transparent pixels (and the square's margin)
// transparent. From 4 icon pixels a cell up, the cells are drawn as the VGA
// console drew them (lit pixels as the white square glyph on black); below
// that the glyph's dots would be lost, so each cell is a block of its colour
// (lit white, solid black). Either is scaled to the size by taking, for each
// icon pixel, the pixel at its top left corner: no blending, every edge stays
// sharp (at 16 pixels, every second cell of the 32-cell logo3).
#pragma once

#include <cstddef>
#include <cstdint>

#include "art/images.h"
#include "state/demo_state.h"

namespace raster {

constexpr int MIN_ICON_SIZE = 16;
constexpr int MAX_ICON_SIZE = 256;
constexpr int RGBA_BYTES = 4;

// Draws `logo` (one of the logos of art/images.h) as a size by size picture
// (MIN_ICON_SIZE to MAX_ICON_SIZE) into rgba: four bytes a pixel (red, green,
// blue, alpha; colours not premultiplied), rows top down, size * 4 bytes a row.
void drawLogoIcon(const ImageInfo& logo, int size, uint8_t* rgba);

// Puts `logo`'s cells, as the console shows the logo, centred on a square of
// cells at the top left of `cells`; its transparent pixels and the square's
// margin are left as they were. Returns the square's side in cells.
int logoSquareCells(const ImageInfo& logo, ScreenBuffer& cells);

}  // namespace raster
