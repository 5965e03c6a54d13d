#include "app/destination_check.h"

#include <algorithm>
#include <cctype>

#include "net/http/nmextstr.h"
#include "platform/cp932.h"

namespace app {
namespace {

constexpr std::string_view FullWidthSpace = "\x81\x40";  // "　" in CP932

bool IsAsciiBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The length of the space at the start of text, 0 when it starts with something else.
std::size_t SpaceAt(std::string_view text) {
    if (!text.empty() && IsAsciiBlank(text.front())) return 1;
    return text.starts_with(FullWidthSpace) ? FullWidthSpace.size() : 0;
}

// Walks the text character by character (a double-byte character whole, so its second byte is
// never taken for a space's) and keeps what lies between the first and the last non-space.
std::string_view TrimSpaces(std::string_view text) {
    std::size_t begin = std::string_view::npos;
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t space = SpaceAt(text.substr(i));
        const std::size_t length = space ? space : platform::IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
        if (!space) {
            if (begin == std::string_view::npos) begin = i;
            end = i + length;
        }
        i += length;
    }
    return begin == std::string_view::npos ? std::string_view{} : text.substr(begin, end - begin);
}

bool IsLocalPartCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-/=?^_`{|}~.").find(c) != std::string_view::npos;
}

}  // namespace

bool IsMailLocalPart(std::string_view text) { return !text.empty() && std::ranges::all_of(text, IsLocalPartCharacter); }

std::optional<Destination> CheckDestination(std::string_view cp932Text, std::span<const char* const> carrierDomains) {
    Destination destination{std::string(TrimSpaces(cp932Text)), std::nullopt};
    // A local part is ASCII, so an "@" found here is never the second byte of a double-byte
    // character: a text with such characters is refused anyway.
    const std::size_t at = destination.localPart.rfind('@');
    if (at != std::string::npos) {
        const std::string_view domain = std::string_view(destination.localPart).substr(at + 1);
        const auto listed = std::ranges::find_if(carrierDomains, [domain](const char* carrier) { return nmextstr::SameTextCp932(std::string(domain), carrier); });
        if (listed == carrierDomains.end()) return std::nullopt;
        destination.carrierIndex = static_cast<int>(listed - carrierDomains.begin());
        destination.localPart.resize(at);
    }
    if (!IsMailLocalPart(destination.localPart)) return std::nullopt;
    return destination;
}

}  // namespace app
