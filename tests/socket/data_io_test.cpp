// Sending, line reading, transactions, file transfer and captures of the socket component.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "net/socket/psock.h"
#include "platform/runtime.h"
#include "tests/socket/socket_test_support.h"
#include "tests/support/script_server.h"

namespace {

using testsupport::MessageOfThrown;
using sockettest::StartAndConnect;
using namespace std::chrono_literals;
using psock::EAbortError;
using psock::TPowersock;
using testsupport::Connection;
using testsupport::ScriptServer;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

class DataIo : public ::testing::Test {
protected:
    void ConnectTo(ScriptServer& server) {
        server.Start();
        sock.Host = "127.0.0.1";
        sock.Port = server.port();
        sock.Connect();
    }
    std::filesystem::path TempFile(const std::string& name) {
        const auto dir = std::filesystem::temp_directory_path() / ("milte-socket-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir / name;
    }
    void TearDown() override {
        std::filesystem::remove_all(std::filesystem::temp_directory_path() / ("milte-socket-" + std::to_string(::getpid())));
    }
    TPowersock sock;
};

TEST_F(DataIo, ReadLnAssemblesALineFromPiecesAndLeavesTheRest) {
    ScriptServer server;
    server.Accept()
        .Send("220 sta").Stall(30ms).Send("rt").Stall(30ms).Send("\r\n331 next\r\n230")
        .Stall(30ms).Send(" last\r\n").WaitForPeerClose();
    ConnectTo(server);
    EXPECT_EQ(sock.ReadLn(), "220 start\r\n");
    EXPECT_EQ(sock.ReadLn(), "331 next\r\n");
    EXPECT_EQ(sock.ReadLn(), "230 last\r\n");
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, ReadLnOfLinesInRandomChunksReturnsEachLineWhole) {
    std::string text;
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i) {
        lines.push_back(std::to_string(100 + i) + "-" + std::string(static_cast<std::size_t>(i * 37 % 300), 'a' + i % 26) + "\r\n");
        text += lines.back();
    }
    ScriptServer server;
    server.Accept();
    std::mt19937 generator(7);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = 1 + generator() % 97;
        server.Send(text.substr(at, size));
        if (generator() % 4 == 0) server.Stall(2ms);
        at += size;
    }
    server.WaitForPeerClose();
    ConnectTo(server);
    for (const std::string& line : lines) ASSERT_EQ(sock.ReadLn(), line);
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, ReadLnGivesEmptyWhenThePeerClosesBeforeTheLineEnd) {
    ScriptServer server;
    server.Accept().Send("220 half a li").Close();
    ConnectTo(server);
    EXPECT_EQ(sock.ReadLn(), "");
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, ReadLnTimesOutWithAbortAndTimedOut) {
    ScriptServer server;
    server.Accept().WaitForPeerClose();
    ConnectTo(server);
    sock.TimeOut = 300;
    try {
        sock.ReadLn();
        FAIL() << "no exception";
    } catch (const EAbortError& error) {
        EXPECT_EQ(error.Message(), "Socket readln aborted");
    }
    EXPECT_TRUE(sock.TimedOut);
    EXPECT_FALSE(sock.Canceled);
    EXPECT_FALSE(sock.Timer->Enabled());
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, ALineLongerThanTheBufferIsAnErrorNotACutLine) {
    ScriptServer server;
    server.Accept().Send(std::string(70000, 'x') + "\r\n").WaitForPeerClose();
    ConnectTo(server);
    EXPECT_EQ(MessageOfThrown([&] { sock.ReadLn(); }), "Socket readln line too long");
    sock.Disconnect();
    server.Finish();
}

TEST_F(DataIo, TransactionSendsTheLineAndReadsTheReplyNumber) {
    ScriptServer server;
    server.Accept()
        .ExpectLine("CWD x").SendLine("550-No such directory")
        .ExpectLine("HELP").SendLine("Hello, no number")
        .ExpectLine("BIG").SendLine("40000 too big")
        .WaitForPeerClose();
    ConnectTo(server);
    EXPECT_EQ(sock.Transaction("CWD x"), "550-No such directory\r\n");
    EXPECT_EQ(sock.ReplyNumber, 550);
    sock.Transaction("HELP");
    EXPECT_EQ(sock.ReplyNumber, 0);
    EXPECT_THROW(sock.Transaction("BIG"), platform::ERangeError);
    EXPECT_EQ(sock.LastReply, "40000 too big\r\n");
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, WriteStopsAtNulAndRefusesTextsThatDoNotFit) {
    ScriptServer server;
    server.Accept().ExpectLine("ab").WaitForPeerClose();
    ConnectTo(server);
    sock.Write(std::string("ab\r\n\0cd", 7));
    EXPECT_THROW(sock.Writeln(std::string(65534, 'x')), platform::ERangeError);
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
    EXPECT_EQ(server.received(), "ab\r\n");
}

TEST_F(DataIo, ReadTakesCountsAndEndsWhenThePeerCloses) {
    ScriptServer server;
    server.Accept().Send("12345").Stall(100ms).Send("67").Close();
    ConnectTo(server);
    EXPECT_EQ(sock.Read(3), "123");
    EXPECT_EQ(sock.Read(4), "4567");  // waits for the rest
    server.Finish();
    EXPECT_EQ(sock.Read(0), "");
}

TEST_F(DataIo, ReadOfMoreThanArrivesReturnsWhatCameBeforeTheClose) {
    ScriptServer server;
    server.Accept().Send("ab").Stall(50ms).Close();
    ConnectTo(server);
    EXPECT_EQ(sock.Read(10), "ab");
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, SendFileSendsEveryByteInPieces) {
    const std::string content = RandomBytes(150'000, 1);
    const auto path = TempFile("upload.bin");
    std::ofstream(path, std::ios::binary) << content;
    ScriptServer server;
    server.Accept().ReadAll();
    ConnectTo(server);
    int packets = 0;
    sock.OnPacketSent = [&](platform::TObject*) { ++packets; };
    sock.SendFile(path.string());
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
    EXPECT_EQ(sock.BytesSent, 150'000);
    EXPECT_GE(packets, 3);
    EXPECT_TRUE(server.received() == content) << "received " << server.received().size() << " bytes";
}

TEST_F(DataIo, SendFileOfMoreThanFourGiBCountsEveryByte) {
    constexpr std::int64_t size = (4LL << 30) + 12345;
    const auto path = TempFile("sparse.bin");
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));  // sparse: no disk used
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    std::int64_t received = 0;
    std::thread counter([&] {
        asio::ip::tcp::socket peer(io);
        acceptor.accept(peer);
        std::vector<char> buffer(1 << 20);
        asio::error_code ec;
        while (!ec) received += static_cast<std::int64_t>(peer.read_some(asio::buffer(buffer), ec));
    });
    sock.Host = "127.0.0.1";
    sock.Port = acceptor.local_endpoint().port();
    sock.Connect();
    sock.SendFile(path.string());
    sock.Disconnect();
    counter.join();
    EXPECT_EQ(sock.BytesSent, size);
    EXPECT_EQ(received, size);
}

TEST_F(DataIo, SendFileOfAMissingFileRaisesTheStreamError) {
    EXPECT_THROW(sock.SendFile(TempFile("missing").string()), platform::EFOpenError);
}

TEST_F(DataIo, SendToAPeerThatStopsReadingEndsByTimeOut) {
    // A listener that never accepts: the connection opens, but nobody ever reads from it.
    asio::io_context io;
    asio::ip::tcp::acceptor silent(io, {asio::ip::make_address("127.0.0.1"), 0});
    sock.Host = "127.0.0.1";
    sock.Port = silent.local_endpoint().port();
    sock.Connect();
    sock.TimeOut = 300;
    const std::string block(60'000, 'z');
    std::string error = testsupport::NoException;
    for (int i = 0; i < 10'000 && error == testsupport::NoException; ++i) error = MessageOfThrown([&] { sock.Write(block); });
    EXPECT_EQ(error, "Socket send aborted");
    EXPECT_TRUE(sock.TimedOut);
    sock.Disconnect();
}

TEST_F(DataIo, CaptureStringTakesEverythingUntilTheClose) {
    const std::string body = RandomBytes(200'000, 2);
    ScriptServer server;
    server.Accept().Send(body.substr(0, 1)).Stall(20ms).Send(body.substr(1)).Close();
    ConnectTo(server);
    std::string text;
    int packets = 0;
    sock.OnPacketRecvd = [&](platform::TObject*) { ++packets; };
    sock.CaptureString(text, -1);
    EXPECT_TRUE(text == body);
    EXPECT_EQ(sock.BytesRecvd, 200'000);
    EXPECT_GE(packets, 2);
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, CaptureStringWithASizeStopsAfterThePieceThatReachesIt) {
    ScriptServer server;
    server.Accept().Send(std::string(60, 'a')).Stall(50ms).Send(std::string(60, 'b')).WaitForPeerClose();
    ConnectTo(server);
    std::string text;
    sock.CaptureString(text, 100);
    EXPECT_EQ(text, std::string(60, 'a') + std::string(60, 'b'));
    sock.CaptureString(text, 0);
    EXPECT_EQ(text, "");
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, CaptureFileReplacesAnExistingFile) {
    const auto path = TempFile("captured.bin");
    std::ofstream(path, std::ios::binary) << std::string(500'000, 'o');
    const std::string body = RandomBytes(100'000, 3);
    ScriptServer server;
    server.Accept().Send(body).Close();
    ConnectTo(server);
    sock.CaptureFile(path.string());
    EXPECT_EQ(sock.BytesRecvd, 100'000);
    std::ifstream in(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(stored == body);
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, CaptureTimesOutWithItsOwnMessageAndKeepsWhatCame) {
    ScriptServer server;
    server.Accept().Send("partial").WaitForPeerClose();
    ConnectTo(server);
    sock.TimeOut = 300;
    std::string text;
    EXPECT_EQ(MessageOfThrown([&] { sock.CaptureString(text, -1); }), "Socket capture aborted");
    EXPECT_EQ(text, "partial");
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST_F(DataIo, ALeftOverCancelStopsEachOperationWithItsMessage) {
    ScriptServer server;
    server.Accept().WaitForPeerClose();
    ConnectTo(server);
    const std::vector<std::pair<std::string, std::function<void()>>> operations = {
        {"Socket send aborted", [&] { sock.Writeln("x"); }},
        {"Socket readln aborted", [&] { sock.ReadLn(); }},
        {"Socket send aborted", [&] { sock.Read(0); }},
        {"Socket capture aborted", [&] { std::string t; sock.CaptureString(t, -1); }},
    };
    for (const auto& [message, operation] : operations) {
        sock.Cancel();
        EXPECT_EQ(MessageOfThrown(operation), message);
        EXPECT_FALSE(sock.Canceled);
    }
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
    EXPECT_EQ(server.received(), "");
}

TEST_F(DataIo, ClearInputDiscardsWhatIsWaiting) {
    ScriptServer server;
    // The real line follows only once the client has cleared, however slowly it gets there.
    server.Accept().Send("junk").ExpectLine("cleared").SendLine("220 real").WaitForPeerClose();
    ConnectTo(server);
    platform::PumpUntil([&] { return sock.DataAvailable(); });
    sock.ClearInput();
    sock.Writeln("cleared");
    EXPECT_EQ(sock.ReadLn(), "220 real\r\n");
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST(NthWord, FieldsBetweenSingleDelimiters) {
    EXPECT_EQ(psock::NthWord("a b  c", ' ', 3), "");
    EXPECT_EQ(psock::NthWord("a b  c", ' ', 4), "c");
    EXPECT_EQ(psock::NthWord("whole", ' ', 1), "whole");
    EXPECT_EQ(psock::NthWord("whole", ' ', 2), "");
    EXPECT_EQ(psock::NthWord("", ' ', 1), "");
    EXPECT_EQ(psock::NthWord("a b", ' ', 0), "");
    // A CP932 character whose second byte is the delimiter stays whole.
    EXPECT_EQ(psock::NthWord("\x83\x40" "b@c", '@', 1), "\x83\x40" "b");
    EXPECT_EQ(psock::NthWord("\x83\x40" "b@c", '@', 2), "c");
}

TEST(NthPos, PositionOfTheNthOccurrence) {
    EXPECT_EQ(psock::NthPos("ab/c//", '/', 3), 6);
    EXPECT_EQ(psock::NthPos("a/b", '/', 3), 4);
    EXPECT_EQ(psock::NthPos("", '/', 1), 1);
    EXPECT_EQ(psock::NthPos("\x83\x40@", '@', 1), 3);
}

}  // namespace
