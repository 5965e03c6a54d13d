#include "picture/orientation.h"

#include <algorithm>

namespace picture {

namespace {

// Where the stored picture's pixel lies that is seen at (x, y), for a stored picture of w x h.
struct StoredPoint {
    int x;
    int y;
};

StoredPoint StoredPointOf(int exifOrientation, int x, int y, int w, int h) {
    switch (exifOrientation) {
    case 2: return {w - 1 - x, y};          // mirrored
    case 3: return {w - 1 - x, h - 1 - y};  // upside down
    case 4: return {x, h - 1 - y};          // mirrored upside down
    case 5: return {y, x};                  // mirrored, lying on its right side
    case 6: return {y, h - 1 - x};          // lying on its left side: turned clockwise to see
    case 7: return {w - 1 - y, h - 1 - x};  // mirrored, lying on its left side
    case 8: return {w - 1 - y, x};          // lying on its right side: turned anticlockwise
    default: return {x, y};
    }
}

}  // namespace

bool SwapsSides(int exifOrientation) { return exifOrientation >= 5 && exifOrientation <= 8; }

platform::Pixels Orient(platform::Pixels stored, int exifOrientation) {
    if (exifOrientation < 2 || exifOrientation > 8) {
        return stored;
    }
    const bool swap = SwapsSides(exifOrientation);
    platform::Pixels seen = platform::MakePixels(swap ? stored.height : stored.width,
                                                 swap ? stored.width : stored.height, stored.channels);
    const auto channels = static_cast<std::size_t>(stored.channels);
    for (int y = 0; y < seen.height; ++y) {
        std::uint8_t* out = seen.Row(y);
        for (int x = 0; x < seen.width; ++x, out += channels) {
            const StoredPoint from = StoredPointOf(exifOrientation, x, y, stored.width, stored.height);
            const std::uint8_t* in = stored.Row(from.y) + static_cast<std::size_t>(from.x) * channels;
            std::copy(in, in + channels, out);
        }
    }
    return seen;
}

}  // namespace picture
