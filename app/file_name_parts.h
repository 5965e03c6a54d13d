#pragma once
// File name and extension of a CP932 path, found by the last separator. A separator byte that is
// the second byte of a double-byte character (表 is 0x95 0x5C) is not a separator.

#include <string>
#include <string_view>

#include "platform/path_delimiters.h"

namespace app {

// The bytes that end a folder part of a path: "\" and ":" on Windows, "/" elsewhere.
inline constexpr std::string_view PathDelimiters = platform::PathDelimiters;

// Index of the last character of the path that is one of the delimiters; npos when none is.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view path);
// Everything after the last path delimiter.
std::string ExtractFileName(std::string_view path);
// From the last "." after the last path delimiter to the end, dot included; "" without one.
std::string ExtractFileExt(std::string_view path);

}  // namespace app
