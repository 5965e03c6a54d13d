#include "picture/shrink_picture.h"

#include <algorithm>
#include <new>
#include <utility>

#include "picture/fit_under_limit.h"
#include "picture/orientation.h"
#include "platform/cp932.h"
#include "platform/picture_codec.h"

namespace picture {

namespace {

std::string Number(std::int64_t value) { return std::to_string(value); }

[[noreturn]] void RefuseUndecodable(const std::string& detail) {
    throw EPictureRefused(platform::Cp932("画像として読み込めません（ファイルが壊れているか、画像ではありません）。") +
                          "[" + detail + "]");
}

}  // namespace

ShrunkPicture ShrinkPicture(const platform::FilePath& path, std::int64_t limit) {
    try {
        platform::PictureDecoder decoder(path);
        const platform::PictureHeader header = decoder.Header();
        if (HeaderTooLarge(header.width, header.height)) {
            throw EPictureRefused(platform::Cp932("画像が大きすぎます（") + Number(header.width) + " x " +
                                  Number(header.height) + platform::Cp932(" ピクセル。縮小できるのは 1 億ピクセルまでです）。"));
        }
        const int longEdge = std::max(header.width, header.height);
        const int firstStep = LongEdgeSteps(longEdge).front();
        auto fitted = FitUnderLimit(decoder.Decode(firstStep), header.exifOrientation, longEdge, limit,
                                    [](const platform::Pixels& pixels) { return platform::EncodeJpeg(pixels, JpegQuality); });
        if (!fitted) {
            throw EPictureRefused(platform::Cp932("800 ピクセルまで縮小しても ") + Number(limit / 1'000'000) +
                                  platform::Cp932("MB を超えます。"));
        }
        const bool swap = SwapsSides(header.exifOrientation);
        return ShrunkPicture{std::move(fitted->jpeg), swap ? header.height : header.width,
                             swap ? header.width : header.height, fitted->width, fitted->height};
    } catch (const platform::EPictureError& error) {
        RefuseUndecodable(error.Message());
    } catch (const std::bad_alloc&) {
        RefuseUndecodable("out of memory");
    }
}

}  // namespace picture
