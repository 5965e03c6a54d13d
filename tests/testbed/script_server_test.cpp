// The scripted server against a plain blocking socket client.

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/asio.h"
#include "tests/support/script_server.h"

namespace testsupport {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using asio::ip::tcp;

// A blocking client; the server's step time-outs and closes keep it from hanging.
class Client {
public:
    explicit Client(std::uint16_t port) : socket_(context_) {
        socket_.connect({asio::ip::make_address_v4("127.0.0.1"), port});
    }
    void Send(std::string_view bytes) { asio::write(socket_, asio::buffer(bytes.data(), bytes.size())); }
    // One line with its CR LF.
    std::string ReadLine() {
        const std::size_t length = asio::read_until(socket_, buffer_, '\n');
        std::string line(asio::buffers_begin(buffer_.data()),
                         asio::buffers_begin(buffer_.data()) + static_cast<std::ptrdiff_t>(length));
        buffer_.consume(length);
        return line;
    }
    struct End {
        std::string rest;
        asio::error_code cause;
    };
    // Everything up to the end, and the error that ended it.
    End ReadToEnd() {
        End end;
        asio::read(socket_, buffer_, end.cause);
        end.rest.assign(asio::buffers_begin(buffer_.data()), asio::buffers_end(buffer_.data()));
        buffer_.consume(buffer_.size());
        return end;
    }
    void Close() { socket_.close(); }
    asio::io_context& context() { return context_; }

private:
    asio::io_context context_;
    tcp::socket socket_;
    asio::streambuf buffer_;
};

TEST(ScriptServer, PlaysADialogueAndRecordsWhatTheClientSent) {
    ScriptServer server;
    server.Accept()
        .SendLine("220 ready")
        .ExpectLine("USER zdq")
        .Send("331 password\r\n")
        .ExpectLine()
        .SendLine("230 in")
        .ReadAll();
    server.Start();

    Client client(server.port());
    EXPECT_EQ(client.ReadLine(), "220 ready\r\n");
    client.Send("USER zdq\r\n");
    EXPECT_EQ(client.ReadLine(), "331 password\r\n");
    client.Send("PASS x\n");
    EXPECT_EQ(client.ReadLine(), "230 in\r\n");
    client.Send("QUIT\r\n");
    client.Close();

    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nPASS x\nQUIT\r\n");
    EXPECT_THAT(server.lines(), ElementsAre("USER zdq", "PASS x"));
}

TEST(ScriptServer, AnUnexpectedLineEndsTheScriptAndClosesTheConnection) {
    ScriptServer server;
    server.Accept().ExpectLine("USER zdq").SendLine("331 never sent");
    server.Start();

    Client client(server.port());
    client.Send("USER other\r\n");
    const auto end = client.ReadToEnd();
    EXPECT_EQ(end.rest, "");
    EXPECT_EQ(end.cause, asio::error::eof);

    EXPECT_THAT(server.Finish(),
                ElementsAre(AllOf(HasSubstr("step 2 ExpectLine(\"USER zdq\")"), HasSubstr("got \"USER other\""))));
}

TEST(ScriptServer, AStepThatWaitsInVainTimesOutAndIsReported) {
    ScriptServer server(Milliseconds{200});
    server.Accept().ExpectLine();
    server.Start();

    Client client(server.port());
    client.Send("no line end");
    client.ReadToEnd();

    EXPECT_THAT(server.Finish(), ElementsAre(HasSubstr("nothing happened within 200 ms")));
    EXPECT_EQ(server.received(), "no line end");
}

TEST(ScriptServer, AnEarlyCloseByThePeerIsReported) {
    ScriptServer server;
    server.Accept().ExpectLine();
    server.Start();

    Client client(server.port());
    client.Send("partial");
    client.Close();

    EXPECT_THAT(server.Finish(), ElementsAre(HasSubstr("closed the connection before a line ended; got \"partial\"")));
}

TEST(ScriptServer, ResetReachesTheClientAsAReset) {
    ScriptServer server;
    server.Accept().SendLine("220 hello").Stall(Milliseconds{50}).Reset();
    server.Start();

    Client client(server.port());
    EXPECT_EQ(client.ReadLine(), "220 hello\r\n");

    EXPECT_EQ(client.ReadToEnd().cause, asio::error::connection_reset);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(ScriptServer, CloseIsGracefulEvenWithUnreadBytes) {
    ScriptServer server;
    server.Accept().SendLine("421 go away").Stall(Milliseconds{100}).Close();
    server.Start();

    Client client(server.port());
    client.Send("USER zdq\r\n");  // never read by a step: Close must not turn into a reset
    const auto end = client.ReadToEnd();
    EXPECT_EQ(end.rest, "421 go away\r\n");

    EXPECT_EQ(end.cause, asio::error::eof);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\n");
}

TEST(ScriptServer, FinishStopsAScriptThatIsStillWaiting) {
    ScriptServer server;
    server.Accept();
    server.Start();

    const auto errors = server.Finish(Milliseconds{100});

    EXPECT_THAT(errors, ElementsAre(HasSubstr("stopped before the script ended"),
                                    HasSubstr("did not end within 100 ms")));
}

TEST(ScriptServer, PassiveDataConnectionThroughRun) {
    std::string uploaded;
    ScriptServer server;
    server.Accept().ExpectLine("PASV").Run([&](Connection& control) {
        auto listener = control.Listen();
        control.Send("227 Entering Passive Mode (" + FtpHostPort(listener->port()) + ").\r\n");
        auto data = listener->Accept();
        uploaded = data->ReadAll();
        control.Send("226 done\r\n");
    });
    server.Start();

    Client client(server.port());
    client.Send("PASV\r\n");
    const std::string reply = client.ReadLine();
    const auto open = reply.find('(');
    const auto address = ParseFtpHostPort(reply.substr(open + 1, reply.find(')') - open - 1));
    ASSERT_TRUE(address.has_value()) << reply;
    {
        tcp::socket data(client.context());
        data.connect({asio::ip::make_address_v4(address->host), address->port});
        asio::write(data, asio::buffer(std::string("file\r\nbytes\x00\xFF", 13)));
    }
    EXPECT_EQ(client.ReadLine(), "226 done\r\n");

    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(uploaded, std::string("file\r\nbytes\x00\xFF", 13));
}

TEST(ScriptServer, ActiveDataConnectionThroughRun) {
    ScriptServer server;
    server.Accept().Run([](Connection& control) {
        const std::string command = control.ReadLine();
        const auto address = ParseFtpHostPort(command.substr(5));
        if (!address) throw ScriptError("bad PORT: " + command);
        control.Send("200 ok\r\n");
        auto data = control.ConnectTo(address->host, address->port);
        data->Send("listing\r\n");
        data->Close();
    });
    server.Start();

    Client client(server.port());
    tcp::acceptor listener(client.context(), {asio::ip::make_address_v4("127.0.0.1"), 0});
    client.Send("PORT " + FtpHostPort(listener.local_endpoint().port()) + "\r\n");
    EXPECT_EQ(client.ReadLine(), "200 ok\r\n");
    tcp::socket data = listener.accept();
    asio::error_code ending;
    std::string received;
    asio::read(data, asio::dynamic_buffer(received), ending);

    EXPECT_EQ(received, "listing\r\n");
    EXPECT_EQ(ending, asio::error::eof);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(FtpHostPort, FormsAndParsesTheSixNumbers) {
    EXPECT_EQ(FtpHostPort(0x1234), "127,0,0,1,18,52");

    const auto parsed = ParseFtpHostPort("10,1,2,3,255,1");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->host, "10.1.2.3");
    EXPECT_EQ(parsed->port, 65281);

    EXPECT_FALSE(ParseFtpHostPort("127,0,0,1,4"));
    EXPECT_FALSE(ParseFtpHostPort("127,0,0,1,4,256"));
    EXPECT_FALSE(ParseFtpHostPort("127,0,0,1,4,1,"));
    EXPECT_FALSE(ParseFtpHostPort("127,0,,1,4,1"));
    EXPECT_FALSE(ParseFtpHostPort("127,0,0,1,4,x"));
}

}  // namespace
}  // namespace testsupport
