// Status reports, error texts and the time-out timer of the socket component.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/socket/psock.h"
#include "platform/sockets.h"
#include "tests/socket/socket_test_support.h"
#include "tests/support/script_server.h"

namespace {

using testsupport::MessageOfThrown;
using sockettest::StartAndConnect;
using psock::TPowersock;
using testsupport::ScriptServer;

TEST(ErrorText, TableEntriesUnknownCodesAndZero) {
    TPowersock sock;
    std::string text;
    sock.LookupErrorMessage(10061, text);
    EXPECT_EQ(text, "10061:Connection refused");
    sock.LookupErrorMessage(11003, text);
    EXPECT_EQ(text, "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP");
    sock.LookupErrorMessage(10101, text);
    EXPECT_EQ(text, "Unknown Error No. 10101");
    sock.LookupErrorMessage(0, text);
    EXPECT_EQ(text, "");
}

TEST(CheckSocketError, RaisesOnlyForRealWinsockErrorsAfterOnError) {
    TPowersock sock;
    std::vector<std::pair<int, std::string>> errors;
    sock.OnError = [&](platform::TObject*, std::uint16_t code, const std::string& text) {
        errors.emplace_back(code, text);
    };
    std::string message = "unchanged";
    for (int quiet : {10035, 10000, 0, 5}) {
        platform::net::SetLastError(quiet);
        EXPECT_NO_THROW(sock.CheckSocketError(10035, message)) << quiet;
        EXPECT_EQ(message, "");
        EXPECT_EQ(sock.LastErrorNo, quiet);
    }
    EXPECT_TRUE(errors.empty());
    platform::net::SetLastError(10061);
    try {
        sock.CheckSocketError(10035, message);
        FAIL() << "no exception";
    } catch (const psock::ESockError& error) {
        EXPECT_EQ(error.Message(), "10061:Connection refused");
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], std::make_pair(10061, std::string("10061:Connection refused")));
}

TEST(ReportStatus, LevelFiltersExactlyAndKeepsLastStatus) {
    TPowersock sock;
    std::vector<std::string> seen;
    sock.OnStatus = [&](platform::TObject*, const std::string& status) { seen.push_back(status); };
    sock.ReportLevel = 0;
    sock.ReportStatus(1, "line");
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(sock.LastStatus, "");
    sock.ReportLevel = 4;
    sock.ReportStatus(4, "Sending Buffer");
    sock.ReportStatus(8, "Write");
    EXPECT_EQ(seen, std::vector<std::string>{"Sending Buffer"});
    EXPECT_EQ(sock.LastStatus, "Sending Buffer");
    sock.OnStatus = [](platform::TObject*, const std::string&) { throw std::runtime_error("ignored"); };
    EXPECT_NO_THROW(sock.ReportStatus(1, "swallowed"));
    EXPECT_EQ(sock.LastStatus, "swallowed");
}

TEST(ReportStatus, TransactionReportsTraceThenTheReplyLine) {
    ScriptServer server;
    server.Accept().ExpectLine("NOOP").SendLine("200 ok").WaitForPeerClose();
    std::vector<std::string> level1, level8;
    TPowersock sock;
    StartAndConnect(server, sock);
    sock.ReportLevel = 1;
    sock.OnStatus = [&](platform::TObject*, const std::string& s) { level1.push_back(s); };
    sock.Transaction("NOOP");
    EXPECT_EQ(level1, std::vector<std::string>{"200 ok\r\n"});

    sock.ReportLevel = 8;
    sock.OnStatus = [&](platform::TObject*, const std::string& s) { level8.push_back(s); };
    sock.Disconnect();
    EXPECT_EQ(level8, (std::vector<std::string>{"Disconnecting", "Request Close Socket"}));
    EXPECT_TRUE(server.Finish().empty());
}

TEST(ReportStatus, TimedOperationsReportTimerOnAndOff) {
    ScriptServer server;
    server.Accept().SendLine("hello").WaitForPeerClose();
    std::vector<std::string> seen;  // outlives the component, whose destruction reports too
    TPowersock sock;
    StartAndConnect(server, sock);
    sock.ReportLevel = 8;
    sock.OnStatus = [&](platform::TObject*, const std::string& s) { seen.push_back(s); };
    sock.ReadLn();
    EXPECT_EQ(seen, (std::vector<std::string>{"ReadLn", "Timer On", "Timer Off"}));
    sock.Disconnect();
    EXPECT_TRUE(server.Finish().empty());
}

TEST(ThreadTimer, TicksOnlyWithIntervalHandlerAndEnabled) {
    psock::TThreadTimer timer;
    int ticks = 0;
    timer.SetInterval(0);
    timer.SetOnTimer([&](platform::TObject*) { ++ticks; });
    platform::WaitMessage(std::chrono::milliseconds(40));
    platform::ProcessMessages();
    EXPECT_EQ(ticks, 0) << "interval 0 never ticks";

    timer.SetInterval(10);
    platform::PumpUntil([&] { return ticks >= 2; });
    timer.SetEnabled(false);
    const int stopped = ticks;
    platform::WaitMessage(std::chrono::milliseconds(40));
    platform::ProcessMessages();
    EXPECT_EQ(ticks, stopped);
}

TEST(ThreadTimer, RewritingTheSameValueKeepsTheCountdownButANewHandlerRestartsIt) {
    psock::TThreadTimer timer;
    int ticks = 0;
    timer.SetInterval(150);
    timer.SetOnTimer([&](platform::TObject*) { ++ticks; });
    // Writing the same values every 50 ms does not hold the 150 ms tick back.
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(400)) {
        timer.SetInterval(150);
        timer.SetEnabled(true);
        platform::WaitMessage(std::chrono::milliseconds(50));
        platform::ProcessMessages();
    }
    EXPECT_GE(ticks, 1);

    // Rewriting the handler every 50 ms keeps the 150 ms tick from ever coming.
    ticks = 0;
    const auto restart = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - restart < std::chrono::milliseconds(400)) {
        timer.SetOnTimer([&](platform::TObject*) { ++ticks; });
        platform::WaitMessage(std::chrono::milliseconds(50));
        platform::ProcessMessages();
    }
    EXPECT_EQ(ticks, 0);
}

TEST(TimeOut, NegativeTimeOutIsARangeErrorWhenArmed) {
    TPowersock sock;
    sock.TimeOut = -1;
    EXPECT_THROW(sock.TimerOn(), platform::ERangeError);
}

}  // namespace
