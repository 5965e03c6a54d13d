#pragma once
// A listener and a client socket on loopback, for the tests of the socket calls.

#include <gtest/gtest.h>

#include <vector>

#include "platform/message_queue.h"
#include "platform/sockets.h"

namespace sockets_test {

namespace net = platform::net;
using platform::Message;

// The socket subsystem, started for the test's lifetime.
struct SocketsStarted {
    SocketsStarted() {
        net::StartupInfo info;
        EXPECT_EQ(net::Startup(0x0101, info), 0);
    }
    ~SocketsStarted() { net::Cleanup(); }
};

// A listener and a client on loopback, with every event of the client posted to a window.
struct LoopbackPair {
    SocketsStarted started;
    explicit LoopbackPair(net::AddressFamily family = net::AddressFamily::IPv4) {
        window = platform::AllocateWindow([this](const Message& m) { events.push_back(platform::LoWord(m.lParam)); });
        listener = net::CreateStreamSocket(family);
        net::Bind(listener, *net::ParseAddress(family == net::AddressFamily::IPv6 ? "::1" : "127.0.0.1"));
        net::Listen(listener, 1);
        net::GetSockName(listener, address);
        client = net::CreateStreamSocket(family);
        net::AsyncSelect(client, window, 1125, 61);
    }
    ~LoopbackPair() {
        for (net::Socket s : {client, server, listener})
            if (s != net::InvalidSocket) net::CloseSocket(s);
        platform::DeallocateWindow(window);
    }
    void AwaitEvent(std::uint16_t event) {
        platform::PumpUntil([&] {
            for (auto e : events)
                if (e == event) return true;
            return false;
        });
    }
    platform::WindowHandle window = 0;
    std::vector<std::uint16_t> events;
    net::Socket listener = net::InvalidSocket, client = net::InvalidSocket, server = net::InvalidSocket;
    net::SocketAddress address;
};

}  // namespace sockets_test
