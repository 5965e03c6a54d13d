#include "platform/cp932.h"

#include "platform/win32/wide_text.h"

namespace platform {

std::string Cp932ToUtf8(std::string_view cp932) { return win32::Utf8FromWide(win32::WideFromCp932(cp932)); }

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    auto wide = win32::WideFromUtf8(utf8);
    if (!wide) return std::nullopt;
    return win32::Cp932FromWide(*wide);
}

std::string Cp932(std::string_view utf8) {
    return win32::Cp932FromWideReplacing(win32::WideFromUtf8(utf8).value_or(L"?"));
}

// The C++ library's narrow file names on Windows are UTF-8.
std::string NativePath(std::string_view cp932Path) { return Cp932ToUtf8(cp932Path); }

}  // namespace platform
