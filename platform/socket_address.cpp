#include "platform/socket_address.h"

#include <algorithm>
#include <string_view>

namespace platform::net {
namespace {

using Groups = std::array<std::uint16_t, 8>;

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

int HexValue(char ch) {
    if (IsDigit(ch)) return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Four decimal numbers 0-255; no leading zeros, which some readers take for octal.
std::optional<std::array<std::uint8_t, 4>> ParseIPv4(std::string_view text) {
    std::array<std::uint8_t, 4> parts{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < parts.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        const std::size_t start = at;
        int value = 0;
        while (at < text.size() && IsDigit(text[at]) && at - start < 3) value = value * 10 + (text[at++] - '0');
        const std::size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return std::nullopt;
        parts[part] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) return std::nullopt;
    return parts;
}

std::optional<std::uint16_t> ParseGroup(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (char ch : text) {
        const int digit = HexValue(ch);
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<std::uint16_t>(value);
}

// Groups with at most one "::" and a dotted IPv4 tail allowed.
std::optional<Groups> ParseIPv6(std::string_view text) {
    Groups groups{};
    std::size_t count = 0;
    std::optional<std::size_t> gap;  // where "::" stands among the groups
    std::size_t at = 0;
    if (text.starts_with("::")) {
        gap = 0;
        at = 2;
    } else if (text.starts_with(":")) {
        return std::nullopt;
    }
    while (at < text.size()) {
        if (count == groups.size()) return std::nullopt;
        const std::size_t end = text.find(':', at);
        const std::string_view piece = text.substr(at, end == std::string_view::npos ? end : end - at);
        if (piece.find('.') != std::string_view::npos) {
            const auto tail = ParseIPv4(piece);
            if (!tail || end != std::string_view::npos || count > groups.size() - 2) return std::nullopt;
            groups[count++] = static_cast<std::uint16_t>((*tail)[0] << 8 | (*tail)[1]);
            groups[count++] = static_cast<std::uint16_t>((*tail)[2] << 8 | (*tail)[3]);
            break;
        }
        const auto group = ParseGroup(piece);
        if (!group) return std::nullopt;
        groups[count++] = *group;
        if (end == std::string_view::npos) break;
        at = end + 1;
        if (at < text.size() && text[at] == ':') {
            if (gap) return std::nullopt;
            gap = count;
            ++at;
        } else if (at == text.size()) {
            return std::nullopt;  // a lone ":" at the end
        }
    }
    if (!gap) return count == groups.size() ? std::optional(groups) : std::nullopt;
    if (count == groups.size()) return std::nullopt;  // "::" stands for one group at least
    Groups full{};
    std::copy_n(groups.begin(), *gap, full.begin());
    std::copy(groups.begin() + static_cast<std::ptrdiff_t>(*gap), groups.begin() + static_cast<std::ptrdiff_t>(count),
              full.end() - static_cast<std::ptrdiff_t>(count - *gap));
    return full;
}

std::optional<std::uint32_t> ParseZone(std::string_view text) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), IsDigit)) return std::nullopt;
    std::uint32_t zone = 0;
    for (char ch : text) zone = zone * 10 + static_cast<std::uint32_t>(ch - '0');
    return zone;
}

std::optional<SocketAddress> ParseIPv6Address(std::string_view text) {
    const std::size_t percent = text.find('%');
    SocketAddress address{AddressFamily::IPv6};
    if (percent != std::string_view::npos) {
        const auto zone = ParseZone(text.substr(percent + 1));
        if (!zone) return std::nullopt;
        address.scope = *zone;
        text = text.substr(0, percent);
    }
    const auto groups = ParseIPv6(text);
    if (!groups) return std::nullopt;
    for (std::size_t i = 0; i < groups->size(); ++i) {
        address.bytes[2 * i] = static_cast<std::uint8_t>((*groups)[i] >> 8);
        address.bytes[2 * i + 1] = static_cast<std::uint8_t>((*groups)[i] & 0xFF);
    }
    return address;
}

std::string DottedText(const std::uint8_t* bytes) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        text += std::to_string(bytes[i]);
    }
    return text;
}

std::string HexGroup(std::uint16_t value) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const int digit = (value >> shift) & 0xF;
        if (digit != 0 || !text.empty() || shift == 0) text += Digits[digit];
    }
    return text;
}

bool IsMappedIPv4(const SocketAddress& address) {
    const auto& b = address.bytes;
    return std::all_of(b.begin(), b.begin() + 10, [](std::uint8_t byte) { return byte == 0; }) && b[10] == 0xFF &&
           b[11] == 0xFF;
}

std::string IPv6Text(const SocketAddress& address) {
    if (IsMappedIPv4(address)) return "::ffff:" + DottedText(address.bytes.data() + 12);
    Groups groups{};
    for (std::size_t i = 0; i < groups.size(); ++i)
        groups[i] = static_cast<std::uint16_t>(address.bytes[2 * i] << 8 | address.bytes[2 * i + 1]);
    // The first of the longest runs of zero groups, if two long or more, becomes "::".
    std::size_t bestStart = groups.size();
    std::size_t bestLength = 1;
    for (std::size_t start = 0; start < groups.size();) {
        std::size_t end = start;
        while (end < groups.size() && groups[end] == 0) ++end;
        if (end - start > bestLength) {
            bestStart = start;
            bestLength = end - start;
        }
        start = end == start ? start + 1 : end;
    }
    std::string text;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') text += ':';
        text += HexGroup(groups[i]);
    }
    return text;
}

}  // namespace

SocketAddress AnyAddress(AddressFamily family, std::uint16_t port) {
    SocketAddress address;
    address.family = family;
    address.port = port;
    return address;
}

bool IsUnspecified(const SocketAddress& address) {
    const std::size_t length = address.IsIPv6() ? 16 : 4;
    return std::all_of(address.bytes.begin(), address.bytes.begin() + static_cast<std::ptrdiff_t>(length),
                       [](std::uint8_t byte) { return byte == 0; });
}

bool SameHost(const SocketAddress& a, const SocketAddress& b) {
    return a.family == b.family && a.bytes == b.bytes && a.scope == b.scope;
}

std::optional<SocketAddress> ParseAddress(const std::string& text) {
    const std::string_view view(text);
    if (view.size() >= 2 && view.front() == '[' && view.back() == ']')
        return ParseIPv6Address(view.substr(1, view.size() - 2));
    if (const auto parts = ParseIPv4(view)) {
        SocketAddress address;
        std::copy(parts->begin(), parts->end(), address.bytes.begin());
        return address;
    }
    return ParseIPv6Address(view);
}

std::string AddressText(const SocketAddress& address) {
    if (!address.IsIPv6()) return DottedText(address.bytes.data());
    std::string text = IPv6Text(address);
    if (address.scope != 0) text += "%" + std::to_string(address.scope);
    return text;
}

std::string HostInUrl(const std::string& host) {
    if (host.find(':') == std::string::npos || host.starts_with("[")) return host;
    return "[" + host + "]";
}

std::string AddressAndPortText(const SocketAddress& address) {
    return HostInUrl(AddressText(address)) + ":" + std::to_string(address.port);
}

}  // namespace platform::net
