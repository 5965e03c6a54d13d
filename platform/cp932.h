#pragma once
// Text inside the system is CP932 (Shift-JIS) bytes; the GUI and the file system speak UTF-8.
// These are the crossings, with FilePath's (platform/file_path.h) for file names.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A byte that opens a CP932 double-byte character: the byte after it belongs to the same
// character, and may look like an ASCII "@", "\\" or "|".
constexpr bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// CP932 bytes to UTF-8; bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// UTF-8 to CP932; nullopt when a character has no CP932 form or the input is not UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// UTF-8 to CP932 for text that is known to fit (literals); characters that do not fit become '?'.
std::string Cp932(std::string_view utf8);

}  // namespace platform
