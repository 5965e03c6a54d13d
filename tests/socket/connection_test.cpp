// Connecting, host resolution, cancelling and closing of the socket component, on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/socket/psock.h"
#include "platform/sockets.h"
#include "tests/socket/socket_test_support.h"
#include "tests/support/script_server.h"

namespace {

using testsupport::MessageOfThrown;
using sockettest::StartAndConnect;
using psock::ESockError;
using psock::TPowersock;
using testsupport::ScriptServer;

// A name no resolver is asked about: a DNS label may not be longer than 63 characters.
const std::string UnresolvableHost = std::string(70, 'x') + ".invalid";

// A socket bound to a free loopback port, nothing more.
struct BoundLoopbackSocket {
    BoundLoopbackSocket() : socket(io) {
        socket.open(asio::ip::tcp::v4());
        socket.bind({asio::ip::address_v4::loopback(), 0});
        port = socket.local_endpoint().port();
    }
    asio::io_context io;
    asio::ip::tcp::acceptor socket;
    int port;
};

// A loopback port that refuses connections: bound, never listening.
struct RefusingPort : BoundLoopbackSocket {};

// A listener whose accept queue is full: further connects are never answered.
struct FullListener : BoundLoopbackSocket {
    FullListener() {
        socket.listen(0);
        for (int i = 0; i < 3; ++i) {
            // Started at once; the handler would run only if io ran, which it never does.
            fillers.emplace_back(io).async_connect(socket.local_endpoint(), [](const asio::error_code&) {});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<asio::ip::tcp::socket> fillers;
};

// A component and a peer that accepts one connection and waits for its close.
class ConnectToPeer : public ::testing::Test {
protected:
    ConnectToPeer() {
        peer.Accept().WaitForPeerClose();
        peer.Start();
    }
    void TearDown() override {
        if (sock.Connected) sock.Disconnect();
        EXPECT_TRUE(peer.Finish().empty());
    }
    ScriptServer peer;
    TPowersock sock;
};

TEST_F(ConnectToPeer, DottedHostConnectsWithoutALookup) {
    int resolved = 0, connected = 0;
    sock.OnHostResolved = [&](platform::TObject*) { ++resolved; };
    sock.OnConnect = [&](platform::TObject*) { ++connected; };
    sock.Host = "127.0.0.1";
    sock.Port = peer.port() + 65536;  // only the low 16 bits count
    sock.Connect();
    EXPECT_TRUE(sock.Connected);
    EXPECT_EQ(resolved, 0);
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(MessageOfThrown([&] { sock.Connect(); }), "Already connected");
    EXPECT_TRUE(sock.Connected);
}

TEST_F(ConnectToPeer, HostNameGoesThroughTheQueuedLookup) {
    int resolved = 0;
    sock.OnHostResolved = [&](platform::TObject* sender) {
        EXPECT_EQ(sender, &sock);
        ++resolved;
    };
    sock.Host = "localhost";
    sock.Port = peer.port();
    sock.Connect();
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(platform::net::AddressText(sock.RemoteAddress), "127.0.0.1");
}

// An IPv6 literal, bare or in brackets as in a URL, needs no lookup.
TEST(Connect, IPv6LiteralConnectsOverIPv6) {
    asio::io_context io;
    asio::ip::tcp::acceptor listener(io, {asio::ip::address_v6::loopback(), 0});
    for (const std::string& host : {std::string("::1"), std::string("[::1]")}) {
        TPowersock sock;
        int resolved = 0;
        sock.OnHostResolved = [&](platform::TObject*) { ++resolved; };
        sock.Host = host;
        sock.Port = listener.local_endpoint().port();
        sock.Connect();
        EXPECT_TRUE(sock.Connected) << host;
        EXPECT_EQ(resolved, 0) << host;
        EXPECT_EQ(platform::net::AddressAndPortText(sock.RemoteAddress), "[::1]:" + std::to_string(sock.Port));
        EXPECT_EQ(platform::net::AddressText(sock.LocalAddress()), "::1");
        asio::ip::tcp::socket accepted(io);
        listener.accept(accepted);
    }
}

TEST(Connect, UnusableHostGivesNullRemoteAddressAndAsksTheHandlerOnce) {
    TPowersock sock;
    sock.Port = 21;
    for (const std::string& host : {UnresolvableHost, std::string("0.0.0.0"), std::string()}) {
        sock.Host = host;
        sock.OnInvalidHost = nullptr;
        EXPECT_EQ(MessageOfThrown([&] { sock.Connect(); }), "Null Remote Address") << host;
        int asked = 0;
        sock.OnInvalidHost = [&](bool& handled) {
            ++asked;
            handled = true;  // but the host stays unusable
        };
        EXPECT_EQ(MessageOfThrown([&] { sock.Connect(); }), "Null Remote Address") << host;
        EXPECT_EQ(asked, 1) << host;
    }
}

TEST_F(ConnectToPeer, InvalidHostHandlerMayNameAnotherHost) {
    sock.Host = UnresolvableHost;
    sock.Port = peer.port();
    sock.OnInvalidHost = [&](bool& handled) {
        sock.Host = "127.0.0.1";
        handled = true;
    };
    sock.Connect();
    EXPECT_TRUE(sock.Connected);
}

TEST_F(ConnectToPeer, ProxyTakesThePlaceOfHost) {
    sock.Host = UnresolvableHost;
    sock.Port = 1;
    sock.Proxy = "127.0.0.1";
    sock.ProxyPort = peer.port();
    sock.Connect();
    EXPECT_TRUE(sock.Connected);
}

TEST_F(ConnectToPeer, RefusedConnectionFiresConnectionFailedFirst) {
    RefusingPort refusing;
    std::vector<std::string> order;
    sock.OnConnectionFailed = [&](platform::TObject*) { order.push_back("OnConnectionFailed"); };
    sock.Host = "127.0.0.1";
    sock.Port = refusing.port;
    order.push_back(MessageOfThrown([&] { sock.Connect(); }));
    // The failure names the address that failed, and why.
    const std::string failure =
        "Connection Failed: 127.0.0.1:" + std::to_string(refusing.port) + " (10061:Connection refused)";
    EXPECT_EQ(order, (std::vector<std::string>{"OnConnectionFailed", failure}));
    EXPECT_FALSE(sock.Connected);
    EXPECT_FALSE(sock.Succeeded);

    // The same component connects once there is a server.
    sock.Port = peer.port();
    sock.Connect();
    EXPECT_TRUE(sock.Connected);
}

TEST(Connect, UnansweredConnectEndsByTimeOutAndLeavesCanceledSet) {
    FullListener full;
    TPowersock sock;
    int failed = 0;
    sock.OnConnectionFailed = [&](platform::TObject*) { ++failed; };
    sock.Host = "127.0.0.1";
    sock.Port = full.port;
    sock.TimeOut = 300;
    EXPECT_EQ(MessageOfThrown([&] { sock.Connect(); }), "Connection Timed out: 127.0.0.1:" + std::to_string(full.port));
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(sock.TimedOut);
    EXPECT_TRUE(sock.Canceled);
    EXPECT_FALSE(sock.Timer->Enabled());
    // The flag stops the next data operation at once.
    EXPECT_THROW(sock.Write("x"), psock::EAbortError);
    EXPECT_FALSE(sock.Canceled);
}

TEST(Connect, CancelFromAHandlerEndsAWaitWithoutTimeOut) {
    FullListener full;
    TPowersock sock;
    sock.Host = "127.0.0.1";
    sock.Port = full.port;
    psock::TThreadTimer canceller;
    canceller.SetInterval(100);
    canceller.SetOnTimer([&](platform::TObject*) { sock.Cancel(); });
    EXPECT_EQ(MessageOfThrown([&] { sock.Connect(); }), "Connection Canceled");
    EXPECT_FALSE(sock.TimedOut);
}

TEST_F(ConnectToPeer, CheckConnectionGivesTheHandlerOneChance) {
    EXPECT_EQ(MessageOfThrown([&] { sock.CheckConnection(); }), "Not Connected");
    sock.OnConnectionRequired = [](bool& handled) { handled = true; };  // but does not connect
    try {
        sock.CheckConnection();
        FAIL() << "no exception";
    } catch (const ESockError&) {
        FAIL() << "Not Connected is a general exception, not a socket error";
    } catch (const platform::Exception& error) {
        EXPECT_EQ(error.Message(), "Not Connected");
    }

    sock.Host = "127.0.0.1";
    sock.Port = peer.port();
    sock.OnConnectionRequired = [&](bool& handled) {
        sock.Connect();
        handled = true;
    };
    sock.CheckConnection();
    EXPECT_TRUE(sock.Connected);
}

// The peer closes at once, after sending what it is given.
void ConnectToAPeerThatLeaves(TPowersock& sock, ScriptServer& server, const std::string& farewell, int& disconnects) {
    server.Accept();
    if (!farewell.empty()) server.SendLine(farewell);
    server.Close();
    sock.OnDisconnect = [&disconnects](platform::TObject*) { ++disconnects; };
    StartAndConnect(server, sock);
}

TEST(Connect, PeerCloseWithNothingWaitingDisconnectsAndReopens) {
    ScriptServer server;
    TPowersock sock;
    int disconnects = 0;
    ConnectToAPeerThatLeaves(sock, server, "", disconnects);
    platform::PumpUntil([&] { return !sock.Connected; });
    EXPECT_EQ(disconnects, 1);
    EXPECT_NE(sock.SocketHandle, platform::net::InvalidSocket);
    EXPECT_TRUE(server.Finish().empty());
}

TEST(Connect, PeerCloseWithDataWaitingKeepsTheConnection) {
    ScriptServer server;
    TPowersock sock;
    int disconnects = 0;
    ConnectToAPeerThatLeaves(sock, server, "221 bye", disconnects);
    EXPECT_TRUE(server.Finish().empty());
    platform::WaitMessage(std::chrono::milliseconds(50));
    platform::ProcessMessages();
    EXPECT_TRUE(sock.Connected);
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(sock.ReadLn(), "221 bye\r\n");
    EXPECT_EQ(sock.ReadLn(), "");  // then the end of the stream
}

TEST(Connect, DestroyingAConnectedComponentClosesWithoutOnDisconnect) {
    ScriptServer server;
    server.Accept().WaitForPeerClose();
    const int usersBefore = psock::WinsockUsers();
    int disconnects = 0;
    {
        TPowersock sock;
        EXPECT_EQ(psock::WinsockUsers(), usersBefore + 1);
        sock.OnDisconnect = [&](platform::TObject*) { ++disconnects; };
        StartAndConnect(server, sock);
    }
    EXPECT_EQ(psock::WinsockUsers(), usersBefore);
    EXPECT_EQ(disconnects, 0);
    EXPECT_TRUE(server.Finish().empty());  // the server saw the close
}

TEST(Connect, OnlyTheComponentThatStartsTheSubsystemFillsWSAInfo) {
    ASSERT_EQ(psock::WinsockUsers(), 0);
    TPowersock first;
    TPowersock second;
    ASSERT_EQ(first.WSAInfo.size(), 6u);
    EXPECT_EQ(first.WSAInfo[0], "Version= 1.1");
    EXPECT_EQ(first.WSAInfo[1].rfind("High Version= ", 0), 0u);
    EXPECT_EQ(first.WSAInfo[5], "Max Udp pack size= 65467");
    EXPECT_TRUE(second.WSAInfo.empty());
}

}  // namespace
