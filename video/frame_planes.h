// A video frame's planes drawn from the console picture in palette indexes:
// each frame pixel takes the colour of the console pixel its layout maps it to
// (raster/picture_layout.h), the black around the picture is colour 0. The
// colours come as a table of the 16 in the plane's own terms: a luma or chroma
// byte, a palette index, a packed RGB pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/picture_layout.h"
#include "raster/rasterise.h"

namespace video {

// Palette indexes of the whole console picture, a row of 640 followed by a
// black pixel that the frame's border reads.
constexpr size_t INDEX_ROW = raster::PICTURE_WIDTH + 1;
constexpr size_t INDEX_BYTES = INDEX_ROW * raster::PICTURE_HEIGHT;

// Draws the cells into `indexes` (INDEX_BYTES).
void indexPicture(const CharInfo* cells, uint8_t* indexes);

// Which console pixel each pixel of one plane shows; `step` 2 for a plane of
// half the frame's width and height (4:2:0 colour, sampled at the top left
// pixel of each 2 by 2 block).
struct PlaneMap {
    int width = 0, height = 0;
    std::vector<uint16_t> columns;  // into an index row; the border's black for the frame's border
    std::vector<int16_t> rows;      // console row, -1 in the border
};
PlaneMap planeMap(const raster::PictureLayout& layout, int step);

// Fills a plane, rows `stride` bytes apart, with colours[index] per pixel.
void drawPlane(const uint8_t* indexes, const PlaneMap& map, const uint8_t colours[16], uint8_t* plane,
               ptrdiff_t stride);
void drawPlane(const uint8_t* indexes, const PlaneMap& map, const uint32_t colours[16], uint8_t* plane,
               ptrdiff_t stride);

// The VGA colours in limited-range Y'CbCr, by the BT.601 or the BT.709 matrix.
struct YuvColours {
    uint8_t y[16], u[16], v[16];
};
YuvColours yuvColours(bool bt709);

}  // namespace video
