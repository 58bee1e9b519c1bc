// The workbench's raw frame format: the 4,000 cells in buffer order, each a
// 16-bit glyph then a 16-bit attribute, little-endian.
#pragma once

#include <cstdio>

// Writes screenBuffer in that format; false when the write fails.
bool writeRawCells(std::FILE* file);
