// Code page 437 glyphs as Unicode characters, for showing cells as text.
#pragma once

// The character shown for each glyph byte; every one is one column wide.
extern const char16_t cp437Unicode[256];

// Writes the UTF-8 form of a glyph (1 to 3 bytes) and returns its length.
int appendCp437Utf8(unsigned char glyph, char* out);

// The ANSI colour number (0..15, bright from 8) of a console colour (0..15).
// Console colours have blue in bit 0 and red in bit 2; ANSI the other way round.
inline int ansiColourIndex(int consoleColour)
{
    return (consoleColour & 0b1010) | ((consoleColour & 1) << 2) | ((consoleColour >> 2) & 1);
}
