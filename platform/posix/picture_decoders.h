#pragma once
// The decoders behind PictureDecoder on this system, one per library: libjpeg(-turbo) for JPEG
// (its DCT scaling decodes a large photo straight to a fraction of its size), stb_image for PNG,
// BMP and GIF, libtiff for TIFF.

#include <cstdio>
#include <memory>
#include <optional>

#include "platform/picture_codec.h"
#include "platform/picture_header.h"

namespace platform {

struct PictureDecoder::Codec {
    virtual ~Codec() = default;
    virtual Pixels Decode(int minLongEdge) = 0;
};

// Each reads the header from the open file, which it then owns, and fills in the size (and
// where the library reads it, the orientation).
std::unique_ptr<PictureDecoder::Codec> OpenJpeg(std::FILE* file, PictureHeader& header);
std::unique_ptr<PictureDecoder::Codec> OpenStbPicture(std::FILE* file, PictureHeader& header,
                                                      std::optional<ClaimedSize> pngClaim);
std::unique_ptr<PictureDecoder::Codec> OpenTiff(std::FILE* file, PictureHeader& header);

// Closes a FILE* as it goes.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace platform
