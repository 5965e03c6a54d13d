#include "platform/picture_header.h"

#include <cstdint>

namespace platform {

namespace {

bool StartsWith(std::string_view head, std::string_view magic) { return head.substr(0, magic.size()) == magic; }

unsigned Byte(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    return Byte(bytes, at) << 24 | Byte(bytes, at + 1) << 16 | Byte(bytes, at + 2) << 8 | Byte(bytes, at + 3);
}

// The TIFF structure inside an EXIF segment, in the byte order its header names.
class TiffBytes {
public:
    explicit TiffBytes(std::string_view data) : data_(data), bigEndian_(StartsWith(data, "MM")) {}
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= data_.size() && count <= data_.size() - offset;
    }
    unsigned U16(std::size_t offset) const {
        const unsigned a = Byte(data_, offset), b = Byte(data_, offset + 1);
        return bigEndian_ ? (a << 8 | b) : (b << 8 | a);
    }
    std::uint32_t U32(std::size_t offset) const {
        const std::uint32_t first = U16(offset), second = U16(offset + 2);
        return bigEndian_ ? (first << 16 | second) : (second << 16 | first);
    }

private:
    std::string_view data_;
    bool bigEndian_;
};

int ExifOrientation(std::string_view exif) {
    constexpr unsigned OrientationTag = 0x0112, ShortType = 3;
    const TiffBytes tiff(exif);
    if (!tiff.Has(0, 8)) return 1;
    const std::uint32_t ifd = tiff.U32(4);
    if (!tiff.Has(ifd, 2)) return 1;
    const std::size_t entries = tiff.U16(ifd);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = ifd + 2 + i * 12;
        if (!tiff.Has(entry, 12)) return 1;
        if (tiff.U16(entry) == OrientationTag && tiff.U16(entry + 2) == ShortType) {
            const unsigned value = tiff.U16(entry + 8);
            return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        }
    }
    return 1;
}

}  // namespace

std::string ReadPictureHead(std::FILE* file) {
    std::string head(PictureHeadBytes, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::rewind(file);
    return head;
}

PictureFormat FormatOf(std::string_view head) {
    using namespace std::string_view_literals;
    if (StartsWith(head, "\xFF\xD8\xFF"sv)) return PictureFormat::Jpeg;
    if (StartsWith(head, "\x89PNG\r\n\x1A\n"sv)) return PictureFormat::Png;
    if (StartsWith(head, "GIF87a"sv) || StartsWith(head, "GIF89a"sv)) return PictureFormat::Gif;
    if (StartsWith(head, "BM"sv)) return PictureFormat::Bmp;
    if (StartsWith(head, "II*\0"sv) || StartsWith(head, "MM\0*"sv)) return PictureFormat::Tiff;
    return PictureFormat::Unknown;
}

std::optional<ClaimedSize> PngClaimedSize(std::string_view head) {
    // The signature, then the IHDR chunk: its length, its name, width and height.
    if (FormatOf(head) != PictureFormat::Png || head.size() < 24 || head.substr(12, 4) != "IHDR") return std::nullopt;
    const std::uint32_t width = BigEndian32(head, 16), height = BigEndian32(head, 20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return std::nullopt;
    return ClaimedSize{static_cast<int>(width), static_cast<int>(height)};
}

int JpegExifOrientation(std::string_view head) {
    // Segment after segment from the start of image to the start of the scan.
    std::size_t at = 2;
    while (at + 4 <= head.size() && Byte(head, at) == 0xFF) {
        const unsigned marker = Byte(head, at + 1);
        if (marker == 0xDA || marker == 0xD9) break;  // the scan, or the end
        const std::size_t length = Byte(head, at + 2) << 8 | Byte(head, at + 3);
        if (length < 2 || at + 2 + length > head.size()) break;
        const std::string_view payload = head.substr(at + 4, length - 2);
        if (marker == 0xE1 && StartsWith(payload, std::string_view("Exif\0\0", 6))) {
            return ExifOrientation(payload.substr(6));
        }
        at += 2 + length;
    }
    return 1;
}

}  // namespace platform
