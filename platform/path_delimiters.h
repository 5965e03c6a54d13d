#pragma once
// The bytes that end a folder part of a path on this system.

#include <string_view>

namespace platform {

#ifdef _WIN32
inline constexpr std::string_view PathDelimiters = "\\:";
#else
inline constexpr std::string_view PathDelimiters = "/";
#endif

}  // namespace platform
