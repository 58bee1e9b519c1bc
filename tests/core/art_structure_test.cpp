// The rules the drawing code relies on when it stamps a logo or samples the
// texture. A lit logo pixel next to a transparent one would show a white square
// with no black edge against the effect; a lit pixel on the rim, or a value
// outside 0..2, would break the overlay's look or its table lookups; a texture
// pixel above 3 would read past its colour ramp, and a picture that spills into
// the empty margins would erase the black bands between the repetitions. The
// shares, the dithering and the speck sizes catch a redrawing that drifts far
// from the intended look (a logo that is mostly background, a flat texture).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "art/images.h"

namespace {

// Shares a logo must hold, in per cent of its pixels.
constexpr double SOLID_MIN = 37.0, SOLID_MAX = 39.0, TRANSPARENT_MIN = 11.0, TRANSPARENT_MAX = 18.0;
// The texture's level counts may be this far (relative) from the reference
// counts: the same order, not the same picture.
constexpr double LEVEL_COUNT_TOLERANCE = 0.20;
constexpr int REFERENCE_LEVEL_COUNTS[TEXTURE_LEVELS] = {24664, 19098, 4635, 243};
// The picture's box inside the texture; everything outside it is black.
constexpr int TOP = 1, BOTTOM = 126, LEFT = 14, RIGHT = 300;
// Side-by-side pairs two or more levels apart must stay rare in the picture.
constexpr double ABRUPT_PAIR_SHARE_MAX = 0.01;
// Enough 2 x 2 checkerboards of neighbouring levels and single black panel
// dots (dark on all four sides) that both show at every zoom.
constexpr int CHECKERBOARDS_MIN = 500, PANEL_DOTS_MIN = 200;
// Level-3 specks: about a hundred, none larger than 14 pixels, mostly single.
constexpr int SPECK_PIXELS_MAX = 14, SPECK_COUNT_MIN = 60, SPECK_COUNT_MAX = 140;

int at(const ImageInfo& img, int x, int y) { return img.pixels[y * img.width + x]; }

TEST(ArtStructure, EveryLogoHasItsValuesSolidOutlineAndShares)
{
    for (const char* name : {"logo1a", "logo1b", "logo2", "logo3"}) {
        const ImageInfo& logo = *findImage(name);
        int count[3] = {}, badValues = 0, litOnRim = 0, litTouchingTransparent = 0;
        for (int y = 0; y < logo.height; ++y)
            for (int x = 0; x < logo.width; ++x) {
                const int v = at(logo, x, y);
                if (v < LOGO_SOLID || v > LOGO_TRANSPARENT) {
                    ++badValues;
                    continue;
                }
                ++count[v];
                if (v != LOGO_LIT) continue;
                if (x == 0 || y == 0 || x == logo.width - 1 || y == logo.height - 1) {
                    ++litOnRim;
                    continue;
                }
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        litTouchingTransparent += at(logo, x + dx, y + dy) == LOGO_TRANSPARENT;
            }
        EXPECT_EQ(badValues, 0) << name;
        EXPECT_EQ(litOnRim, 0) << name;
        EXPECT_EQ(litTouchingTransparent, 0) << name;
        const double solid = 100.0 * count[LOGO_SOLID] / (logo.width * logo.height);
        const double transparent = 100.0 * count[LOGO_TRANSPARENT] / (logo.width * logo.height);
        EXPECT_TRUE(solid >= SOLID_MIN && solid <= SOLID_MAX) << name << " solid " << solid << "%";
        EXPECT_TRUE(transparent >= TRANSPARENT_MIN && transparent <= TRANSPARENT_MAX)
            << name << " transparent " << transparent << "%";
    }
}

TEST(ArtStructure, TextureLevelsMarginsDitheringAndSpecks)
{
    const ImageInfo& tex = *findImage("warpTexture");
    int count[TEXTURE_LEVELS] = {}, badLevels = 0, litMargin = 0, pairs = 0, abrupt = 0, checkerboards = 0, dots = 0;
    for (int y = 0; y < tex.height; ++y)
        for (int x = 0; x < tex.width; ++x) {
            const int a = at(tex, x, y);
            if (a < 0 || a >= TEXTURE_LEVELS) {
                ++badLevels;
                continue;
            }
            ++count[a];
            if (y < TOP || y > BOTTOM || x < LEFT || x > RIGHT) {
                litMargin += a != 0;
                continue;
            }
            if (x < RIGHT) ++pairs, abrupt += std::abs(a - at(tex, x + 1, y)) > 1;
            if (y < BOTTOM) ++pairs, abrupt += std::abs(a - at(tex, x, y + 1)) > 1;
            if (x == RIGHT || y == BOTTOM) continue;
            const int b = at(tex, x + 1, y);
            checkerboards += std::abs(a - b) == 1 && at(tex, x, y + 1) == b && at(tex, x + 1, y + 1) == a;
            dots += y > TOP && x > LEFT && a == 0 && b == 1 && at(tex, x - 1, y) == 1 && at(tex, x, y - 1) == 1 &&
                    at(tex, x, y + 1) == 1;
        }
    ASSERT_EQ(badLevels, 0);
    EXPECT_EQ(litMargin, 0);
    for (int level = 0; level < TEXTURE_LEVELS; ++level)
        EXPECT_NEAR(count[level], REFERENCE_LEVEL_COUNTS[level], REFERENCE_LEVEL_COUNTS[level] * LEVEL_COUNT_TOLERANCE)
            << "level " << level;
    EXPECT_LE(abrupt, pairs * ABRUPT_PAIR_SHARE_MAX) << abrupt << " of " << pairs << " pairs";
    EXPECT_GE(checkerboards, CHECKERBOARDS_MIN);
    EXPECT_GE(dots, PANEL_DOTS_MIN);

    // Level-3 specks, flooded with diagonals included.
    std::vector<bool> seen(size_t(tex.width * tex.height));
    const std::function<int(int, int)> flood = [&](int x, int y) {
        const bool outside = x < 0 || y < 0 || x >= tex.width || y >= tex.height;
        if (outside || at(tex, x, y) != 3 || seen[size_t(y * tex.width + x)]) return 0;
        seen[size_t(y * tex.width + x)] = true;
        int size = 1;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) size += flood(x + dx, y + dy);
        return size;
    };
    int specks = 0, singles = 0;
    for (int y = 0; y < tex.height; ++y)
        for (int x = 0; x < tex.width; ++x)
            if (const int size = flood(x, y)) {
                EXPECT_LE(size, SPECK_PIXELS_MAX);
                ++specks, singles += size == 1;
            }
    EXPECT_TRUE(specks >= SPECK_COUNT_MIN && specks <= SPECK_COUNT_MAX) << specks << " specks";
    EXPECT_GT(2 * singles, specks) << singles << " single-pixel specks of " << specks;
}

}  // namespace
