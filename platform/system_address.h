#pragma once
// The system's socket address for this program's address, and back: shared by the POSIX and the
// Winsock implementations of the sockets, which lay sockaddr_in and sockaddr_in6 out alike. For
// those implementations only; nothing above this layer sees a system type.

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstring>

#include "platform/socket_address.h"

namespace platform::net {

#ifdef _WIN32
using SystemAddressLength = int;
#else
using SystemAddressLength = socklen_t;
#endif

// The system's form of an address, and its length.
struct SystemAddress {
    sockaddr_storage storage{};
    SystemAddressLength length = sizeof storage;
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* Get() { return reinterpret_cast<sockaddr*>(&storage); }
};

inline SystemAddress ToSystem(const SocketAddress& address) {
    SystemAddress result;
    if (address.IsIPv6()) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(result.storage);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(address.port);
        std::memcpy(&in6.sin6_addr, address.bytes.data(), 16);
        in6.sin6_scope_id = address.scope;
        result.length = sizeof in6;
    } else {
        auto& in4 = reinterpret_cast<sockaddr_in&>(result.storage);
        in4.sin_family = AF_INET;
        in4.sin_port = htons(address.port);
        std::memcpy(&in4.sin_addr, address.bytes.data(), 4);
        result.length = sizeof in4;
    }
    return result;
}

inline SocketAddress FromSystem(const sockaddr* system) {
    SocketAddress address;
    if (system->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(system);
        address.family = AddressFamily::IPv6;
        std::memcpy(address.bytes.data(), &in6->sin6_addr, 16);
        address.port = ntohs(in6->sin6_port);
        address.scope = in6->sin6_scope_id;
    } else if (system->sa_family == AF_INET) {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(system);
        std::memcpy(address.bytes.data(), &in4->sin_addr, 4);
        address.port = ntohs(in4->sin_port);
    }
    return address;
}

}  // namespace platform::net
