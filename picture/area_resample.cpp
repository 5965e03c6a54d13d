#include "picture/area_resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace picture {

namespace {

// The old pixels (or rows) one new pixel covers along one axis, each with its share of the new
// pixel; the shares add up to 1.
struct Cover {
    int first = 0;
    std::vector<float> shares;
};

std::vector<Cover> CoversAlong(int sourceSize, int targetSize) {
    const double scale = static_cast<double>(sourceSize) / targetSize;
    std::vector<Cover> covers(static_cast<std::size_t>(targetSize));
    for (int t = 0; t < targetSize; ++t) {
        const double begin = t * scale;
        const double end = std::min((t + 1) * scale, static_cast<double>(sourceSize));
        Cover& cover = covers[static_cast<std::size_t>(t)];
        cover.first = static_cast<int>(std::floor(begin));
        const int last = std::min(static_cast<int>(std::ceil(end)), sourceSize) - 1;
        for (int s = cover.first; s <= last; ++s) {
            const double overlap = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
            cover.shares.push_back(static_cast<float>(overlap / scale));
        }
    }
    return covers;
}

// One old row shrunk across, as sums per channel.
void ShrinkRowAcross(const std::uint8_t* row, int channels, const std::vector<Cover>& covers, float* out) {
    const auto stride = static_cast<std::size_t>(channels);
    for (const Cover& cover : covers) {
        float sums[4] = {0, 0, 0, 0};
        const std::uint8_t* pixel = row + static_cast<std::size_t>(cover.first) * stride;
        for (const float share : cover.shares) {
            for (std::size_t c = 0; c < stride; ++c) {
                sums[c] += share * pixel[c];
            }
            pixel += stride;
        }
        std::copy(sums, sums + stride, out);
        out += stride;
    }
}

// Sums of shares of bytes lie in 0-255 but for rounding error.
std::uint8_t ToByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f));
}

}  // namespace

platform::Pixels ResampleByArea(const platform::Pixels& source, int width, int height) {
    if (width < 1 || height < 1 || width > source.width || height > source.height || source.channels > 4) {
        throw std::invalid_argument("ResampleByArea: only shrinks, to at least one pixel");
    }
    if (width == source.width && height == source.height) {
        return source;
    }
    const std::vector<Cover> across = CoversAlong(source.width, width);
    const std::vector<Cover> down = CoversAlong(source.height, height);
    platform::Pixels target = platform::MakePixels(width, height, source.channels);
    const std::size_t rowValues = target.RowBytes();

    // Old rows shrunk across, kept while a new row still covers them: an old row on the border
    // of two new rows serves both.
    std::vector<std::vector<float>> acrossRows;
    int firstAcrossRow = 0;
    std::vector<float> sums(rowValues);
    for (int y = 0; y < height; ++y) {
        const Cover& cover = down[static_cast<std::size_t>(y)];
        const int dropped = std::min(cover.first - firstAcrossRow, static_cast<int>(acrossRows.size()));
        acrossRows.erase(acrossRows.begin(), acrossRows.begin() + dropped);
        firstAcrossRow = cover.first;
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (std::size_t i = 0; i < cover.shares.size(); ++i) {
            if (i == acrossRows.size()) {
                acrossRows.emplace_back(rowValues);
                ShrinkRowAcross(source.Row(cover.first + static_cast<int>(i)), source.channels, across,
                                acrossRows.back().data());
            }
            const float share = cover.shares[i];
            const float* values = acrossRows[i].data();
            for (std::size_t v = 0; v < rowValues; ++v) {
                sums[v] += share * values[v];
            }
        }
        std::uint8_t* out = target.Row(y);
        for (std::size_t v = 0; v < rowValues; ++v) {
            out[v] = ToByte(sums[v]);
        }
    }
    return target;
}

}  // namespace picture
