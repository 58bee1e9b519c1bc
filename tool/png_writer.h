// PNG output of the workbench: RGB pictures (as the rasteriser draws them)
// written as 8-bit RGB PNG files through libpng, and RGBA icons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes a width by height picture, three bytes a pixel (four with alpha),
// rows rowStride bytes apart. False when libpng or the file reports an error
// (nothing is retried).
bool writePng(std::FILE* file, const uint8_t* pixels, int width, int height, size_t rowStride,
              bool withAlpha = false);

// Rasterises screenBuffer at the scale and writes it as a PNG.
bool writeScreenPng(std::FILE* file, int scale);

// True, after saying why on stderr, when no PNG can be written: stdout is a
// terminal (a PNG is binary and would garble it), or the build has no PNG
// writer (Windows). `command` names the tool command in the message.
bool refusePng(const char* command);
