#pragma once
// UTF-16, the system's own text, to and from CP932 and UTF-8. CP932 is named explicitly (code
// page 932), never the process's ANSI code page, so the program reads and writes the same bytes
// on a Japanese and an English Windows.

#include <optional>
#include <string>
#include <string_view>

namespace platform::win32 {

// CP932 bytes to UTF-16; a byte sequence that is not CP932 becomes U+FFFD.
std::wstring WideFromCp932(std::string_view cp932);
// UTF-16 to CP932; nullopt when a character has no CP932 form.
std::optional<std::string> Cp932FromWide(std::wstring_view wide);
// The same, with '?' for each character that has no CP932 form (as the ANSI functions do).
std::string Cp932FromWideReplacing(std::wstring_view wide);

// UTF-8 to UTF-16; nullopt when the input is not UTF-8.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace platform::win32
