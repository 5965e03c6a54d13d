#pragma once
// The shrink that makes a picture fit a size limit: the long edge steps down through sizes a
// phone screen makes sense of until the JPEG is small enough. The picture is never enlarged.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/pixels.h"

namespace picture {

// Past this many pixels a header is taken for a decompression bomb (100,000 x 100,000 claims
// 40 GB of pixels), not a photo.
inline constexpr std::int64_t MaxPicturePixels = 100'000'000;
bool HeaderTooLarge(int width, int height);

// The long edges tried in turn for a picture whose long edge is originalLongEdge: the original
// itself when it is below the first step, then every step below that.
std::vector<int> LongEdgeSteps(int originalLongEdge);

// width x height scaled so that its long edge is longEdge (the short edge at least 1 pixel).
struct Size {
    int width;
    int height;
};
Size ScaledToLongEdge(Size size, int longEdge);

// Encodes 3-channel pixels into a JPEG.
using JpegEncoder = std::function<std::string(const platform::Pixels&)>;

struct FittedPicture {
    std::string jpeg;
    int width = 0;  // as seen, the orientation applied
    int height = 0;
};

// decoded: the picture as stored, 3 or 4 channels, perhaps already shrunk on loading but with its
// long edge at least the first step's; originalLongEdge: the stored picture's long edge at full
// size. Each step is shrunk from the decoded pixels, turned upright and encoded; the first JPEG of
// at most limit bytes is the result, nullopt when even the last step is larger.
std::optional<FittedPicture> FitUnderLimit(platform::Pixels decoded, int exifOrientation, int originalLongEdge,
                                           std::int64_t limit, const JpegEncoder& encode);

}  // namespace picture
