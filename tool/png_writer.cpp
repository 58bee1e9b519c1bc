#include "tool/png_writer.h"

#include <png.h>

#include <unistd.h>

#include <csetjmp>
#include <vector>

#include "raster/rasterise.h"

bool writePng(std::FILE* file, const uint8_t* pixels, int width, int height, size_t rowStride, bool withAlpha)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    // libpng reports its errors, a failed write among them, by jumping back here.
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, pixels + size_t(y) * rowStride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file) == 0 && !std::ferror(file);
}

bool writeScreenPng(std::FILE* file, int scale)
{
    std::vector<uint8_t> rgb(raster::pictureBytes(scale));
    raster::rasteriseCells(screenBuffer.data(), scale, rgb.data(), raster::pictureRowBytes(scale));
    return writePng(file, rgb.data(), raster::PICTURE_WIDTH * scale, raster::PICTURE_HEIGHT * scale,
                    raster::pictureRowBytes(scale));
}

bool refusePng(const char* command)
{
    if (!isatty(STDOUT_FILENO)) return false;
    std::fprintf(stderr, "murl13-tool %s: not writing a PNG to a terminal; redirect stdout to a file or a pipe\n",
                 command);
    return true;
}
