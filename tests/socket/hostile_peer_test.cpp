// Peers that never stop sending or that reset the connection, and the receive buffer that lines
// and captures share.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "net/socket/psock.h"
#include "platform/message_queue.h"
#include "platform/sockets.h"
#include "tests/socket/socket_test_support.h"

namespace {

using namespace std::chrono_literals;
using psock::TPowersock;
using sockettest::StartAndConnect;
using testsupport::MessageOfThrown;
using testsupport::ScriptServer;

const std::string ResetText = "10054:Connection reset by peer";

// Reads lines until one read throws; the message, or NoException once the flood is over.
std::string ReadLinesUntilThrown(TPowersock& sock) {
    return MessageOfThrown([&] {
        while (!sock.ReadLn().empty()) {
        }
    });
}

// The floods outlast every time-out here: a loop that reads to their end was never stopped.
TEST(Flood, ReadLnLoopIsEndedByTheTimeOutAndByACancelFromATimer) {
    {
        ScriptServer server;
        server.Accept().Flood(testsupport::RepeatedLine("220-welcome, and more"), testsupport::EndlessFlood).Close();
        TPowersock sock;
        StartAndConnect(server, sock);
        sock.TimeOut = 300;
        sock.TimerOn();  // one countdown for the whole reply, as a client arms it
        EXPECT_EQ(ReadLinesUntilThrown(sock), "Socket readln aborted");
        EXPECT_TRUE(sock.TimedOut);
        sock.Disconnect();
        EXPECT_TRUE(server.Finish().empty());
    }
    {
        ScriptServer server;
        server.Accept().Flood(testsupport::RepeatedLine("X-Header: endless"), testsupport::EndlessFlood).Close();
        TPowersock sock;
        StartAndConnect(server, sock);
        psock::TThreadTimer stopper;
        stopper.SetInterval(300);
        stopper.SetOnTimer([&](platform::TObject*) { sock.Cancel(); });
        EXPECT_EQ(ReadLinesUntilThrown(sock), "Socket readln aborted");
        sock.Disconnect();
        EXPECT_TRUE(server.Finish().empty());
    }
}

// Whether the system tells a peer's reset from an orderly close on a socket selected for its
// events, as the component's are, seen with no component: Wine on some Linux kernels reports a
// reset there as a close without error, and recv then meets the end of the data.
bool SystemReportsResetsOnSelectedSockets() {
    namespace net = platform::net;
    net::StartupInfo info;
    net::Startup(0x0202, info);
    ScriptServer server;
    server.Accept().Send("x").Stall(50ms).Reset();
    server.Start();
    const net::Socket socket = net::CreateStreamSocket(net::AddressFamily::IPv4);
    net::SocketAddress peer = *net::ParseAddress("127.0.0.1");
    peer.port = server.port();
    bool closed = false;
    int error = 0;
    const platform::WindowHandle window = platform::AllocateWindow([&](const platform::Message& message) {
        if (platform::LoWord(message.lParam) != net::FD_CLOSE) return;
        closed = true;
        error = platform::HiWord(message.lParam);
    });
    if (net::Connect(socket, peer) == 0 &&
        net::AsyncSelect(socket, window, platform::WM_USER + 1, net::FD_READ | net::FD_CLOSE) == 0) {
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        int got = 1;
        while (!closed && std::chrono::steady_clock::now() < deadline) {
            platform::WaitMessage(50ms);
            platform::ProcessMessages();
            char buffer[16];
            while ((got = net::Receive(socket, buffer, sizeof buffer, false)) > 0) {
            }
            if (got == 0 || net::LastError() != net::WSAEWOULDBLOCK) break;  // the end, or an error
        }
        if (error == 0 && got < 0) error = net::LastError();
    }
    net::CloseSocket(socket);
    platform::DeallocateWindow(window);
    server.Finish();
    net::Cleanup();
    return error == net::WSAECONNRESET;
}

TEST(Reset, MidLineAndMidCaptureIsTheResetErrorEveryTime) {
    if (!SystemReportsResetsOnSelectedSockets())
        GTEST_SKIP() << "this system reports a peer's reset as an orderly close";
    struct Case {
        std::string sent;
        bool stallBeforeReset;
        std::function<void(TPowersock&)> read;
    };
    const std::vector<Case> cases = {
        {"220 half a li", true, [](TPowersock& s) { s.ReadLn(); }},
        {"220 half a li", false, [](TPowersock& s) { s.ReadLn(); }},
        {"220 whole\r\n230 ha", true, [](TPowersock& s) { s.ReadLn(); s.ReadLn(); }},
        {std::string(100'000, 'b'), true, [](TPowersock& s) { std::string t; s.CaptureString(t, -1); }},
        {std::string(100'000, 'b'), false, [](TPowersock& s) { std::string t; s.CaptureString(t, -1); }},
    };
    for (const Case& c : cases) {
        ScriptServer server;
        server.Accept().Send(c.sent);
        if (c.stallBeforeReset) server.Stall(50ms);
        server.Reset();
        TPowersock sock;
        int reported = 0;
        sock.OnError = [&](platform::TObject*, std::uint16_t code, const std::string&) { reported = code; };
        StartAndConnect(server, sock);
        EXPECT_EQ(MessageOfThrown([&] { c.read(sock); }), ResetText) << c.sent.substr(0, 20);
        EXPECT_EQ(reported, 10054);
        EXPECT_TRUE(server.Finish().empty());
    }
}

// Lines arrive one byte at a time, then in random pieces, past several refills of the buffer;
// what follows the last line read reaches Read and the capture whole.
TEST(ReceiveBuffer, LinesInAnyPiecesComeOnceAndTheRestReachesReadAndCapture) {
    std::vector<std::string> lines;
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        lines.push_back(std::to_string(i) + ":" + std::string(static_cast<std::size_t>(i * 53 % 200), 'a' + i % 26) + "\r\n");
        text += lines.back();
    }
    const std::string tail = "rest without a line end";
    ScriptServer server;
    server.Accept();
    std::mt19937 generator(11);
    std::size_t at = 0;
    for (; at < 400; ++at) server.Send(text.substr(at, 1));
    while (at < text.size()) {
        const std::size_t size = 1 + generator() % 9000;
        server.Send(text.substr(at, size));
        at += size;
    }
    server.Send(tail).Close();
    TPowersock sock;
    StartAndConnect(server, sock);
    for (const std::string& line : lines) ASSERT_EQ(sock.ReadLn(), line);
    platform::PumpUntil([&] { return sock.DataAvailable(); });
    EXPECT_EQ(sock.Read(4), "rest");
    std::string captured;
    sock.CaptureString(captured, -1);
    EXPECT_EQ(captured, tail.substr(4));
    EXPECT_TRUE(server.Finish().empty());
}

}  // namespace
