// The five images, decoded from their rows of text when the program is built.
// A row of the wrong length, a stray character or a missing row stops the
// build here rather than shifting a picture.
#include "art/images.h"

#include <cstring>
#include <iterator>

#include "art/image_rows.h"
#include "art/logo_rows.h"
#include "art/texture_rows.h"

namespace {

static_assert(std::size(LOGO1A_ROWS) == LOGO1A_HEIGHT, "logo1a: row count");
static_assert(std::size(LOGO1B_ROWS) == LOGO1B_HEIGHT, "logo1b: row count");
static_assert(std::size(LOGO2_ROWS) == LOGO2_HEIGHT, "logo2: row count");
static_assert(std::size(LOGO3_ROWS) == LOGO3_HEIGHT, "logo3: row count");
static_assert(std::size(TEXTURE_ROWS) == TEXTURE_HEIGHT, "warpTexture: row count");

static_assert(rowsHaveWidth(LOGO1A_ROWS, LOGO1A_WIDTH), "logo1a: row length");
static_assert(rowsHaveWidth(LOGO1B_ROWS, LOGO1B_WIDTH), "logo1b: row length");
static_assert(rowsHaveWidth(LOGO2_ROWS, LOGO2_WIDTH), "logo2: row length");
static_assert(rowsHaveWidth(LOGO3_ROWS, LOGO3_WIDTH), "logo3: row length");
static_assert(rowsHaveWidth(TEXTURE_ROWS, TEXTURE_WIDTH), "warpTexture: row length");

static_assert(LOGO_CHARACTERS.size() == 3 && LOGO_CHARACTERS.find('.') == LOGO_SOLID
                  && LOGO_CHARACTERS.find('#') == LOGO_LIT && LOGO_CHARACTERS.find(' ') == LOGO_TRANSPARENT,
              "logo characters: '.' solid, '#' lit, ' ' transparent");
static_assert(TEXTURE_CHARACTERS.size() == TEXTURE_LEVELS, "one texture character per level");
static_assert(rowsUseOnly(LOGO1A_ROWS, LOGO_CHARACTERS), "logo1a: stray character");
static_assert(rowsUseOnly(LOGO1B_ROWS, LOGO_CHARACTERS), "logo1b: stray character");
static_assert(rowsUseOnly(LOGO2_ROWS, LOGO_CHARACTERS), "logo2: stray character");
static_assert(rowsUseOnly(LOGO3_ROWS, LOGO_CHARACTERS), "logo3: stray character");
static_assert(rowsUseOnly(TEXTURE_ROWS, TEXTURE_CHARACTERS), "warpTexture: stray character");

constexpr auto LOGO1A_PIXELS = decodeRows<LOGO1A_WIDTH, LOGO1A_HEIGHT>(LOGO1A_ROWS, LOGO_CHARACTERS);
constexpr auto LOGO1B_PIXELS = decodeRows<LOGO1B_WIDTH, LOGO1B_HEIGHT>(LOGO1B_ROWS, LOGO_CHARACTERS);
constexpr auto LOGO2_PIXELS = decodeRows<LOGO2_WIDTH, LOGO2_HEIGHT>(LOGO2_ROWS, LOGO_CHARACTERS);
constexpr auto LOGO3_PIXELS = decodeRows<LOGO3_WIDTH, LOGO3_HEIGHT>(LOGO3_ROWS, LOGO_CHARACTERS);
constexpr auto TEXTURE_PIXELS = decodeRows<TEXTURE_WIDTH, TEXTURE_HEIGHT>(TEXTURE_ROWS, TEXTURE_CHARACTERS);

}  // namespace

const int (&logo1a)[LOGO1A_WIDTH * LOGO1A_HEIGHT] = LOGO1A_PIXELS.values;
const int (&logo1b)[LOGO1B_WIDTH * LOGO1B_HEIGHT] = LOGO1B_PIXELS.values;
const int (&logo2)[LOGO2_WIDTH * LOGO2_HEIGHT] = LOGO2_PIXELS.values;
const int (&logo3)[LOGO3_WIDTH * LOGO3_HEIGHT] = LOGO3_PIXELS.values;
const int (&warpTexture)[TEXTURE_WIDTH * TEXTURE_HEIGHT] = TEXTURE_PIXELS.values;

// Built from constants only, so it is ready before any code runs.
constinit const ImageInfo allImages[5] = {
    {"logo1a", logo1a, LOGO1A_WIDTH, LOGO1A_HEIGHT},
    {"logo1b", logo1b, LOGO1B_WIDTH, LOGO1B_HEIGHT},
    {"logo2", logo2, LOGO2_WIDTH, LOGO2_HEIGHT},
    {"logo3", logo3, LOGO3_WIDTH, LOGO3_HEIGHT},
    {"warpTexture", warpTexture, TEXTURE_WIDTH, TEXTURE_HEIGHT},
};

const ImageInfo* findImage(const char* name)
{
    for (const ImageInfo& image : allImages)
        if (std::strcmp(image.name, name) == 0) return &image;
    return nullptr;
}
