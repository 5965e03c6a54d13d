#include "picture/flatten_alpha.h"

namespace picture {

platform::Pixels FlattenOntoWhite(platform::Pixels pixels) {
    if (pixels.channels != 4) {
        return pixels;
    }
    const std::size_t count = static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height);
    std::uint8_t* bytes = pixels.bytes.data();
    // Each RGB pixel is written no further on than its RGBA pixel was read, so one pass in place
    // does.
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned alpha = bytes[i * 4 + 3];
        for (std::size_t c = 0; c < 3; ++c) {
            const unsigned colour = bytes[i * 4 + c];
            bytes[i * 3 + c] = static_cast<std::uint8_t>((colour * alpha + 255u * (255u - alpha) + 127u) / 255u);
        }
    }
    pixels.channels = 3;
    pixels.bytes.resize(count * 3);
    return pixels;
}

}  // namespace picture
