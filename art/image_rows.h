// Checks and converts images kept in the source as text: one string per pixel
// row, one character per pixel, each pixel's value the position of its
// character in the image's alphabet. Everything here runs at compile time.
#pragma once

#include <cstddef>
#include <string_view>

// Every row has exactly `width` characters.
template <std::size_t Rows>
constexpr bool rowsHaveWidth(const std::string_view (&rows)[Rows], std::size_t width)
{
    for (std::string_view row : rows)
        if (row.size() != width) return false;
    return true;
}

// Every character of every row is one of `alphabet`.
template <std::size_t Rows>
constexpr bool rowsUseOnly(const std::string_view (&rows)[Rows], std::string_view alphabet)
{
    for (std::string_view row : rows)
        if (row.find_first_not_of(alphabet) != std::string_view::npos) return false;
    return true;
}

template <int Width, int Height>
struct PixelArray {
    int values[Width * Height];
};

// The pixels, row by row from the top. Check the rows with the two tests above
// first (in a static_assert): a character outside the alphabet gives -1. Each
// character is looked up in a table made once from the alphabet, which keeps
// the largest image within the compilers' limits on compile-time work.
template <int Width, int Height>
constexpr PixelArray<Width, Height> decodeRows(const std::string_view (&rows)[Height], std::string_view alphabet)
{
    int valueOf[256]{};
    for (int& value : valueOf) value = -1;
    for (std::size_t i = alphabet.size(); i-- > 0;) valueOf[static_cast<unsigned char>(alphabet[i])] = int(i);
    PixelArray<Width, Height> image{};
    for (int y = 0; y < Height; ++y) {
        const std::string_view row = rows[y];
        for (int x = 0; x < Width; ++x) image.values[y * Width + x] = valueOf[static_cast<unsigned char>(row[x])];
    }
    return image;
}
