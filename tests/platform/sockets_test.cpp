#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "tests/platform/loopback_pair.h"

namespace {

namespace net = platform::net;
using platform::Message;
using sockets_test::LoopbackPair;
using sockets_test::SocketsStarted;

TEST(WinsockErrors, ErrnoMapsToWinsockCodes) {
    EXPECT_EQ(net::ErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(net::ErrorFromErrno(EINPROGRESS), 10035);
    EXPECT_EQ(net::ErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(net::ErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(net::ErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(net::ErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(net::ErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(net::ErrorFromErrno(0), 0);
}

TEST(Sockets, AddressTextConversions) {
    EXPECT_EQ(net::InetAddr("0.0.0.0"), 0u);
    EXPECT_EQ(net::InetAddr("no.such.name"), net::InaddrNone);
    EXPECT_EQ(net::InetNtoa(net::InetAddr("10.0.0.5")), "10.0.0.5");
}

TEST(Sockets, ConnectReadAndCloseArriveAsMessages) {
    LoopbackPair pair;
    const int rc = net::Connect(pair.client, pair.address);
    EXPECT_TRUE(rc == 0 || net::LastError() == 10035) << net::LastError();
    pair.AwaitEvent(net::FD_CONNECT);
    pair.server = net::Accept(pair.listener, nullptr);
    ASSERT_NE(pair.server, net::InvalidSocket);

    ASSERT_EQ(net::Send(pair.server, "abc", 3), 3);
    pair.AwaitEvent(net::FD_READ);
    char buffer[8];
    EXPECT_EQ(net::Receive(pair.client, buffer, sizeof buffer, true), 3);  // a peek leaves the bytes
    EXPECT_EQ(net::Receive(pair.client, buffer, sizeof buffer, false), 3);

    net::CloseSocket(pair.server);
    pair.server = net::InvalidSocket;
    pair.AwaitEvent(net::FD_CLOSE);
    EXPECT_EQ(net::Receive(pair.client, buffer, sizeof buffer, false), 0);
}

TEST(Sockets, RefusedConnectIsReportedThroughTheConnectEvent) {
    LoopbackPair pair;
    net::CloseSocket(pair.listener);  // nothing listens on the port any more
    pair.listener = net::InvalidSocket;
    std::uint32_t lParam = 0;
    platform::WindowHandle window = platform::AllocateWindow([&](const Message& m) { lParam = m.lParam; });
    net::AsyncSelect(pair.client, window, 1125, 61);
    net::Connect(pair.client, pair.address);
    platform::PumpUntil([&] { return lParam != 0; });
    platform::DeallocateWindow(window);
    EXPECT_EQ(platform::LoWord(lParam), net::FD_CONNECT);
    EXPECT_EQ(platform::HiWord(lParam), 10061);
}

TEST(Sockets, HostLookupCompletesThroughTheQueue) {
    SocketsStarted started;
    std::vector<Message> done;
    auto window = platform::AllocateWindow([&](const Message& m) { done.push_back(m); });
    const auto task = net::AsyncGetHostByName(window, 1126, "localhost");
    platform::PumpUntil([&] { return !done.empty(); });
    platform::DeallocateWindow(window);
    EXPECT_EQ(done[0].wParam, task);
    EXPECT_EQ(platform::HiWord(done[0].lParam), 0);
    EXPECT_EQ(net::InetNtoa(done[0].hostAddress), "127.0.0.1");
}

}  // namespace
