#pragma once
// Picture files made by the tests themselves, byte by byte where no codec is at hand: PNGs
// (stored, uncompressed), a PNG header that claims any size, and the EXIF orientation put into
// a JPEG.

#include <string>

#include "platform/pixels.h"

namespace testsupport {

// A PNG of 3- or 4-channel pixels.
std::string PngFile(const platform::Pixels& pixels);
// A PNG whose header claims width x height, as a decompression bomb's, with dataBytes of zeros
// (stored, so the file is that large too).
std::string PngClaiming(int width, int height, std::size_t dataBytes = 64);
// The JPEG with an EXIF segment holding only the orientation tag, in the byte order asked.
std::string WithExifOrientation(const std::string& jpeg, int orientation, bool bigEndian = false);

}  // namespace testsupport
