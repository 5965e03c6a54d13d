#include "app/win32/win32_text.h"

#include <windows.h>

namespace app::win32 {
namespace {

constexpr UINT ShiftJis = 932;

std::string Narrow(UINT codePage, DWORD flags, const std::wstring& text, BOOL* usedDefault) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefault);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), length, narrow.data(), size, nullptr, usedDefault);
    return narrow;
}

}  // namespace

std::wstring WideFromCp932(const std::string& cp932Text) {
    if (cp932Text.empty()) return {};
    const int length = static_cast<int>(cp932Text.size());
    const int size = ::MultiByteToWideChar(ShiftJis, 0, cp932Text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(ShiftJis, 0, cp932Text.data(), length, wide.data(), size);
    return wide;
}

std::optional<std::string> Cp932FromWide(const std::wstring& text) {
    BOOL usedDefault = FALSE;
    std::string narrow = Narrow(ShiftJis, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
    if (usedDefault) return std::nullopt;
    return narrow;
}

std::string Cp932FromWideLossy(const std::wstring& text) {
    BOOL usedDefault = FALSE;
    return Narrow(ShiftJis, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
}

std::string Utf8FromWide(const std::wstring& text) { return Narrow(CP_UTF8, 0, text, nullptr); }

}  // namespace app::win32
