// The rasteriser draws every picture the window, the video capture and the
// workbench show, so a swapped colour, a mirrored glyph, a scaled pixel out of
// place or a write past the frame would show everywhere at once. These cells
// have pixels known by hand: the font's 'A', the full block, the blank codes,
// every colour as foreground and background, scales 1 and 3, and the edges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "art/vga_font.h"
#include "raster/rasterise.h"

namespace {

using raster::PICTURE_HEIGHT;
using raster::PICTURE_WIDTH;
using raster::Rgb;

struct Picture {
    int scale;
    size_t stride;
    std::vector<uint8_t> bytes;
    Rgb at(int x, int y) const
    {
        const uint8_t* p = bytes.data() + size_t(y) * stride + size_t(x) * 3;
        return {p[0], p[1], p[2]};
    }
};

Picture draw(const ScreenBuffer& cells, int scale, size_t padding = 0)
{
    Picture picture{scale, raster::pictureRowBytes(scale) + padding, {}};
    picture.bytes.assign(picture.stride * size_t(PICTURE_HEIGHT * scale), 0xEE);
    raster::rasteriseCells(cells.data(), scale, picture.bytes.data(), picture.stride);
    return picture;
}

ScreenBuffer filled(CharInfo cell)
{
    ScreenBuffer cells;
    cells.fill(cell);
    return cells;
}

Rgb hex(unsigned v) { return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

// The console colours as the VGA showed them, 0 to 15.
const unsigned VGA_HEX[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
                              0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

TEST(Rasteriser, GlyphRowsLeftmostPixelFirstInForegroundOnBackground)
{
    // 'A' in bright yellow on blue, at cell (3, 2); the rest blank on black.
    ScreenBuffer cells = filled({' ', 0x07});
    cells[2 * SCREEN_COLUMNS + 3] = {'A', 0x1E};
    const Picture p = draw(cells, 1);
    const char* expected[8] = {"..###...", ".##.##..", "##...##.", "#######.",
                               "##...##.", "##...##.", "##...##.", "........"};
    for (int row = 0; row < 8; ++row) {
        std::string drawn;
        for (int px = 0; px < 8; ++px) {
            const Rgb c = p.at(3 * 8 + px, 2 * 8 + row);
            drawn += c == hex(0xFFFF55) ? '#' : c == hex(0x0000AA) ? '.' : '?';
        }
        EXPECT_EQ(drawn, expected[row]) << "row " << row;
    }
    EXPECT_EQ(p.at(3 * 8 - 1, 2 * 8), hex(0x000000));  // the cell to the left stays black
}

TEST(Rasteriser, EveryColourAsForegroundAndBackgroundAndBlankCodes)
{
    for (int colour = 0; colour < 16; ++colour) {
        SCOPED_TRACE(colour);
        // Full block: all foreground. Bits above the background's are ignored,
        // and so is the character field's high byte.
        EXPECT_EQ(draw(filled({0x01DB, uint16_t(0xF000 | colour)}), 1).at(5, 7), hex(VGA_HEX[colour]));
        for (uint16_t blank : {0x00, 0x20, 0xFF}) {
            const Picture p = draw(filled({blank, uint16_t(colour << 4 | (15 - colour))}), 1);
            EXPECT_EQ(p.at(0, 0), hex(VGA_HEX[colour]));
            EXPECT_EQ(p.at(PICTURE_WIDTH - 1, PICTURE_HEIGHT - 1), hex(VGA_HEX[colour]));
        }
    }
}

TEST(Rasteriser, ScaledPicturesRepeatEachPixelAndStayInsideTheirRows)
{
    // A frame of varied cells: every glyph, colours changing along both axes.
    ScreenBuffer cells;
    for (int i = 0; i < CELL_COUNT; ++i) cells[size_t(i)] = {uint16_t(i % 256), uint16_t((i * 7 + i / 80) & 0xFF)};
    const Picture one = draw(cells, 1);
    for (int scale : {3, raster::MAX_SCALE}) {
        const size_t padding = 5;
        const Picture big = draw(cells, scale, padding);
        int mismatches = 0;
        for (int y = 0; y < PICTURE_HEIGHT * scale; ++y)
            for (int x = 0; x < PICTURE_WIDTH * scale; ++x)
                mismatches += !(big.at(x, y) == one.at(x / scale, y / scale));
        EXPECT_EQ(mismatches, 0) << "scale " << scale;
        // The padding after each row is never written.
        for (int y = 0; y < PICTURE_HEIGHT * scale; ++y)
            for (size_t k = 0; k < padding; ++k)
                ASSERT_EQ(big.bytes[size_t(y) * big.stride + raster::pictureRowBytes(scale) + k], 0xEE);
    }
    // The bottom-right cell's last pixel is its glyph's last pixel.
    const CharInfo last = cells[CELL_COUNT - 1];
    const bool lit = vgaFont[last.glyph & 0xFF][7] & 1;
    EXPECT_EQ(one.at(PICTURE_WIDTH - 1, PICTURE_HEIGHT - 1),
              hex(VGA_HEX[lit ? last.attr & 15 : (last.attr >> 4) & 15]));
}

TEST(VgaFont, BlankOnlyWhereStatedAndTheDrawnGlyphsPresent)
{
    auto blank = [](int code) {
        for (uint8_t row : vgaFont[code])
            if (row) return false;
        return true;
    };
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(blank(code), code == 0x00 || code == 0x20 || code == 0xFF) << std::hex << code;
    // The pointers mirror each other; the full block is full.
    for (int row = 0; row < 8; ++row) {
        uint8_t mirrored = 0;
        for (int bit = 0; bit < 8; ++bit) mirrored |= uint8_t(((vgaFont[0x10][row] >> bit) & 1) << (7 - bit));
        EXPECT_EQ(uint8_t(mirrored << 1), vgaFont[0x11][row]) << row;
        EXPECT_EQ(vgaFont[0xDB][row], 0xFF);
    }
}

}  // namespace
