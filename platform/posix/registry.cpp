#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "platform/cp932.h"

namespace platform {
namespace {

constexpr std::string_view FormatLine = "milte-registry 1";
constexpr const char* ValuesFileName = ".values";
constexpr const char HexDigits[] = "0123456789ABCDEF";

bool IsPlainFolderByte(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '_';
}

std::string FolderNameOf(std::string_view keyPart) {
    std::string folder;
    for (unsigned char byte : keyPart) {
        if (IsPlainFolderByte(byte)) {
            folder += static_cast<char>(byte);
        } else {
            folder += '%';
            folder += HexDigits[byte >> 4];
            folder += HexDigits[byte & 0x0F];
        }
    }
    return folder;
}

std::string Escape(std::string_view bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        if (byte > ' ' && byte <= '~' && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            text += "\\x";
            text += HexDigits[byte >> 4];
            text += HexDigits[byte & 0x0F];
        }
    }
    return text;
}

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte != '\\') {
            if (byte <= ' ' || byte > '~') return std::nullopt;
            bytes += static_cast<char>(byte);
            continue;
        }
        if (text.size() - i < 4 || text[i + 1] != 'x') return std::nullopt;
        int high = HexValue(text[i + 2]);
        int low = HexValue(text[i + 3]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 3;
    }
    return bytes;
}

std::optional<std::uint32_t> ParseType(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t type = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') return std::nullopt;
        type = type * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    if (type > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(type);
}

// One "<name> TAB <type> TAB <data>" line; nullopt when it does not follow the format.
std::optional<std::pair<std::string, RegistryValue>> ParseValueLine(std::string_view line) {
    std::size_t firstTab = line.find('\t');
    if (firstTab == std::string_view::npos) return std::nullopt;
    std::size_t secondTab = line.find('\t', firstTab + 1);
    if (secondTab == std::string_view::npos) return std::nullopt;
    auto name = Unescape(line.substr(0, firstTab));
    auto type = ParseType(line.substr(firstTab + 1, secondTab - firstTab - 1));
    auto data = Unescape(line.substr(secondTab + 1));
    if (!name || !type || !data) return std::nullopt;
    return std::pair{*name, RegistryValue{*type, *data}};
}

std::string FormatValues(const std::map<std::string, RegistryValue>& values) {
    std::string text(FormatLine);
    text += '\n';
    for (const auto& [name, value] : values)
        text += Escape(name) + '\t' + std::to_string(value.type) + '\t' + Escape(value.data) + '\n';
    return text;
}

bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Replaces the file whole: temp file, flush to disk, rename, then make the rename itself durable.
bool ReplaceFileAtomically(const std::string& folder, const std::string& path, const std::string& text) {
    std::string tempPath = folder + "/.values.XXXXXX";
    std::vector<char> pattern(tempPath.begin(), tempPath.end());
    pattern.push_back('\0');
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    tempPath = pattern.data();
    bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(tempPath.c_str(), path.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        return false;
    }
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

// The folder that holds the hive, for this user.
std::string HiveFolder() {
    std::string config;
    const char* xdgConfig = std::getenv("XDG_CONFIG_HOME");
    // An XDG variable that is not an absolute path is to be ignored.
    if (xdgConfig != nullptr && xdgConfig[0] == '/') {
        config = xdgConfig;
    } else {
        const char* home = std::getenv("HOME");
        config = std::string(home != nullptr ? home : "") + "/.config";
    }
    return config + "/milte-post/registry";
}

std::map<std::string, RegistryValue> ReadValues(const std::string& folder) {
    std::map<std::string, RegistryValue> values;
    std::ifstream file(folder + '/' + ValuesFileName, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line) || line != FormatLine) return {};
    while (std::getline(file, line)) {
        auto entry = ParseValueLine(line);
        if (!entry) return {};  // damaged: no values rather than some of them
        values[entry->first] = entry->second;
    }
    if (file.bad()) return {};
    return values;
}

}  // namespace

struct RegistryKey::Store {
    std::string folder;  // file-system path of the key's folder
};

RegistryKey::RegistryKey(std::string_view cp932KeyPath) {
    std::string folder = HiveFolder();
    std::size_t start = 0;
    while (start <= cp932KeyPath.size()) {
        std::size_t end = cp932KeyPath.find('\\', start);
        if (end == std::string_view::npos) end = cp932KeyPath.size();
        std::string_view part = cp932KeyPath.substr(start, end - start);
        if (part.empty()) return;  // "a\\b" or a trailing "\": no such key name
        folder += '/' + FolderNameOf(part);
        start = end + 1;
    }
    if (MakeFolders(folder)) store_ = std::make_unique<Store>(Store{folder});
}

RegistryKey::~RegistryKey() = default;

std::optional<RegistryValue> RegistryKey::QueryValue(std::string_view name) const {
    if (!store_) return std::nullopt;
    auto values = ReadValues(store_->folder);
    auto found = values.find(std::string(name));
    if (found == values.end()) return std::nullopt;
    return found->second;
}

bool RegistryKey::SetValue(std::string_view name, const RegistryValue& value) {
    if (!store_) return false;
    auto values = ReadValues(store_->folder);
    values[std::string(name)] = value;
    return ReplaceFileAtomically(store_->folder, store_->folder + '/' + ValuesFileName, FormatValues(values));
}

}  // namespace platform
