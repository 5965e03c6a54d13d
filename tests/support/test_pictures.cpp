#include "tests/support/test_pictures.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace testsupport {

namespace {

void PutU32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

std::uint32_t Crc32(const std::string& bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutU32(png, static_cast<std::uint32_t>(data.size()));
    const std::string typed = type + data;
    png += typed;
    PutU32(png, Crc32(typed));
}

std::string Header(int width, int height, int channels) {
    std::string ihdr;
    PutU32(ihdr, static_cast<std::uint32_t>(width));
    PutU32(ihdr, static_cast<std::uint32_t>(height));
    ihdr += '\x08';                          // 8 bits a sample
    ihdr += channels == 4 ? '\x06' : '\x02';  // RGBA or RGB
    ihdr += std::string(3, '\0');            // deflate, adaptive filters, not interlaced
    return ihdr;
}

// zlib data in stored (uncompressed) blocks.
std::string StoredZlib(const std::string& raw) {
    std::string out = "\x78\x01";
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>(~length >> 8 & 0xFF);
        out.append(raw, at, length);
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (const char byte : raw) {
        a = (a + static_cast<unsigned char>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    PutU32(out, b << 16 | a);
    return out;
}

const std::string Signature = "\x89PNG\r\n\x1A\n";

}  // namespace

std::string PngFile(const platform::Pixels& pixels) {
    std::string raw;
    raw.reserve((pixels.RowBytes() + 1) * static_cast<std::size_t>(pixels.height));
    for (int y = 0; y < pixels.height; ++y) {
        raw += '\0';  // no filter
        raw.append(reinterpret_cast<const char*>(pixels.Row(y)), pixels.RowBytes());
    }
    std::string png = Signature;
    PutChunk(png, "IHDR", Header(pixels.width, pixels.height, pixels.channels));
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", "");
    return png;
}

std::string PngClaiming(int width, int height, std::size_t dataBytes) {
    std::string png = Signature;
    PutChunk(png, "IHDR", Header(width, height, 3));
    PutChunk(png, "IDAT", StoredZlib(std::string(dataBytes, '\0')));
    PutChunk(png, "IEND", "");
    return png;
}

std::string WithExifOrientation(const std::string& jpeg, int orientation, bool bigEndian) {
    auto u16 = [bigEndian](unsigned value) {
        const char high = static_cast<char>(value >> 8), low = static_cast<char>(value & 0xFF);
        return bigEndian ? std::string{high, low} : std::string{low, high};
    };
    auto u32 = [&](unsigned value) {
        return bigEndian ? u16(value >> 16) + u16(value & 0xFFFF) : u16(value & 0xFFFF) + u16(value >> 16);
    };
    std::string tiff = bigEndian ? "MM" : "II";
    tiff += u16(42) + u32(8);                                                // IFD0 right after
    tiff += u16(1) + u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0);  // one entry: SHORT
    tiff += u32(0);                                                          // no next IFD
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string segment = "\xFF\xE1";
    segment += static_cast<char>(length >> 8);
    segment += static_cast<char>(length & 0xFF);
    return jpeg.substr(0, 2) + segment + payload + jpeg.substr(2);
}

}  // namespace testsupport
