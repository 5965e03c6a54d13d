#include "platform/win32/wide_text.h"

#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

constexpr UINT ShiftJis = 932;

// One MultiByteToWideChar call; nullopt when the input does not convert whole.
std::optional<std::wstring> ToWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), size);
    return wide;
}

// One WideCharToMultiByte call to CP932; usedDefault tells whether a character did not fit.
std::string ToShiftJis(std::wstring_view wide, bool& usedDefault) {
    BOOL defaulted = FALSE;
    usedDefault = false;
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int size = ::WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                           "?", &defaulted);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), length, bytes.data(), size, "?", &defaulted);
    usedDefault = defaulted != FALSE;
    return bytes;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::wstring WideFromCp932(std::string_view cp932) {
    if (auto whole = ToWide(ShiftJis, cp932)) return *whole;
    // Some bytes are not CP932: convert character by character to find them.
    std::wstring wide;
    for (std::size_t i = 0; i < cp932.size();) {
        const bool lead = ::IsDBCSLeadByteEx(ShiftJis, static_cast<BYTE>(cp932[i])) != FALSE;
        const std::size_t width = lead && i + 1 < cp932.size() ? 2 : 1;
        auto one = ToWide(ShiftJis, cp932.substr(i, width));
        wide += one && !(lead && width == 1) ? *one : std::wstring(1, L'\xFFFD');
        i += width;
    }
    return wide;
}

std::optional<std::string> Cp932FromWide(std::wstring_view wide) {
    bool usedDefault = false;
    std::string bytes = ToShiftJis(wide, usedDefault);
    if (usedDefault) return std::nullopt;
    return bytes;
}

std::string Cp932FromWideReplacing(std::wstring_view wide) {
    // One '?' for a character outside the basic plane too, not one per surrogate.
    std::string bytes;
    std::size_t start = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (!IsHighSurrogate(wide[i]) || i + 1 >= wide.size()) continue;
        bool usedDefault = false;
        bytes += ToShiftJis(wide.substr(start, i - start), usedDefault) + '?';
        start = ++i + 1;
    }
    bool usedDefault = false;
    return bytes + ToShiftJis(wide.substr(start), usedDefault);
}

std::optional<std::wstring> WideFromUtf8(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

}  // namespace platform::win32
