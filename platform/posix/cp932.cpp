#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

// One conversion through iconv. Returns nullopt on the first byte sequence the target cannot
// take, unless substitute is given, which then stands for the offending input character.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input,
                                   const char* substitute, std::size_t inputCharWidthOnError) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    std::vector<char> chunk(4096);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        std::size_t outLeft = chunk.size();
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft);
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (substitute == nullptr) { ok = false; break; }
        out += substitute;
        std::size_t skip = std::min(inLeft, inputCharWidthOnError);
        // Skip one whole UTF-8 character when the input is UTF-8.
        if (inputCharWidthOnError == 0) {
            skip = 1;
            while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
        }
        in += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    return *Convert("UTF-8", "CP932", cp932, "\xEF\xBF\xBD", 1);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8, nullptr, 0);
}

std::string Cp932(std::string_view utf8) {
    return *Convert("CP932", "UTF-8", utf8, "?", 0);
}

}  // namespace platform
