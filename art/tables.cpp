#include "art/tables.h"

const int colourTable[COLOUR_TABLE_SIZE] = {
    // overlayAttr: solid, lit
    0, 15,
    // marchColours: five ramps of four, black, dark, bright, white
    0, 6, 14, 15,  0, 2, 10, 15,  0, 3, 11, 15,  0, 1, 9, 15,  0, 5, 13, 15,
    // warpColours: grey, red, yellow, green, cyan, blue, magenta
    0, 8, 7, 15,  0, 4, 12, 15,  0, 6, 14, 15,  0, 2, 10, 15,
    0, 3, 11, 15,  0, 1, 9, 15,  0, 5, 13, 15,
    // plasmaColoursA: five ramps of six that rise to white and fall back
    0, 6, 14, 15, 14, 6,  0, 2, 10, 15, 10, 2,  0, 3, 11, 15, 11, 3,
    0, 1, 9, 15, 9, 1,  0, 5, 13, 15, 13, 5,
    // plasmaColoursB: blue into light cyan, magenta into yellow
    0, 1, 3, 11, 3, 1,  0, 5, 6, 14, 6, 5,
};

const int glyphTable[GLYPH_TABLE_SIZE] = {
    // overlayGlyph: empty, black square
    0, 254,
    // beatGlyphs: a new symbol on every beat
    1, 2, 3, 4, 5, 6, 7, 8, 10, 15, 248, 206, 233, 254, 35, 42, 64, 43, 246,
    // shadeRamp: faint to dense
    250, 7, 4, 254,
};
