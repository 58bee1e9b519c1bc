// murl13-tool art: prints one of the five images, either as digits (one line
// per pixel row, one digit per pixel, for scripts and comparisons) or as a
// coloured preview for a terminal.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "art/cp437.h"
#include "art/images.h"
#include "art/tables.h"
#include "raster/logo_icon.h"
#include "raster/rasterise.h"
#include "tool/options.h"
#include "tool/png_writer.h"
#include "tool/tool.h"

namespace {

const char USAGE[] =
    "usage: murl13-tool art NAME [--format digits|ansi|blocks" NOT_ON_WINDOWS("|png] [--size N") "]\n"
    "Prints one image: logo1a, logo1b, logo2, logo3 or warpTexture.\n"
    "  --format digits  one line per pixel row, one digit per pixel, nothing else\n"
    "                   (the default when stdout is not a terminal)\n"
    "  --format ansi    a coloured preview (the default on a terminal): a logo's lit\n"
    "                   pixels as white squares on black, its solid pixels black,\n"
    "                   transparent ones blank; the texture's levels 0 to 3 as black,\n"
    "                   dark grey, light grey and white, two pixel rows per line\n"
    "  --format blocks  plain text in the code-page-437 block characters (as UTF-8),\n"
    "                   two pixel rows per line, one column per pixel: a logo's lit\n"
    "                   pixels as full, upper and lower half blocks, its outline as\n"
    "                   light shade; the texture's levels as shades\n"
    NOT_ON_WINDOWS("  --format png     the picture as the console drew it, 8-bit RGB: a logo on a\n"
                   "                   black square (logo3: the 256-pixel icon), the texture in greys\n"
                   "  --size N         with png, a logo only: an N by N icon, N from 16 to 256, RGBA,\n"
                   "                   the logo's transparent pixels transparent\n");

enum class Format { Default, Digits, Ansi, Blocks, Png };

constexpr unsigned char GLYPH_SQUARE = 254;       // the logos' lit pixel
constexpr unsigned char GLYPH_UPPER_HALF = 223;   // top half of a cell
constexpr unsigned char GLYPH_LOWER_HALF = 220;
constexpr unsigned char GLYPH_FULL_BLOCK = 219;
constexpr unsigned char GLYPH_SHADES[3] = {176, 177, 178};  // light, medium and dark shade

// SGR colours of the texture's four levels, foreground and background.
constexpr int LEVEL_FOREGROUND[TEXTURE_LEVELS] = {30, 90, 37, 97};
constexpr int LEVEL_BACKGROUND[TEXTURE_LEVELS] = {40, 100, 47, 107};
constexpr int LEVEL_COLOUR[TEXTURE_LEVELS] = {0, 8, 7, 15};  // the same greys as console colours

int usageError(const char* message, const char* value)
{
    return ::usageError("art", USAGE, message, value);
}

void appendGlyph(std::string& out, unsigned char glyph)
{
    char utf8[4];
    out.append(utf8, size_t(appendCp437Utf8(glyph, utf8)));
}

std::string digits(const ImageInfo& image)
{
    std::string out;
    out.reserve(size_t(image.width + 1) * size_t(image.height));
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x)
            out += char('0' + image.pixels[y * image.width + x]);
        out += '\n';
    }
    return out;
}

// Logos: one cell per pixel, as the demo stamps them.
std::string ansiLogo(const ImageInfo& image)
{
    std::string out;
    for (int y = 0; y < image.height; ++y) {
        int shown = -1;
        for (int x = 0; x < image.width; ++x) {
            const int value = image.pixels[y * image.width + x];
            if (value != shown) {
                out += value == LOGO_LIT ? "\x1b[97;40m" : value == LOGO_SOLID ? "\x1b[0;40m" : "\x1b[0m";
                shown = value;
            }
            if (value == LOGO_LIT)
                appendGlyph(out, GLYPH_SQUARE);
            else
                out += ' ';
        }
        out += "\x1b[0m\n";
    }
    return out;
}

// The texture: each cell shows two pixel rows (the upper as the foreground of
// a top-half block, the lower as the background), so pixels come out square.
std::string ansiTexture(const ImageInfo& image)
{
    std::string out;
    for (int y = 0; y < image.height; y += 2) {
        int shownTop = -1, shownBottom = -1;
        for (int x = 0; x < image.width; ++x) {
            const int top = image.pixels[y * image.width + x];
            const int bottom = y + 1 < image.height ? image.pixels[(y + 1) * image.width + x] : 0;
            if (top != shownTop || bottom != shownBottom) {
                out += "\x1b[" + std::to_string(LEVEL_FOREGROUND[top]) + ";"
                       + std::to_string(LEVEL_BACKGROUND[bottom]) + "m";
                shownTop = top;
                shownBottom = bottom;
            }
            appendGlyph(out, GLYPH_UPPER_HALF);
        }
        out += "\x1b[0m\n";
    }
    return out;
}

// Plain text for places without colour (the release's information file): each
// character shows a column of two pixel rows.
std::string blocks(const ImageInfo& image, bool isLogo)
{
    std::string out;
    for (int y = 0; y < image.height; y += 2) {
        for (int x = 0; x < image.width; ++x) {
            const int top = image.pixels[y * image.width + x];
            const int bottom = y + 1 < image.height ? image.pixels[(y + 1) * image.width + x] : LOGO_TRANSPARENT;
            unsigned char glyph = ' ';
            if (isLogo) {
                const bool topLit = top == LOGO_LIT, bottomLit = bottom == LOGO_LIT;
                if (topLit && bottomLit) glyph = GLYPH_FULL_BLOCK;
                else if (topLit) glyph = GLYPH_UPPER_HALF;
                else if (bottomLit) glyph = GLYPH_LOWER_HALF;
                else if (top == LOGO_SOLID || bottom == LOGO_SOLID) glyph = GLYPH_SHADES[0];
            } else {
                // Levels 0 to 3 in each row: the sum 0 to 6 from blank to full.
                const int sum = top + (y + 1 < image.height ? bottom : top);
                const unsigned char bySum[7] = {' ', ' ', GLYPH_SHADES[0], GLYPH_SHADES[1], GLYPH_SHADES[1],
                                                GLYPH_SHADES[2], GLYPH_FULL_BLOCK};
                glyph = bySum[sum];
            }
            appendGlyph(out, glyph);
        }
        out += '\n';
    }
    return out;
}

// A logo's cells drawn by the rasteriser on a black square of cells (the
// desktop icon is logo3 drawn so); the texture's levels as greys.
bool writeImagePng(const ImageInfo& image, bool isLogo)
{
    std::vector<uint8_t> rgb;
    if (!isLogo) {
        for (int i = 0; i < image.width * image.height; ++i) {
            const raster::Rgb c = raster::vgaPalette[LEVEL_COLOUR[image.pixels[i]]];
            rgb.insert(rgb.end(), {c.r, c.g, c.b});
        }
        return writePng(stdout, rgb.data(), image.width, image.height, size_t(image.width) * raster::RGB_BYTES);
    }
    ScreenBuffer cells{};
    const int side = raster::logoSquareCells(image, cells);  // cells
    rgb.resize(raster::pictureBytes(1));
    raster::rasteriseCells(cells.data(), 1, rgb.data(), raster::pictureRowBytes(1));
    return writePng(stdout, rgb.data(), side * GLYPH_WIDTH, side * GLYPH_HEIGHT, raster::pictureRowBytes(1));
}

bool writeIconPng(const ImageInfo& logo, int size)
{
    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * raster::RGBA_BYTES);
    raster::drawLogoIcon(logo, size, rgba.data());
    return writePng(stdout, rgba.data(), size, size, size_t(size) * raster::RGBA_BYTES, true);
}

}  // namespace

int toolArt(int argc, char** argv)
{
    const char* name = nullptr;
    Format format = Format::Default;
    bool optionsEnded = false;
    int iconSize = 0;  // 0: no --size
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const bool isOption = !optionsEnded && arg[0] == '-';
        if (isOption && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (isOption && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) return printText(USAGE);
        if (isOption && (std::strcmp(arg, "--size") == 0 || std::strncmp(arg, "--size=", 7) == 0)) {
            const char* size = arg[6] == '=' ? arg + 7 : i + 1 < argc ? argv[++i] : nullptr;
            if (size == nullptr) return usageError("missing value for", arg);
            const auto n = parseInteger(size, raster::MIN_ICON_SIZE, raster::MAX_ICON_SIZE);
            if (!n) return usageError("bad size (16 to 256)", size);
            iconSize = int(*n);
            continue;
        }
        const char* value = nullptr;
        if (isOption && std::strcmp(arg, "--format") == 0) {
            if (i + 1 == argc) return usageError("missing value for", arg);
            value = argv[++i];
        } else if (isOption && std::strncmp(arg, "--format=", 9) == 0) {
            value = arg + 9;
        } else if (isOption) {
            return usageError("unknown option", arg);
        } else if (name) {
            return usageError("more than one image named", arg);
        } else {
            name = arg;
            continue;
        }
        if (std::strcmp(value, "digits") == 0)
            format = Format::Digits;
        else if (std::strcmp(value, "ansi") == 0)
            format = Format::Ansi;
        else if (std::strcmp(value, "blocks") == 0)
            format = Format::Blocks;
        else if (std::strcmp(value, "png") == 0)
            format = Format::Png;
        else
            return usageError("unknown format", value);
    }
    if (!name) return usageError("no image named", nullptr);
    const ImageInfo* image = findImage(name);
    if (!image) return usageError("unknown image", name);

    if (format == Format::Default) format = isatty(STDOUT_FILENO) ? Format::Ansi : Format::Digits;
    const bool isLogo = image->pixels != warpTexture;
    if (iconSize != 0 && format != Format::Png) return usageError("--size goes with --format png", nullptr);
    if (iconSize != 0 && !isLogo) return usageError("--size draws a logo as an icon, not", name);
    if (format == Format::Png) {
        if (refusePng("art")) return 1;
        const bool written = iconSize != 0 ? writeIconPng(*image, iconSize) : writeImagePng(*image, isLogo);
        if (written && std::fflush(stdout) == 0) return 0;
        std::perror("murl13-tool art: writing the image");
        return 1;
    }
    if (format == Format::Ansi && !escapeCodesShown("art", "digits")) return 1;
    const std::string text =
        format == Format::Digits   ? digits(*image)
        : format == Format::Blocks ? blocks(*image, isLogo)
        : isLogo                   ? ansiLogo(*image)
                                   : ansiTexture(*image);

    // A full disk or a closed pipe must not pass for a printed image.
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        std::perror("murl13-tool art: writing the image");
        return 1;
    }
    return 0;
}
