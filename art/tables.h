// The colour and glyph tables. Each named table is a run of one of two
// sequences, stored back to back. Effects index a named table with a remainder
// that keeps its dividend's sign, so a negative remainder reads the entries
// stored just before the named table: the storage order is part of the look.
#pragma once

constexpr int COLOUR_TABLE_SIZE = 92;
constexpr int GLYPH_TABLE_SIZE = 25;

// Console attributes: overlayAttr (0), marchColours (2), warpColours (22),
// plasmaColoursA (50), plasmaColoursB (80).
extern const int colourTable[COLOUR_TABLE_SIZE];
// Code-page-437 glyphs: overlayGlyph (0), beatGlyphs (2), shadeRamp (21).
extern const int glyphTable[GLYPH_TABLE_SIZE];

constexpr int OVERLAY_ATTR_AT = 0;
constexpr int MARCH_COLOURS_AT = 2;
constexpr int WARP_COLOURS_AT = 22;
constexpr int PLASMA_COLOURS_A_AT = 50;
constexpr int PLASMA_COLOURS_B_AT = 80;

constexpr int OVERLAY_GLYPH_AT = 0;
constexpr int BEAT_GLYPHS_AT = 2;
constexpr int SHADE_RAMP_AT = 21;

constexpr int BEAT_GLYPH_COUNT = 19;

inline const int* const overlayAttr = colourTable + OVERLAY_ATTR_AT;
inline const int* const marchColours = colourTable + MARCH_COLOURS_AT;
inline const int* const warpColours = colourTable + WARP_COLOURS_AT;
inline const int* const plasmaColoursA = colourTable + PLASMA_COLOURS_A_AT;
inline const int* const plasmaColoursB = colourTable + PLASMA_COLOURS_B_AT;

inline const int* const overlayGlyph = glyphTable + OVERLAY_GLYPH_AT;
inline const int* const beatGlyphs = glyphTable + BEAT_GLYPHS_AT;
inline const int* const shadeRamp = glyphTable + SHADE_RAMP_AT;
