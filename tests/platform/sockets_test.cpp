#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
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

// Text back from a literal, or "" when it is none.
std::string Canonical(const std::string& literal) {
    const auto address = net::ParseAddress(literal);
    return address ? net::AddressText(*address) : "";
}

TEST(SocketAddresses, LiteralsReadAndWrittenInTheirCanonicalForm) {
    EXPECT_EQ(Canonical("10.0.0.5"), "10.0.0.5");
    EXPECT_EQ(Canonical("0.0.0.0"), "0.0.0.0");
    EXPECT_EQ(Canonical("::1"), "::1");
    EXPECT_EQ(Canonical("[::1]"), "::1");
    EXPECT_EQ(Canonical("::"), "::");
    // RFC 5952: lower case, no leading zeros, the longest run of zeros (the first of equals)
    // shortened, a single zero group never.
    EXPECT_EQ(Canonical("2001:0DB8:0000:0000:0000:0000:0002:0001"), "2001:db8::2:1");
    EXPECT_EQ(Canonical("2001:db8:0:0:1:0:0:1"), "2001:db8::1:0:0:1");
    EXPECT_EQ(Canonical("2001:db8:0:1:0:0:0:1"), "2001:db8:0:1::1");
    EXPECT_EQ(Canonical("2001:db8:0:1:1:1:1:1"), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(Canonical("1::"), "1::");
    EXPECT_EQ(Canonical("::ffff:192.0.2.1"), "::ffff:192.0.2.1");
    EXPECT_EQ(Canonical("64:ff9b::c000:201"), "64:ff9b::c000:201");
    EXPECT_EQ(Canonical("fe80::1%3"), "fe80::1%3");
    for (const char* none : {"no.such.name", "", "1.2.3", "1.2.3.4.5", "256.0.0.1", "01.2.3.4", "1:2:3:4:5:6:7:8:9",
                             ":1", "1:", "1:::2", "1::2::3", "::1:2:3:4:5:6:7:8", "12345::", "[1.2.3.4]", "[::1",
                             "::1%", "::1%x", "g::1"})
        EXPECT_EQ(Canonical(none), "") << none;
    EXPECT_EQ(net::AddressAndPortText(*net::ParseAddress("::1")), "[::1]:0");
    EXPECT_EQ(net::HostInUrl("::1"), "[::1]");
    EXPECT_EQ(net::HostInUrl("[::1]"), "[::1]");
    EXPECT_EQ(net::HostInUrl("milte.example.jp"), "milte.example.jp");
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

TEST(Sockets, EventsQueuedForAClosedSocketAreDroppedAndNeverReachANewSocket) {
    LoopbackPair pair;
    net::Connect(pair.client, pair.address);
    pair.AwaitEvent(net::FD_CONNECT);
    pair.server = net::Accept(pair.listener, nullptr);
    pair.events.clear();
    ASSERT_EQ(net::Send(pair.server, "abc", 3), 3);
    platform::WaitMessage(std::chrono::seconds(5));  // the read event is queued, not dispatched
    net::CloseSocket(pair.client);
    pair.client = net::CreateStreamSocket();  // systems hand out the freed handle again
    net::AsyncSelect(pair.client, pair.window, 1125, 61);
    platform::ProcessMessages();
    EXPECT_TRUE(pair.events.empty());
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
    const auto task = net::AsyncLookUpHost(window, 1126, "localhost");
    const auto failed = net::AsyncLookUpHost(window, 1126, "");
    platform::PumpUntil([&] { return done.size() == 2; });
    platform::DeallocateWindow(window);
    const Message& found = done[0].wParam == task ? done[0] : done[1];
    const Message& notFound = done[0].wParam == failed ? done[0] : done[1];
    EXPECT_EQ(platform::HiWord(found.lParam), 0);
    ASSERT_TRUE(found.hostAddresses);
    std::vector<std::string> texts;
    for (const net::SocketAddress& address : *found.hostAddresses) texts.push_back(net::AddressText(address));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "127.0.0.1"), texts.end());
    for (const std::string& text : texts) EXPECT_TRUE(text == "127.0.0.1" || text == "::1") << text;
    EXPECT_EQ(platform::HiWord(notFound.lParam), 11001);
    EXPECT_FALSE(notFound.hostAddresses);
}

TEST(Sockets, IPv6LoopbackConnectsAndNamesBothEnds) {
    LoopbackPair pair(net::AddressFamily::IPv6);
    net::Connect(pair.client, pair.address);
    pair.AwaitEvent(net::FD_CONNECT);
    net::SocketAddress peer;
    pair.server = net::Accept(pair.listener, &peer);
    ASSERT_NE(pair.server, net::InvalidSocket);
    net::SocketAddress client;
    ASSERT_EQ(net::GetSockName(pair.client, client), 0);
    EXPECT_EQ(net::AddressText(peer), "::1");
    EXPECT_EQ(peer, client);
    net::SocketAddress server;
    ASSERT_EQ(net::GetPeerName(pair.client, server), 0);
    EXPECT_EQ(net::AddressAndPortText(server), "[::1]:" + std::to_string(pair.address.port));
}

}  // namespace
