#include "app/file_name_parts.h"

#include "platform/cp932.h"

namespace app {

std::size_t LastDelimiter(std::string_view delimiters, std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (platform::IsLeadByte(path[i])) {
            ++i;  // the trail byte belongs to this character
            continue;
        }
        if (delimiters.find(path[i]) != std::string_view::npos) last = i;
    }
    return last;
}

std::string ExtractFileName(std::string_view path) {
    std::size_t last = LastDelimiter(PathDelimiters, path);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string ExtractFileExt(std::string_view path) {
    std::string delimiters(PathDelimiters);
    delimiters += '.';
    std::size_t last = LastDelimiter(delimiters, path);
    if (last == std::string_view::npos || path[last] != '.') return "";
    return std::string(path.substr(last));
}

}  // namespace app
