#include "platform/registry.h"

#include "platform/cp932.h"

// The class library's reading and writing rules, the same on every system's store.
namespace platform {

bool TRegistry::OpenKey(std::string_view cp932KeyPath, bool canCreate) {
    CloseKey();
    if (!cp932KeyPath.empty() && cp932KeyPath.front() == '\\') cp932KeyPath.remove_prefix(1);
    // Every store creates a missing key on open; a key that may not be created is opened all the same.
    (void)canCreate;
    key_.emplace(cp932KeyPath);
    return key_->IsOpen();
}

void TRegistry::CloseKey() { key_.reset(); }

std::string TRegistry::ReadString(std::string_view name) const {
    auto value = key_ ? key_->QueryValue(name) : std::nullopt;
    if (!value || value->data.empty()) return "";
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    return value->data.substr(0, value->data.find('\0'));
}

std::int32_t TRegistry::ReadInteger(std::string_view name) const {
    auto value = key_ ? key_->QueryValue(name) : std::nullopt;
    if (!value || value->type != REG_DWORD || value->data.size() != 4)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(value->data[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(bits);
}

void TRegistry::WriteString(std::string_view name, const std::string& cp932Value) {
    // The stored length counts the terminating zero byte.
    Write(name, RegistryValue{REG_SZ, cp932Value + '\0'});
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((bits >> (8 * i)) & 0xFF);
    Write(name, RegistryValue{REG_DWORD, data});
}

void TRegistry::Write(std::string_view name, const RegistryValue& value) {
    if (!key_ || !key_->SetValue(name, value))
        throw ERegistryException("'" + std::string(name) + "'" + Cp932(" の設定に失敗しました"));
}

}  // namespace platform
