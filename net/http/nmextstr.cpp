#include "net/http/nmextstr.h"

#include "platform/cp932.h"
#include "platform/runtime.h"

namespace nmextstr {
namespace {

unsigned char AsciiUpper(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

}  // namespace

bool SameTextCp932(const std::string& left, const std::string& right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        const auto a = static_cast<unsigned char>(left[i]);
        const auto b = static_cast<unsigned char>(right[i]);
        if (AsciiUpper(a) != AsciiUpper(b)) {
            return false;
        }
        if (platform::IsLeadByte(left[i]) && i + 1 < left.size()) {
            ++i;  // the trail byte must match exactly
            if (left[i] != right[i]) {
                return false;
            }
        }
    }
    return true;
}

void TExStringList::Delete(int index) {
    if (index < 0 || index >= Count()) {
        throw platform::Exception("List index out of bounds (" + std::to_string(index) + ")");
    }
    lines_.erase(lines_.begin() + index);
}

std::string TExStringList::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

int TExStringList::IndexOfHeader(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = (*this)[i];
        const auto colon = line.find(':');
        if (colon != std::string::npos && SameTextCp932(line.substr(0, colon), name)) {
            return i;
        }
    }
    return -1;
}

void TExStringList::SetHeader(const std::string& name, const std::string& value) {
    const int index = IndexOfHeader(name);
    if (value.empty()) {
        if (index >= 0) {
            Delete(index);
        }
        return;
    }
    const std::string line = name + ": " + value;
    if (index >= 0) {
        (*this)[index] = line;
    } else {
        Add(line);
    }
}

}  // namespace nmextstr
