// The rules the drawing code relies on when it stamps a logo or samples the
// texture. A logo with a lit pixel next to a transparent one would show a
// white square with no black edge against the effect; a lit pixel on the rim,
// or a value outside 0..2, would break the overlay's look or its table
// lookups; a texture pixel above 3 would read past its colour ramp, and a
// picture that spills into the empty margins would erase the black bands
// between the repetitions. The shares and the speck sizes catch a redrawing
// that drifts far from the intended look (a logo that is mostly background, a
// texture without highlights).
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "art/images.h"

namespace {

// Shares a logo must hold, in per cent of its pixels.
constexpr double SOLID_SHARE_MIN = 37.0, SOLID_SHARE_MAX = 39.0;
constexpr double TRANSPARENT_SHARE_MIN = 11.0, TRANSPARENT_SHARE_MAX = 18.0;

// The texture's level counts are held to the reference counts within this
// relative distance: the same order, not the same picture.
constexpr double LEVEL_COUNT_TOLERANCE = 0.20;
constexpr int REFERENCE_LEVEL_COUNTS[TEXTURE_LEVELS] = {24664, 19098, 4635, 243};

// The picture's box inside the texture; everything outside it is black.
constexpr int PICTURE_TOP = 1, PICTURE_BOTTOM = 126, PICTURE_LEFT = 14, PICTURE_RIGHT = 300;

// Side-by-side pairs two or more levels apart must stay rare inside the picture.
constexpr double ABRUPT_PAIR_SHARE_MAX = 0.01;

// Enough dithering and panel dots that they show at every zoom (2 x 2
// checkerboards of two neighbouring levels; black pixels with dark ones on all
// four sides).
constexpr int CHECKERBOARDS_MIN = 500, PANEL_DOTS_MIN = 200;

// Level-3 specks: about a hundred, none larger than this, mostly single pixels.
constexpr int SPECK_PIXELS_MAX = 14;
constexpr int SPECK_COUNT_MIN = 60, SPECK_COUNT_MAX = 140;

const ImageInfo& image(const char* name)
{
    const ImageInfo* found = findImage(name);
    if (!found) throw std::runtime_error(std::string("no image ") + name);
    return *found;
}

int pixel(const ImageInfo& img, int x, int y) { return img.pixels[y * img.width + x]; }

const char* const LOGO_NAMES[] = {"logo1a", "logo1b", "logo2", "logo3"};

TEST(LogoStructure, ValuesAreSolidLitOrTransparent)
{
    for (const char* name : LOGO_NAMES) {
        const ImageInfo& logo = image(name);
        for (int i = 0; i < logo.width * logo.height; ++i)
            ASSERT_TRUE(logo.pixels[i] >= LOGO_SOLID && logo.pixels[i] <= LOGO_TRANSPARENT)
                << name << " pixel " << i << " is " << logo.pixels[i];
    }
}

TEST(LogoStructure, LitPixelsAreWalledInBySolidOnes)
{
    for (const char* name : LOGO_NAMES) {
        const ImageInfo& logo = image(name);
        for (int y = 0; y < logo.height; ++y)
            for (int x = 0; x < logo.width; ++x) {
                if (pixel(logo, x, y) != LOGO_LIT) continue;
                ASSERT_TRUE(x > 0 && y > 0 && x < logo.width - 1 && y < logo.height - 1)
                    << name << ": lit pixel on the rim at column " << x << ", row " << y;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        ASSERT_NE(pixel(logo, x + dx, y + dy), LOGO_TRANSPARENT)
                            << name << ": lit pixel at column " << x << ", row " << y
                            << " touches a transparent one";
            }
    }
}

TEST(LogoStructure, SolidAndTransparentShares)
{
    for (const char* name : LOGO_NAMES) {
        const ImageInfo& logo = image(name);
        int count[3] = {};
        for (int i = 0; i < logo.width * logo.height; ++i) ++count[logo.pixels[i]];
        const double total = logo.width * logo.height;
        const double solid = 100.0 * count[LOGO_SOLID] / total;
        const double transparent = 100.0 * count[LOGO_TRANSPARENT] / total;
        EXPECT_GE(solid, SOLID_SHARE_MIN) << name;
        EXPECT_LE(solid, SOLID_SHARE_MAX) << name;
        EXPECT_GE(transparent, TRANSPARENT_SHARE_MIN) << name;
        EXPECT_LE(transparent, TRANSPARENT_SHARE_MAX) << name;
    }
}

TEST(TextureStructure, LevelsAndEmptyMargins)
{
    const ImageInfo& tex = image("warpTexture");
    ASSERT_EQ(tex.pixels, &warpTexture[0]);
    int count[TEXTURE_LEVELS] = {};
    for (int y = 0; y < tex.height; ++y)
        for (int x = 0; x < tex.width; ++x) {
            const int level = pixel(tex, x, y);
            ASSERT_TRUE(level >= 0 && level < TEXTURE_LEVELS) << "column " << x << ", row " << y;
            ++count[level];
            const bool inPicture = y >= PICTURE_TOP && y <= PICTURE_BOTTOM && x >= PICTURE_LEFT && x <= PICTURE_RIGHT;
            if (!inPicture) {
                ASSERT_EQ(level, 0) << "margin pixel at column " << x << ", row " << y;
            }
        }
    for (int level = 0; level < TEXTURE_LEVELS; ++level) {
        const double reference = REFERENCE_LEVEL_COUNTS[level];
        EXPECT_NEAR(count[level], reference, reference * LEVEL_COUNT_TOLERANCE) << "level " << level;
    }
}

TEST(TextureStructure, NeighboursMostlyDifferByOneLevel)
{
    const ImageInfo& tex = image("warpTexture");
    int pairs = 0, abrupt = 0;
    for (int y = PICTURE_TOP; y <= PICTURE_BOTTOM; ++y)
        for (int x = PICTURE_LEFT; x <= PICTURE_RIGHT; ++x) {
            const int here = pixel(tex, x, y);
            if (x < PICTURE_RIGHT) {
                ++pairs;
                abrupt += std::abs(here - pixel(tex, x + 1, y)) > 1;
            }
            if (y < PICTURE_BOTTOM) {
                ++pairs;
                abrupt += std::abs(here - pixel(tex, x, y + 1)) > 1;
            }
        }
    EXPECT_LE(abrupt, pairs * ABRUPT_PAIR_SHARE_MAX) << abrupt << " of " << pairs << " pairs";
}

// Mid-tones are checkerboards of two neighbouring levels, and the panel is
// dark with single black dots: both must be present, not flattened away.
TEST(TextureStructure, DitheredMidTonesAndDottedPanel)
{
    const ImageInfo& tex = image("warpTexture");
    int checkerboards = 0, dots = 0;
    for (int y = PICTURE_TOP; y < PICTURE_BOTTOM; ++y)
        for (int x = PICTURE_LEFT; x < PICTURE_RIGHT; ++x) {
            const int a = pixel(tex, x, y), b = pixel(tex, x + 1, y);
            if (std::abs(a - b) == 1 && pixel(tex, x, y + 1) == b && pixel(tex, x + 1, y + 1) == a)
                ++checkerboards;
            if (y > PICTURE_TOP && x > PICTURE_LEFT && a == 0 && pixel(tex, x - 1, y) == 1 && b == 1
                && pixel(tex, x, y - 1) == 1 && pixel(tex, x, y + 1) == 1)
                ++dots;
        }
    EXPECT_GE(checkerboards, CHECKERBOARDS_MIN);
    EXPECT_GE(dots, PANEL_DOTS_MIN);
}

TEST(TextureStructure, BrightSpecksAreSmallAndMostlySingle)
{
    const ImageInfo& tex = image("warpTexture");
    std::vector<bool> seen(size_t(tex.width * tex.height));
    std::vector<int> sizes;
    for (int start = 0; start < tex.width * tex.height; ++start) {
        if (tex.pixels[start] != 3 || seen[size_t(start)]) continue;
        // Flood the speck, diagonals included.
        std::vector<int> open{start};
        seen[size_t(start)] = true;
        int size = 0;
        while (!open.empty()) {
            const int at = open.back();
            open.pop_back();
            ++size;
            const int x = at % tex.width, y = at / tex.width;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= tex.width || ny >= tex.height) continue;
                    const int next = ny * tex.width + nx;
                    if (tex.pixels[next] == 3 && !seen[size_t(next)]) {
                        seen[size_t(next)] = true;
                        open.push_back(next);
                    }
                }
        }
        sizes.push_back(size);
    }
    int singles = 0;
    for (int size : sizes) {
        EXPECT_LE(size, SPECK_PIXELS_MAX);
        singles += size == 1;
    }
    EXPECT_GE(int(sizes.size()), SPECK_COUNT_MIN);
    EXPECT_LE(int(sizes.size()), SPECK_COUNT_MAX);
    EXPECT_GT(2 * singles, int(sizes.size())) << singles << " single-pixel specks of " << sizes.size();
}

}  // namespace
