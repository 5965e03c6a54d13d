#include "picture/fit_under_limit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "picture/area_resample.h"
#include "picture/flatten_alpha.h"
#include "picture/orientation.h"

namespace picture {

namespace {

constexpr std::array<int, 6> LongEdgeStepList{2560, 1920, 1600, 1280, 1024, 800};

}  // namespace

bool HeaderTooLarge(int width, int height) {
    return static_cast<std::int64_t>(width) * height > MaxPicturePixels;
}

std::vector<int> LongEdgeSteps(int originalLongEdge) {
    std::vector<int> steps;
    if (originalLongEdge < LongEdgeStepList.front()) {
        steps.push_back(originalLongEdge);
    }
    for (const int step : LongEdgeStepList) {
        if (step <= originalLongEdge && (steps.empty() || step < steps.back())) {
            steps.push_back(step);
        }
    }
    return steps;
}

Size ScaledToLongEdge(Size size, int longEdge) {
    const bool wide = size.width >= size.height;
    const int longSide = wide ? size.width : size.height;
    const int shortSide = wide ? size.height : size.width;
    const int shortEdge = std::max(1, static_cast<int>(std::lround(static_cast<double>(shortSide) * longEdge / longSide)));
    return wide ? Size{longEdge, shortEdge} : Size{shortEdge, longEdge};
}

std::optional<FittedPicture> FitUnderLimit(platform::Pixels decoded, int exifOrientation, int originalLongEdge,
                                           std::int64_t limit, const JpegEncoder& encode) {
    const platform::Pixels opaque = FlattenOntoWhite(std::move(decoded));
    const int decodedLongEdge = std::max(opaque.width, opaque.height);
    for (const int step : LongEdgeSteps(originalLongEdge)) {
        // Scaling on load may have rounded the long edge a pixel short of the first step.
        const Size size = ScaledToLongEdge({opaque.width, opaque.height}, std::min(step, decodedLongEdge));
        platform::Pixels seen = Orient(ResampleByArea(opaque, size.width, size.height), exifOrientation);
        std::string jpeg = encode(seen);
        if (static_cast<std::int64_t>(jpeg.size()) <= limit) {
            return FittedPicture{std::move(jpeg), seen.width, seen.height};
        }
    }
    return std::nullopt;
}

}  // namespace picture
