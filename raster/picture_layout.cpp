#include "raster/picture_layout.h"

#include "raster/rasterise.h"

namespace raster {

namespace {

// Half the room, rounded down to an even number of pixels.
int evenHalf(int room) { return room / 2 & ~1; }

}  // namespace

PictureLayout layoutForScale(int scale)
{
    const int width = PICTURE_WIDTH * scale, height = PICTURE_HEIGHT * scale;
    return {width, height, 0, 0, width, height};
}

PictureLayout layoutForSize(int width, int height)
{
    PictureLayout layout;
    layout.frameWidth = width;
    layout.frameHeight = height;
    // The side that limits the picture, and its length in console pixels and in frame pixels.
    const bool heightLimits = int64_t(width) * PICTURE_HEIGHT >= int64_t(height) * PICTURE_WIDTH;
    const int side = heightLimits ? height : width;
    const int pictureSide = heightLimits ? PICTURE_HEIGHT : PICTURE_WIDTH;
    const int whole = side / pictureSide;
    if (whole >= 1 && 10 * whole * pictureSide >= 9 * side) {
        layout.width = PICTURE_WIDTH * whole;
        layout.height = PICTURE_HEIGHT * whole;
    } else if (heightLimits) {
        layout.height = height;
        layout.width = int((int64_t(height) * PICTURE_WIDTH * 2 + PICTURE_HEIGHT) / (PICTURE_HEIGHT * 2));
    } else {
        layout.width = width;
        layout.height = int((int64_t(width) * PICTURE_HEIGHT * 2 + PICTURE_WIDTH) / (PICTURE_WIDTH * 2));
    }
    layout.left = evenHalf(width - layout.width);
    layout.top = evenHalf(height - layout.height);
    return layout;
}

std::vector<int16_t> sourceMap(int count, int step, int offset, int size, int pictureSize)
{
    std::vector<int16_t> map(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int at = i * step - offset;
        // The console pixel whose span holds the frame pixel's centre.
        map[size_t(i)] = at < 0 || at >= size ? int16_t(-1)
                                              : int16_t((int64_t(2 * at + 1) * pictureSize) / (int64_t(2) * size));
    }
    return map;
}

}  // namespace raster
