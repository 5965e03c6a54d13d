// The control session against a scripted server: greeting, log-in forms, reply reading, commands
// and their events, the quit, and the guards on unsafe lines, closed connections and stalls.

#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/ftp/ftp_test_util.h"

namespace {

using ftptest::EventLog;
using ftptest::Exchange;
using ftptest::MessageOfThrown;
using ftptest::PointAt;
using ftptest::ScriptExchanges;
using ftptest::ScriptLogIn;
using ftptest::ScriptPasswordLogIn;
using ftptest::ScriptQuit;
using nmftp::FTPException;
using nmftp::TNMFTP;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testsupport::ScriptServer;

// The control connection goes to the proxy; the FTP host is only named to it.
void UseProxy(TNMFTP& ftp, const ScriptServer& proxy) {
    ftp.Proxy = proxy.host();
    ftp.ProxyPort = proxy.port();
    ftp.Host = "ftp.example.invalid";
}

// A client pointed at the scripted server. Tests attach the event log where they watch events.
class FtpSession : public testing::Test {
protected:
    FtpSession() { PointAt(*ftp, server); }
    // Destroys the client: its connection drops without "QUIT", as when the program ends.
    void DestroyClient() { ftp.reset(); }

    ScriptServer server;
    EventLog log;
    std::unique_ptr<TNMFTP> ftp = std::make_unique<TNMFTP>();  // destroyed first: its handlers write to log
};

TEST_F(FtpSession, RefusingGreetingFailsTheConnectAndQuits) {
    ScriptQuit(server.Accept().SendLine("421 Too many users"));
    server.Start();
    log.Attach(*ftp);
    EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp->Connect(); }), "421 Too many users\r\n");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "QUIT\r\n");
    EXPECT_FALSE(ftp->Connected);
    EXPECT_EQ(log.Count("failed"), 1u);
    EXPECT_FALSE(log.Has("connect"));
    EXPECT_EQ(log.events.back(), "status:Disconnected");
}

TEST_F(FtpSession, UserAndPasswordLogInNeverReportsThePassword) {
    ScriptQuit(ScriptPasswordLogIn(server));
    server.Start();
    log.Attach(*ftp);
    ftp->Connect();
    EXPECT_TRUE(ftp->Connected);
    EXPECT_EQ(ftp->ReplyNumber, 230);
    ftp->Connect();  // already connected: nothing is sent
    ftp->Disconnect();
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nPASS s3cret\r\nQUIT\r\n");
    EXPECT_FALSE(ftp->Connected);
    EXPECT_EQ(log.Count("connect"), 1u);
    EXPECT_TRUE(log.Has("status:USER zdq"));
    EXPECT_TRUE(log.Has("status:PASS "));
    EXPECT_TRUE(log.Has("status:331 Password required\r\n"));
    for (const auto& event : log.events) EXPECT_THAT(event, testing::Not(HasSubstr("s3cret")));
}

TEST_F(FtpSession, UserAcceptedAloneSkipsThePasswordAndModeSendsType) {
    ScriptLogIn(server).ExpectLine("TYPE I").SendLine("200 Type set to I").WaitForPeerClose();
    server.Start();
    log.Attach(*ftp);
    ftp->Connect();
    ftp->Mode(0);  // no such type: nothing sent
    ftp->Mode(4);
    ftp->Mode(2);
    ftp->OnStatus = nullptr;
    DestroyClient();
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nTYPE I\r\n");
    EXPECT_EQ(log.Count("connect"), 1u);
    EXPECT_EQ(log.events.back(), "success:14");
}

TEST_F(FtpSession, MultiLineRepliesAreReadWhole) {
    server.Accept()
        .SendLine("220-Welcome")
        .SendLine(" to the scripted bed")
        .SendLine("220 ready")
        .ExpectLine("USER zdq")
        .SendLine("230-Hello")
        .SendLine("230-more greeting")
        .SendLine("230 Logged in")
        .ExpectLine("NOOP")
        .Send("200-a\r\n 200 b\r\n200 c\r\n")
        .ExpectLine("CWD ./")
        .SendLine("250 Okay")
        .WaitForPeerClose();
    server.Start();
    log.Attach(*ftp);
    ftp->Connect();
    EXPECT_EQ(ftp->Transaction("NOOP"), "200-a\r\n");
    EXPECT_EQ(ftp->ReplyNumber, 200);
    ftp->ChangeDir("./");  // judged by its own reply, not a leftover line
    EXPECT_EQ(ftp->LastReply, "250 Okay\r\n");
    ftp->OnStatus = nullptr;
    DestroyClient();
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(log.Has("status: to the scripted bed\r\n"));
    EXPECT_TRUE(log.Has("status:230-more greeting\r\n"));
    EXPECT_TRUE(log.Has("status:200 c\r\n"));
    EXPECT_EQ(log.events.back(), "success:0");
}

struct ProxyCase {
    nmftp::TFirewallType type;
    std::vector<Exchange> dialogue;
};

TEST_F(FtpSession, ProxyFormsSendTheirExactLines) {
    const std::vector<ProxyCase> cases = {
        {nmftp::FTUser, {{"USER zdq@ftp.example.invalid", "331 Password"}, {"PASS s3cret", "230 In"}}},
        {nmftp::FtOpen,
         {{"OPEN ftp.example.invalid", "220 Open"}, {"USER zdq", "331 Password"}, {"PASS s3cret", "230 In"}}},
        {nmftp::FtSite, {{"SITE ftp.example.invalid", "220 Site"}, {"USER zdq", "230 In"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        ScriptServer proxy;
        ScriptExchanges(proxy.Accept().SendLine("220 proxy ready"), c.dialogue).WaitForPeerClose();
        proxy.Start();
        EventLog caseLog;
        {
            TNMFTP client;
            PointAt(client, proxy);
            UseProxy(client, proxy);
            client.Port = 1;
            client.FirewallType = c.type;
            caseLog.Attach(client);
            client.Connect();
        }
        std::string expected;
        for (const auto& exchange : c.dialogue) expected += exchange.command + "\r\n";
        EXPECT_THAT(proxy.Finish(), IsEmpty());
        EXPECT_EQ(proxy.received(), expected);
        EXPECT_EQ(caseLog.Count("connect"), 1u);
    }
}

TEST_F(FtpSession, RefusedProxyLogInIsAFailedLogIn) {
    ScriptQuit(ScriptExchanges(server.Accept().SendLine("220 proxy ready"),
                               {{"USER zdq@ftp.example.invalid", "530 Not logged in"}}));
    server.Start();
    UseProxy(*ftp, server);
    log.Attach(*ftp);
    EXPECT_THROW(ftp->Connect(), FTPException);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_FALSE(ftp->Connected);
    EXPECT_EQ(log.Count("failed"), 1u);
    EXPECT_FALSE(log.Has("connect"));
}

TEST_F(FtpSession, FirewallLogInComesFirst) {
    ScriptExchanges(server.Accept().SendLine("220 firewall"), {{"USER fw", "331 Password"},
                                                                {"PASS fwpass", "230 Through"},
                                                                {"USER zdq", "331 Password"},
                                                                {"PASS s3cret", "230 In"}})
        .WaitForPeerClose();
    server.Start();
    ftp->FWAuthenticate = true;
    ftp->FWUserID = "fw";
    ftp->FWPassword = "fwpass";
    log.Attach(*ftp);
    ftp->Connect();
    ftp->OnStatus = nullptr;
    DestroyClient();
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(log.Count("connect"), 1u);
    for (const auto& event : log.events) EXPECT_THAT(event, testing::Not(HasSubstr("fwpass")));
}

TEST_F(FtpSession, MissingCredentialsAskTheHandler) {
    ScriptLogIn(server).WaitForPeerClose();
    server.Start();
    int asked = 0;
    ftp->UserID.clear();
    ftp->OnAuthenticationNeeded = [&](bool&) {
        ++asked;
        ftp->UserID = "zdq";
    };
    ftp->Connect();
    DestroyClient();
    EXPECT_EQ(asked, 1);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpSession, NegativeCommandRepliesFireFailureEvents) {
    ScriptExchanges(ScriptLogIn(server), {{"CWD nowhere", "550 No such directory"},
                                          {"MKD x", "502 Not implemented"},
                                          {"CWD nowhere", "550 Still no such directory"},
                                          {"PWD", "399 odd but positive"}})
        .WaitForPeerClose();
    server.Start();
    log.Attach(*ftp);
    ftp->Connect();
    ftp->OnStatus = nullptr;
    log.events.clear();
    EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp->ChangeDir("nowhere"); }), "550 No such directory\r\n");
    EXPECT_THROW(ftp->DoCommand("MKD x"), FTPException);
    log.handleFailure = true;
    ftp->ChangeDir("nowhere");  // handled: returns normally
    ftp->DoCommand("PWD");
    DestroyClient();
    EXPECT_THAT(log.events, ElementsAre("failure:0", "unsupported:1", "failure:1", "failure:0", "success:15"));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpSession, LinesWithBreaksNeverReachTheServer) {
    ScriptLogIn(server).ExpectLine("NOOP").SendLine("200 Fine").WaitForPeerClose();
    server.Start();
    log.Attach(*ftp);
    ftp->Connect();
    EXPECT_THROW(ftp->ChangeDir("a\r\nDELE important"), platform::Exception);
    EXPECT_THROW(ftp->DoCommand("NOOP\nDELE important"), platform::Exception);
    EXPECT_THROW(ftp->Upload("/nonexistent/x", "a\nDELE important"), platform::Exception);
    EXPECT_THROW(ftp->Transaction("NOOP\rDELE important"), platform::Exception);
    ftp->DoCommand("NOOP");  // the session goes on
    DestroyClient();
    EXPECT_FALSE(log.Has("failure:0"));  // refused before any reply
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nNOOP\r\n");
}

TEST_F(FtpSession, UserNameWithLineBreakIsRefusedBeforeConnecting) {
    server.Start();  // no steps: a connection would be a failure of the test below
    ftp->UserID = "zdq\r\nDELE x";
    EXPECT_THROW(ftp->Connect(), platform::Exception);
    EXPECT_FALSE(ftp->Connected);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "");
}

TEST_F(FtpSession, StalledReplyEndsAfterTimeOut) {
    ScriptLogIn(server).ExpectLine("CWD slow").Stall(testsupport::Milliseconds{1500}).Close();
    server.Start();
    ftp->Connect();
    ftp->TimeOut = 300;
    log.Attach(*ftp);
    EXPECT_THROW(ftp->ChangeDir("slow"), psock::EAbortError);
    EXPECT_TRUE(ftp->TimedOut);
    EXPECT_FALSE(log.Has("success:0"));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpSession, EndlessGreetingEndsAfterTimeOut) {
    server.Accept().Flood(testsupport::RepeatedLine("220-welcome, and more"), testsupport::EndlessFlood).Close();
    server.Start();
    ftp->TimeOut = 300;
    EXPECT_EQ(MessageOfThrown([&] { ftp->Connect(); }), "Socket readln aborted");
    EXPECT_TRUE(ftp->TimedOut);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpSession, ClosedConnectionIsNoSuccess) {
    ScriptLogIn(server).ExpectLine("CWD gone").Close();
    server.Start();
    ftp->Connect();
    log.Attach(*ftp);
    EXPECT_THROW(ftp->ChangeDir("gone"), psock::ESockError);
    EXPECT_FALSE(log.Has("success:0"));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpSession, RefusedQuitStillCloses) {
    ScriptLogIn(server).ExpectLine("QUIT").SendLine("500 What?").WaitForPeerClose();
    server.Start();
    ftp->Connect();
    EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp->Disconnect(); }), "500 What?\r\n");
    EXPECT_FALSE(ftp->Connected);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpSession, CommandsNeedAConnection) {
    TNMFTP fresh;  // the defaults, not pointed at the server
    EXPECT_EQ(fresh.Port, 21);
    EXPECT_FALSE(fresh.Passive);
    EXPECT_EQ(fresh.FirewallType, nmftp::FTUser);
    EXPECT_EQ(MessageOfThrown<platform::Exception>([&] { fresh.ChangeDir("./"); }), "Not Connected");
}

}  // namespace
