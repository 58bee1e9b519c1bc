// The logo images and the warp texture: one int per pixel, row by row from the
// top, no header. Logo pixels: 0 solid (empty black cell), 1 lit (white square),
// 2 transparent. Texture pixels: shade levels 0 (dark) to 3 (bright).
//
// The pictures live in the source as rows of text (art/logo_rows.h,
// art/texture_rows.h) and are turned into these arrays at compile time; each
// name below refers to such an array, so it indexes and decays to a pointer
// like any array.
#pragma once

constexpr int LOGO1A_WIDTH = 39, LOGO1A_HEIGHT = 24;
constexpr int LOGO1B_WIDTH = 14, LOGO1B_HEIGHT = 24;
constexpr int LOGO2_WIDTH = 46, LOGO2_HEIGHT = 19;
constexpr int LOGO3_WIDTH = 32, LOGO3_HEIGHT = 19;
constexpr int TEXTURE_WIDTH = 320, TEXTURE_HEIGHT = 152;

// Logo pixel values and the texture's shade levels.
constexpr int LOGO_SOLID = 0, LOGO_LIT = 1, LOGO_TRANSPARENT = 2;
constexpr int TEXTURE_LEVELS = 4;

extern const int (&logo1a)[LOGO1A_WIDTH * LOGO1A_HEIGHT];
extern const int (&logo1b)[LOGO1B_WIDTH * LOGO1B_HEIGHT];
extern const int (&logo2)[LOGO2_WIDTH * LOGO2_HEIGHT];
extern const int (&logo3)[LOGO3_WIDTH * LOGO3_HEIGHT];
extern const int (&warpTexture)[TEXTURE_WIDTH * TEXTURE_HEIGHT];

// The images by name, for the workbench and the tests.
struct ImageInfo {
    const char* name;
    const int* pixels;
    int width;
    int height;
};
extern const ImageInfo allImages[5];
const ImageInfo* findImage(const char* name);
