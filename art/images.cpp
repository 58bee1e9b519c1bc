// Placeholder images until the art lands.
#include "art/images.h"

#include <cstring>

const int logo1a[LOGO1A_WIDTH * LOGO1A_HEIGHT] = {};
const int logo1b[LOGO1B_WIDTH * LOGO1B_HEIGHT] = {};
const int logo2[LOGO2_WIDTH * LOGO2_HEIGHT] = {};
const int logo3[LOGO3_WIDTH * LOGO3_HEIGHT] = {};
const int warpTexture[TEXTURE_WIDTH * TEXTURE_HEIGHT] = {};

const ImageInfo allImages[5] = {
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
