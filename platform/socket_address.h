#pragma once
// An address of either family and a port, in a form of its own (no system type), with its text
// forms: RFC 5952 for IPv6 ("2001:db8::1"), dotted quads for IPv4, and the bracketed form of a
// URL or a message when a port follows ("[2001:db8::1]:21").

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace platform::net {

enum class AddressFamily : std::uint8_t { IPv4, IPv6 };

struct SocketAddress {
    AddressFamily family = AddressFamily::IPv4;
    std::array<std::uint8_t, 16> bytes{};  // network order; IPv4 uses the first 4
    std::uint16_t port = 0;                // host order
    std::uint32_t scope = 0;               // the zone of an IPv6 link-local address, 0 for none

    bool IsIPv6() const { return family == AddressFamily::IPv6; }
    bool operator==(const SocketAddress&) const = default;
};

// The wildcard address of the family ("0.0.0.0" or "::").
SocketAddress AnyAddress(AddressFamily family, std::uint16_t port = 0);
// 0.0.0.0 or ::, which name no host to connect to.
bool IsUnspecified(const SocketAddress& address);
// The same host: family, address and zone alike, whatever the ports.
bool SameHost(const SocketAddress& a, const SocketAddress& b);

// An address literal: four decimal numbers 0-255 with dots, or IPv6 text (a dotted IPv4 tail and
// a numeric "%zone" allowed), bare or in brackets as in a URL. nullopt for anything else, which
// is a host name to look up.
std::optional<SocketAddress> ParseAddress(const std::string& text);
// "192.0.2.1", "2001:db8::1" (lower case, the longest run of two or more zero groups shortened,
// "::ffff:192.0.2.1" for a mapped IPv4 address), "fe80::1%3".
std::string AddressText(const SocketAddress& address);
// A host as it stands before ":port" in a URL or a message: an IPv6 literal in brackets, anything
// else as it is.
std::string HostInUrl(const std::string& host);
// "192.0.2.1:21", "[2001:db8::1]:21".
std::string AddressAndPortText(const SocketAddress& address);

}  // namespace platform::net
