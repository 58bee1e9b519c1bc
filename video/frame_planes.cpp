#include "video/frame_planes.h"

#include <cmath>
#include <cstring>

namespace video {

namespace {

template <typename T>
void draw(const uint8_t* indexes, const PlaneMap& map, const T colours[16], uint8_t* plane, ptrdiff_t stride)
{
    const size_t rowBytes = size_t(map.width) * sizeof(T);
    const uint8_t* lastOut = nullptr;
    int lastRow = -2;
    for (int y = 0; y < map.height; ++y) {
        uint8_t* out = plane + stride * y;
        const int row = map.rows[size_t(y)];
        if (row == lastRow) {
            // Rows that show the same console row are the same bytes.
            std::memcpy(out, lastOut, rowBytes);
            continue;
        }
        T* pixels = reinterpret_cast<T*>(out);
        if (row < 0) {
            for (int x = 0; x < map.width; ++x) pixels[x] = colours[0];
        } else {
            const uint8_t* in = indexes + size_t(row) * INDEX_ROW;
            for (int x = 0; x < map.width; ++x) pixels[x] = colours[in[map.columns[size_t(x)]]];
        }
        lastRow = row;
        lastOut = out;
    }
}

uint8_t byteOf(double value) { return uint8_t(std::lround(value < 0.0 ? 0.0 : value > 255.0 ? 255.0 : value)); }

}  // namespace

void indexPicture(const CharInfo* cells, uint8_t* indexes)
{
    raster::rasteriseIndexes(cells, indexes, INDEX_ROW);
    for (int y = 0; y < raster::PICTURE_HEIGHT; ++y) indexes[size_t(y) * INDEX_ROW + raster::PICTURE_WIDTH] = 0;
}

PlaneMap planeMap(const raster::PictureLayout& layout, int step)
{
    PlaneMap map;
    map.width = (layout.frameWidth + step - 1) / step;
    map.height = (layout.frameHeight + step - 1) / step;
    for (int16_t column : raster::sourceMap(map.width, step, layout.left, layout.width, raster::PICTURE_WIDTH))
        map.columns.push_back(column < 0 ? uint16_t(raster::PICTURE_WIDTH) : uint16_t(column));
    map.rows = raster::sourceMap(map.height, step, layout.top, layout.height, raster::PICTURE_HEIGHT);
    return map;
}

void drawPlane(const uint8_t* indexes, const PlaneMap& map, const uint8_t colours[16], uint8_t* plane,
               ptrdiff_t stride)
{
    draw(indexes, map, colours, plane, stride);
}

void drawPlane(const uint8_t* indexes, const PlaneMap& map, const uint32_t colours[16], uint8_t* plane,
               ptrdiff_t stride)
{
    draw(indexes, map, colours, plane, stride);
}

YuvColours yuvColours(bool bt709)
{
    // The luma weights of red and blue; green's makes the sum one.
    const double kr = bt709 ? 0.2126 : 0.299, kb = bt709 ? 0.0722 : 0.114, kg = 1.0 - kr - kb;
    YuvColours colours;
    for (int i = 0; i < 16; ++i) {
        const raster::Rgb& c = raster::vgaPalette[i];
        const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
        const double luma = kr * r + kg * g + kb * b;
        colours.y[i] = byteOf(16.0 + 219.0 * luma);
        colours.u[i] = byteOf(128.0 + 224.0 * (b - luma) / (2.0 * (1.0 - kb)));
        colours.v[i] = byteOf(128.0 + 224.0 * (r - luma) / (2.0 * (1.0 - kr)));
    }
    return colours;
}

}  // namespace video
