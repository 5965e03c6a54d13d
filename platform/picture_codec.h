#pragma once
// The system's picture codecs: a still picture decoded (scaled down on loading where the codec
// can), and pixels encoded as JPEG. Resampling and turning the picture upright are the program's
// own work (picture/), so every system gives the same picture.

#include <memory>
#include <string>

#include "platform/file_path.h"
#include "platform/pixels.h"
#include "platform/runtime.h"

namespace platform {

// A file that does not decode as a picture; the message (CP932) says why.
class EPictureError : public Exception {
public:
    using Exception::Exception;
};

struct PictureHeader {
    int width = 0;  // as stored, before the orientation turns it
    int height = 0;
    int exifOrientation = 1;  // 1-8; 1 when the file says nothing
};

// A picture file whose header has been read; its pixels are decoded only when asked, so a
// header claiming more pixels than memory holds can be refused first. The format is told by
// the file's content (JPEG, PNG, BMP, GIF, TIFF), not by its name.
class PictureDecoder {
public:
    explicit PictureDecoder(const FilePath& path);  // throws EPictureError
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    const PictureHeader& Header() const { return header_; }
    // The first frame's pixels as stored, 3 channels or 4 (with alpha). Where the codec can
    // scale on loading (JPEG's DCT scaling) it shrinks as far as it can with the long edge still
    // at least minLongEdge. Throws EPictureError, a truncated file included.
    Pixels Decode(int minLongEdge);

    struct Codec;  // the system's

private:
    PictureHeader header_;
    std::unique_ptr<Codec> codec_;
};

// A baseline JPEG of 3-channel pixels at quality 1-100, colour sampled 4:2:0.
std::string EncodeJpeg(const Pixels& pixels, int quality);

}  // namespace platform
