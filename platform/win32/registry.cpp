// The real registry under HKEY_CURRENT_USER, through the UTF-16 functions. Names and strings are
// converted from and to code page 932 here, so a value the ANSI functions wrote on a Japanese
// system reads back as the same bytes whatever the system's own code page.
#include "platform/registry.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// Parts separated by single "\", none of them empty: "a\\b" or a trailing "\" names no key,
// as in every store. Checked on UTF-16, where no "\" is the second byte of a character.
bool IsKeyPath(std::wstring_view path) {
    return !path.empty() && path.front() != L'\\' && path.back() != L'\\' && path.find(L"\\\\") == path.npos;
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A string's data as the ANSI functions hand it over: CP932 bytes, its terminating zero included.
std::string Cp932Data(const std::string& utf16Data) {
    std::wstring wide(utf16Data.size() / sizeof(wchar_t), L'\0');
    utf16Data.copy(reinterpret_cast<char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return win32::Cp932FromWideReplacing(wide);
}

std::string Utf16Data(const std::string& cp932Data) {
    const std::wstring wide = win32::WideFromCp932(cp932Data);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

}  // namespace

struct RegistryKey::Store {
    HKEY key = nullptr;
};

RegistryKey::RegistryKey(std::string_view cp932KeyPath) {
    const std::wstring path = win32::WideFromCp932(cp932KeyPath);
    if (!IsKeyPath(path)) return;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS)
        store_ = std::make_unique<Store>(Store{key});
}

RegistryKey::~RegistryKey() {
    if (store_) ::RegCloseKey(store_->key);
}

std::optional<RegistryValue> RegistryKey::QueryValue(std::string_view name) const {
    if (!store_) return std::nullopt;
    const std::wstring wideName = win32::WideFromCp932(name);
    for (;;) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(store_->key, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::string data(size, '\0');
        const LSTATUS status = ::RegQueryValueExW(store_->key, wideName.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) continue;  // it grew in between
        if (status != ERROR_SUCCESS) return std::nullopt;
        data.resize(size);
        if (IsString(type)) data = Cp932Data(data);
        return RegistryValue{type, data};
    }
}

bool RegistryKey::SetValue(std::string_view name, const RegistryValue& value) {
    if (!store_) return false;
    const std::wstring wideName = win32::WideFromCp932(name);
    const std::string data = IsString(value.type) ? Utf16Data(value.data) : value.data;
    return ::RegSetValueExW(store_->key, wideName.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

}  // namespace platform
