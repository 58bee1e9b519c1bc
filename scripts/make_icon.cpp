// murl13-icon: writes the programs' Windows icon, the "#13" logo at 16, 24,
// 32, 48, 64, 128 and 256 pixels, as one .ico file: the 256-pixel picture as
// a PNG, the others as 32-bit bitmaps with alpha (what every part of Windows
// reads). Built for this machine and run by scripts/build-windows.sh; the
// pictures are the workbench's `art logo3 --format png --size N`.
//
//   murl13-icon OUT.ico
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "art/images.h"
#include "raster/logo_icon.h"

namespace {

constexpr int SIZES[] = {16, 24, 32, 48, 64, 128, 256};
constexpr int PNG_FROM = 256;  // sizes from this one up are stored as PNG

using Bytes = std::vector<uint8_t>;

void put16(Bytes& out, unsigned value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(Bytes& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void put32BigEndian(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

void pngChunk(Bytes& out, const char* type, const Bytes& data)
{
    put32BigEndian(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32BigEndian(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

// An 8-bit RGBA PNG, every row unfiltered.
bool png(const Bytes& rgba, int size, Bytes& out)
{
    static const uint8_t SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.assign(SIGNATURE, SIGNATURE + sizeof SIGNATURE);
    Bytes header;
    put32BigEndian(header, uint32_t(size));
    put32BigEndian(header, uint32_t(size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // depth 8, RGBA, deflate, no filter, no interlace
    pngChunk(out, "IHDR", header);
    Bytes rows;
    const size_t rowBytes = size_t(size) * raster::RGBA_BYTES;
    for (int y = 0; y < size; ++y) {
        rows.push_back(0);
        rows.insert(rows.end(), rgba.begin() + ptrdiff_t(y * rowBytes), rgba.begin() + ptrdiff_t((y + 1) * rowBytes));
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);
    pngChunk(out, "IDAT", packed);
    pngChunk(out, "IEND", {});
    return true;
}

// A bitmap as icons hold it: the header (twice the height: picture and mask),
// the BGRA rows bottom up, then the mask, one bit a pixel, set where the
// picture is transparent, rows padded to four bytes.
Bytes bitmap(const Bytes& rgba, int size)
{
    Bytes out;
    const uint32_t maskRowBytes = uint32_t((size + 31) / 32 * 4);
    const uint32_t pictureBytes = uint32_t(size * size * 4);
    put32(out, 40);
    put32(out, uint32_t(size));
    put32(out, uint32_t(size * 2));
    put16(out, 1);   // planes
    put16(out, 32);  // bits a pixel
    put32(out, 0);   // no compression
    put32(out, pictureBytes + maskRowBytes * uint32_t(size));
    for (int i = 0; i < 4; ++i) put32(out, 0);  // resolution, palette
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const uint8_t* p = &rgba[size_t(y * size + x) * raster::RGBA_BYTES];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(maskRowBytes, 0);
        for (int x = 0; x < size; ++x)
            if (rgba[size_t(y * size + x) * raster::RGBA_BYTES + 3] == 0) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: murl13-icon OUT.ico\n", stderr);
        return 2;
    }
    const ImageInfo* logo = findImage("logo3");
    std::vector<Bytes> images;
    for (int size : SIZES) {
        Bytes rgba(size_t(size) * size_t(size) * raster::RGBA_BYTES);
        raster::drawLogoIcon(*logo, size, rgba.data());
        Bytes image;
        if (size < PNG_FROM) image = bitmap(rgba, size);
        else if (!png(rgba, size, image)) return 1;
        images.push_back(image);
    }
    // The directory: a header, one entry per picture, then the pictures.
    Bytes out;
    put16(out, 0);
    put16(out, 1);  // an icon
    put16(out, unsigned(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int size = SIZES[i];
        out.push_back(uint8_t(size % 256));  // 0 stands for 256
        out.push_back(uint8_t(size % 256));
        out.push_back(0);  // no palette
        out.push_back(0);
        put16(out, 1);   // planes
        put16(out, 32);  // bits a pixel
        put32(out, uint32_t(images[i].size()));
        put32(out, offset);
        offset += uint32_t(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    const std::string path = argv[1];
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
