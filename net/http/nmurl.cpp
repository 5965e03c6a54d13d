#include "net/http/nmurl.h"

#include <exception>

namespace nmurl {
namespace {

bool IsAsciiAlphanumeric(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

std::string EncodeBytes(const std::string& text) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == ' ') {
            result += '+';
        } else if (IsAsciiAlphanumeric(byte)) {
            result += ch;
        } else {
            result += '%';
            result += hexDigits[byte >> 4];
            result += hexDigits[byte & 0x0F];
        }
    }
    return result;
}

}  // namespace

std::string TNMURL::Encode() {
    try {
        return EncodeBytes(InputString);
    } catch (const std::exception& error) {
        if (OnError) {
            OnError(this, "Error during encode", error.what());
        }
        return InputString;
    }
}

}  // namespace nmurl
