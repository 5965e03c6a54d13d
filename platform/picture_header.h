#pragma once
// What a picture file's first bytes tell, read by the program itself on every system: the
// format, the size a PNG claims (some codecs refuse a huge one without saying its size), and a
// JPEG's EXIF orientation (Wine's WIC does not read it).

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class PictureFormat { Jpeg, Png, Gif, Bmp, Tiff, Unknown };

// Enough of the start of a file for the checks below: a JPEG's EXIF segment is at most 64 KB and
// comes first or after a JFIF segment.
inline constexpr std::size_t PictureHeadBytes = 128 * 1024;
std::string ReadPictureHead(std::FILE* file);  // leaves the file at its start

PictureFormat FormatOf(std::string_view head);

struct ClaimedSize {
    int width;
    int height;
};
// nullopt for anything but a PNG.
std::optional<ClaimedSize> PngClaimedSize(std::string_view head);

// The orientation tag (274) in the first EXIF segment of a JPEG's head; 1 when there is none or
// it is malformed or not 1-8.
int JpegExifOrientation(std::string_view head);

}  // namespace platform
