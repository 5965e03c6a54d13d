#pragma once
// A picture file shrunk to a JPEG under a size limit, through the system's codecs: the header is
// checked before any pixel is decoded, the decoder scales on loading where it can, and the
// shared shrink (fit_under_limit.h) does the rest. The file itself is only read.

#include <cstdint>
#include <string>

#include "platform/file_path.h"
#include "platform/runtime.h"

namespace picture {

inline constexpr int JpegQuality = 85;

// A picture that cannot be shrunk under the limit; the message (CP932) says why, for the user.
class EPictureRefused : public platform::Exception {
public:
    using Exception::Exception;
};

struct ShrunkPicture {
    std::string jpeg;
    int originalWidth = 0;  // as seen, the orientation applied
    int originalHeight = 0;
    int width = 0;
    int height = 0;
};

// Throws EPictureRefused.
ShrunkPicture ShrinkPicture(const platform::FilePath& path, std::int64_t limit);

}  // namespace picture
