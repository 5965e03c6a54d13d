// The listening data socket: listen on a system-chosen port, announce it, accept one connection.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net/socket/psock.h"
#include "tests/socket/socket_test_support.h"
#include "tests/support/script_server.h"

namespace {

using testsupport::MessageOfThrown;
using sockettest::StartAndConnect;
using namespace std::chrono_literals;
using psock::TPowersock;

int PortOf(const std::string& portString) {
    const auto ports = testsupport::ParseFtpHostPort("127,0,0,1" + portString);
    return ports ? ports->port : -1;
}

// Connects to 127.0.0.1:port from another thread, sends text and closes.
std::thread ConnectAndSend(int port, std::string text) {
    return std::thread([port, text] {
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<std::uint16_t>(port)});
        asio::write(socket, asio::buffer(text));
        socket.shutdown(asio::ip::tcp::socket::shutdown_send);
        char byte;
        asio::error_code ec;
        socket.read_some(asio::buffer(&byte, 1), ec);  // until the other side closes
    });
}

TEST(Listen, AcceptsOnASystemChosenPortAnnouncedInFtpForm) {
    TPowersock data;
    data.Port = 0;
    data.Listen(true);
    const std::string portString = data.GetPortString();
    ASSERT_EQ(portString[0], ',');
    const int port = PortOf(portString);
    ASSERT_GT(port, 0);
    std::thread peer = ConnectAndSend(port, "payload");

    const auto listening = data.SocketHandle;
    const auto accepted = data.Accept();
    EXPECT_NE(accepted, listening);
    EXPECT_EQ(platform::net::AddressText(data.RemoteAddress), "127.0.0.1");
    data.SocketHandle = accepted;
    platform::net::CloseSocket(listening);
    std::string text;
    data.CaptureString(text, -1);
    EXPECT_EQ(text, "payload");
    data.Disconnect();
    peer.join();
}

TEST(Listen, PortStringFormatsHighAndLowByte) {
    // Find a free port, then listen on it explicitly.
    asio::io_context io;
    asio::ip::tcp::acceptor probe(io, {asio::ip::tcp::v4(), 0});
    const int port = probe.local_endpoint().port();
    probe.close();
    TPowersock data;
    data.Port = port;
    data.Listen(true);
    EXPECT_EQ(data.GetPortString(), "," + std::to_string(port >> 8) + "," + std::to_string(port & 255));
}

TEST(Listen, LocalAddressOfAConnectionUsesCommas) {
    testsupport::ScriptServer server;
    server.Accept().WaitForPeerClose();
    TPowersock control;
    StartAndConnect(server, control);
    EXPECT_EQ(control.GetLocalAddress(), "127,0,0,1");
    control.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST(Listen, CancelDuringAcceptEndsTheWait) {
    TPowersock data;
    data.Port = 0;
    data.Listen(true);
    psock::TThreadTimer canceller;
    canceller.SetInterval(100);
    canceller.SetOnTimer([&](platform::TObject*) { data.Cancel(); });
    EXPECT_EQ(MessageOfThrown([&] { data.Accept(); }), "Accepting Canceled");
    EXPECT_TRUE(data.Canceled);
}

TEST(Listen, AcceptIsBoundedByTimeOut) {
    TPowersock data;
    data.Port = 0;
    data.TimeOut = 200;
    data.Listen(true);
    EXPECT_EQ(MessageOfThrown([&] { data.Accept(); }), "Accepting Canceled");
    EXPECT_TRUE(data.TimedOut);
}

TEST(Listen, PlainSocketEventAnnouncesButDoesNotEndTheWait) {
    TPowersock data;
    data.Port = 0;
    data.Listen(false);
    int accepts = 0;
    data.OnAccept = [&](platform::TObject*) { ++accepts; };
    std::thread peer = ConnectAndSend(PortOf(data.GetPortString()), "x");
    data.TimeOut = 500;
    EXPECT_EQ(MessageOfThrown([&] { data.Accept(); }), "Accepting Canceled");
    EXPECT_EQ(accepts, 1);
    EXPECT_TRUE(data.Connected);
    data.Disconnect();
    peer.detach();
}

TEST(Listen, PortOutOfRangeIsARangeError) {
    TPowersock data;
    data.Port = 70000;
    EXPECT_THROW(data.Listen(true), platform::ERangeError);
}

}  // namespace
