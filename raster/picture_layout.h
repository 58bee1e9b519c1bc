// Where the 640 by 400 console picture goes in a video frame of any size: at
// a whole-number scale, centred on black, when that fills most of the frame,
// otherwise enlarged to fill it at a non-whole scale. Either way each console
// pixel becomes a solid block of whole frame pixels (nearest-neighbour: block
// sizes differ by at most one), so the cell edges stay hard.
#pragma once

#include <cstdint>
#include <vector>

namespace raster {

struct PictureLayout {
    int frameWidth = 0, frameHeight = 0;  // the whole frame
    int left = 0, top = 0;                // the picture's top left corner in it
    int width = 0, height = 0;            // the picture's size
};

// The frame exactly 640 x scale by 400 x scale, all picture.
PictureLayout layoutForScale(int scale);

// A frame of width by height (at least 640 by 400): the largest whole scale
// whose picture fits, when it fills at least nine tenths of the side that
// limits it (the height in a frame at least 16:10 wide); otherwise the picture
// fills that side (1920x1080: 1728 by 1080 at 2.7). The picture is centred,
// its corner on even pixels so that 4:2:0 colour samples fall within it.
PictureLayout layoutForSize(int width, int height);

// For each of `count` frame pixels along one side, every `step` pixels from 0
// (step 2 for half-resolution colour planes): the console pixel it shows, 0 to
// `pictureSize` - 1, or -1 in the black around the picture. `offset` and
// `size` are the picture's place along that side in frame pixels.
std::vector<int16_t> sourceMap(int count, int step, int offset, int size, int pictureSize);

}  // namespace raster
