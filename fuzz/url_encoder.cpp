// The form encoder: its output holds only letters, digits, "+" and "%HH", and decodes back to
// the input byte for byte.

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "net/http/nmurl.h"

namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;  // lower case is never written
}

bool IsAsciiAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Decode(const std::string& encoded) {
    std::string bytes;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%') {
            fuzz::Check(i + 2 < encoded.size(), "every % has two digits");
            const int high = HexValue(encoded[i + 1]);
            const int low = HexValue(encoded[i + 2]);
            fuzz::Check(high >= 0 && low >= 0, "every % has two upper-case hex digits");
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            fuzz::Check(IsAsciiAlphanumeric(c), "only letters and digits stay as they are");
            bytes += c;
        }
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nmurl::TNMURL encoder;
    encoder.InputString = fuzz::Bytes(data, size);
    encoder.OnError = [](platform::TObject*, const std::string&, const std::string&) {
        fuzz::Check(false, "encoding never fails");
    };
    fuzz::Check(Decode(encoder.Encode()) == encoder.InputString, "the encoding decodes to the input");
    return 0;
}
