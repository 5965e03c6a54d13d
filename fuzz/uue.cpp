// Base64 and uuencode of any bytes: lines of at most 45 bytes' code, each ended by CR LF, that
// decode back to the input. The first byte picks the method (odd: uuencode).

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "net/http/nmuue.h"

namespace {

using nmuue::UUMethods;

// The 6-bit value of a code character; the line check has made sure it is one.
unsigned ValueOf(char code, UUMethods method) {
    if (method == UUMethods::uuCode) {
        fuzz::Check(code > ' ' && code <= '`', "uuencode uses the characters after the blank");
        return static_cast<unsigned>(code - 32) & 63u;  // "`" stands for 0
    }
    static const std::string base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto at = base64.find(code);
    fuzz::Check(at != std::string::npos, "Base64 uses its own alphabet");
    return static_cast<unsigned>(at);
}

// Decodes groups of four characters into three bytes, of which the line carries count.
std::string DecodeGroups(const std::string& code, std::size_t count, UUMethods method) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < code.size() && bytes.size() < count; i += 4) {
        unsigned group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            // A short group ends the code (uuencode) or is filled up with "=" (Base64).
            const bool filler = i + k >= code.size() || (method == UUMethods::uuMime && code[i + k] == '=');
            group = (group << 6) | (filler ? 0u : ValueOf(code[i + k], method));
        }
        for (int shift = 16; shift >= 0 && bytes.size() < count; shift -= 8) {
            bytes += static_cast<char>((group >> shift) & 0xFF);
        }
    }
    return bytes;
}

std::string Decode(const std::string& text, UUMethods method) {
    std::string bytes;
    bool ended = false;
    for (std::string line : fuzz::LinesOf(text)) {
        fuzz::Check(fuzz::EndsWith(line, "\r\n"), "every line ends with CR LF");
        fuzz::Check(!ended, "nothing follows the uuencode end line");
        line.resize(line.size() - 2);
        if (method == UUMethods::uuCode) {
            fuzz::Check(!line.empty(), "a uuencode line begins with its length");
            const unsigned count = ValueOf(line[0], method);
            ended = count == 0;
            const unsigned rest = count % 3;  // a short last group has one character more than its bytes
            fuzz::Check(count <= 45 && line.size() == 1 + count / 3 * 4 + (rest == 0 ? 0 : rest + 1),
                        "a uuencode line holds its length");
            bytes += DecodeGroups(line.substr(1), count, method);
        } else {
            fuzz::Check(!line.empty() && line.size() <= 60 && line.size() % 4 == 0, "Base64 lines hold whole groups");
            const std::size_t padding = line.size() - line.find_last_not_of('=') - 1;
            bytes += DecodeGroups(line, line.size() / 4 * 3 - padding, method);
        }
    }
    fuzz::Check(method == UUMethods::uuMime || ended, "uuencode ends with its end line");
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const UUMethods method = (data[0] & 1) != 0 ? UUMethods::uuCode : UUMethods::uuMime;
    const std::string bytes = fuzz::Bytes(data + 1, size - 1);
    fuzz::Check(Decode(nmuue::EncodeBytes(bytes, method), method) == bytes, "the code decodes to the input");
    return 0;
}
