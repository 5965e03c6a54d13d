#pragma once
// The per-user registry: keys under the current user's hive holding named, typed values.
//
// RegistryKey is the raw store (open or create a key, query, read, write, close). TRegistry puts
// the class library's reading and writing rules on top: missing strings read as empty, a refused
// write raises ERegistryException naming the value.
//
// On Windows it is the registry's HKEY_CURRENT_USER, read and written through the UTF-16 functions
// with names and strings converted from and to code page 932, so that the bytes are those the
// ANSI functions give on a Japanese system. Where the system has no registry, the hive is a folder tree under the user's configuration
// directory ($XDG_CONFIG_HOME, or ~/.config when unset):
//
//   <config>/milte-post/registry/<key path>/.values
//
// Each part of the key path (split at "\") becomes one folder. Its bytes are kept as they are
// when they are ASCII letters, digits, "-" or "_", and written as "%HH" (two upper-case hex
// digits) otherwise, so CP932 key names keep their bytes and no folder name begins with ".".
//
// ".values" holds the key's values as text, one per line:
//
//   milte-registry 1                  first line, the format and its version
//   <name> TAB <type> TAB <data> LF   one line per value, in the order written
//
// <type> is the registry type number in decimal (1 string, 2 expandable string, 3 binary,
// 4 32-bit integer, little-endian). <name> and <data> are the raw bytes with every byte outside
// "!".."~", and "\" itself, written as "\xHH"; a string's data ends in its terminating zero byte,
// written "\x00". A file that does not follow this format reads as a key without values.
//
// Every write replaces .values whole: a temporary file in the same folder is written, flushed to
// disk and renamed over it, so a crash leaves either the old or the new values, never a mix.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime.h"

namespace platform {

enum RegistryType : std::uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

struct RegistryValue {
    std::uint32_t type = REG_NONE;
    std::string data;  // raw bytes
};

// One open key of the current user's hive.
class RegistryKey {
public:
    // Opens the key (CP932 path, parts separated by "\", no leading "\"), creating it if missing.
    explicit RegistryKey(std::string_view cp932KeyPath);
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    ~RegistryKey();

    bool IsOpen() const { return store_ != nullptr; }
    // nullopt when the key is not open or has no such value.
    std::optional<RegistryValue> QueryValue(std::string_view name) const;
    // False when the store refuses the write (the key is not open, or the file cannot be replaced).
    bool SetValue(std::string_view name, const RegistryValue& value);

private:
    struct Store;  // the system's side of the open key; null when it could not be opened
    std::unique_ptr<Store> store_;
};

// A registry failure; the message names what failed.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The class library's registry object: one current key at a time, typed reads and writes.
class TRegistry {
public:
    // Opens the current user's key; a leading "\" is dropped. False when it cannot be opened.
    bool OpenKey(std::string_view cp932KeyPath, bool canCreate);
    void CloseKey();

    // A missing value, or one of data size 0, reads as "". A value of a type other than a string
    // raises ERegistryException. The string ends at its first zero byte.
    std::string ReadString(std::string_view name) const;
    // A missing value, or one that is not a 32-bit integer, raises ERegistryException.
    std::int32_t ReadInteger(std::string_view name) const;
    // A refused write raises ERegistryException "'<name>' の設定に失敗しました".
    void WriteString(std::string_view name, const std::string& cp932Value);
    void WriteInteger(std::string_view name, std::int32_t value);

private:
    void Write(std::string_view name, const RegistryValue& value);

    std::optional<RegistryKey> key_;
};

}  // namespace platform
