#include "raster/logo_icon.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "art/tables.h"
#include "raster/rasterise.h"

namespace raster {

namespace {

// Below this many icon pixels a cell, cells are drawn as blocks.
constexpr int GLYPH_CELL_PIXELS = 4;

using Pixel = std::array<uint8_t, RGBA_BYTES>;  // red, green, blue, alpha

// The logo's cells on a square of `side` cells, centred as the desktop icon
// has always had it; transparent pixels and the margin are left empty.
struct LogoSquare {
    int side, top, left;
    const ImageInfo* logo;

    // The logo pixel value of a square cell, or LOGO_TRANSPARENT off the logo.
    int valueAt(int row, int column) const
    {
        const int y = row - top, x = column - left;
        if (y < 0 || y >= logo->height || x < 0 || x >= logo->width) return LOGO_TRANSPARENT;
        return logo->pixels[y * logo->width + x];
    }
};

Pixel opaque(const Rgb& c) { return {c.r, c.g, c.b, 255}; }

// One pixel a cell: lit cells in the glyph's colour, solid ones in the
// background's.
std::vector<Pixel> blockPicture(const LogoSquare& square)
{
    std::vector<Pixel> picture(size_t(square.side) * size_t(square.side), Pixel{});
    for (int row = 0; row < square.side; ++row) {
        for (int column = 0; column < square.side; ++column) {
            const int value = square.valueAt(row, column);
            if (value == LOGO_TRANSPARENT) continue;
            const int attr = overlayAttr[value];
            const int colour = value == LOGO_LIT ? attr & 15 : (attr >> 4) & 15;
            picture[size_t(row) * size_t(square.side) + size_t(column)] = opaque(vgaPalette[colour]);
        }
    }
    return picture;
}

// The cells as the console drew them, 8 by 8 pixels each.
std::vector<Pixel> glyphPicture(const LogoSquare& square)
{
    ScreenBuffer cells{};
    logoSquareCells(*square.logo, cells);
    std::vector<uint8_t> rgb(pictureBytes(1));
    rasteriseCells(cells.data(), 1, rgb.data(), pictureRowBytes(1));
    const int pixels = square.side * GLYPH_WIDTH;
    std::vector<Pixel> picture(size_t(pixels) * size_t(pixels), Pixel{});
    for (int y = 0; y < pixels; ++y) {
        for (int x = 0; x < pixels; ++x) {
            if (square.valueAt(y / GLYPH_HEIGHT, x / GLYPH_WIDTH) == LOGO_TRANSPARENT) continue;
            const uint8_t* p = rgb.data() + size_t(y) * pictureRowBytes(1) + size_t(x) * RGB_BYTES;
            picture[size_t(y) * size_t(pixels) + size_t(x)] = opaque({p[0], p[1], p[2]});
        }
    }
    return picture;
}

}  // namespace

int logoSquareCells(const ImageInfo& logo, ScreenBuffer& cells)
{
    static_assert(std::max({LOGO1A_WIDTH, LOGO1A_HEIGHT, LOGO1B_WIDTH, LOGO1B_HEIGHT, LOGO2_WIDTH, LOGO2_HEIGHT,
                            LOGO3_WIDTH, LOGO3_HEIGHT}) <= SCREEN_ROWS,
                  "a logo's square of cells must fit the rasterised screen");
    const int side = std::max(logo.width, logo.height);
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) {
            const int value = logo.pixels[y * logo.width + x];
            if (value == LOGO_TRANSPARENT) continue;
            const int row = (side - logo.height) / 2 + y, column = (side - logo.width) / 2 + x;
            cells[size_t(row) * SCREEN_COLUMNS + size_t(column)] = {uint16_t(overlayGlyph[value] & 0xFF),
                                                                    uint16_t(overlayAttr[value])};
        }
    }
    return side;
}

void drawLogoIcon(const ImageInfo& logo, int size, uint8_t* rgba)
{
    const int side = std::max(logo.width, logo.height);
    const LogoSquare square{side, (side - logo.height) / 2, (side - logo.width) / 2, &logo};
    const bool glyphs = size >= GLYPH_CELL_PIXELS * side;
    const std::vector<Pixel> picture = glyphs ? glyphPicture(square) : blockPicture(square);
    const int from = glyphs ? side * GLYPH_WIDTH : side;
    for (int y = 0; y < size; ++y) {
        const size_t row = size_t(y * from / size) * size_t(from);
        for (int x = 0; x < size; ++x) {
            const Pixel& p = picture[row + size_t(x * from / size)];
            std::memcpy(rgba + (size_t(y) * size_t(size) + size_t(x)) * RGBA_BYTES, p.data(), RGBA_BYTES);
        }
    }
}

}  // namespace raster
