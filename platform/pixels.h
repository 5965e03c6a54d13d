#pragma once
// A decoded picture's pixels, the form the codecs and the picture work share.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Rows top to bottom, without padding; each pixel R, G, B and, with 4 channels, an alpha that is
// not premultiplied.
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<std::uint8_t> bytes;

    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels); }
    std::uint8_t* Row(int y) { return bytes.data() + static_cast<std::size_t>(y) * RowBytes(); }
    const std::uint8_t* Row(int y) const { return bytes.data() + static_cast<std::size_t>(y) * RowBytes(); }
};

// Blank pixels of the given size.
inline Pixels MakePixels(int width, int height, int channels) {
    Pixels pixels{width, height, channels, {}};
    pixels.bytes.resize(pixels.RowBytes() * static_cast<std::size_t>(height));
    return pixels;
}

}  // namespace platform
