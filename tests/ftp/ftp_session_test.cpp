// The control session against a scripted server: greeting, log-in forms, reply reading, commands
// and their events, the quit, and the guards on unsafe lines, closed connections and stalls.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/ftp/ftp_test_util.h"

namespace {

using ftptest::EventLog;
using ftptest::PointAt;
using ftptest::ScriptLogIn;
using nmftp::FTPException;
using nmftp::TNMFTP;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testsupport::ScriptServer;

TEST(FtpSession, RefusingGreetingFailsTheConnectAndQuits) {
    ScriptServer server;
    server.Accept().SendLine("421 Too many users").ExpectLine("QUIT").SendLine("221 Bye").WaitForPeerClose();
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    EventLog log;
    log.Attach(ftp);
    try {
        ftp.Connect();
        FAIL() << "Connect succeeded";
    } catch (const FTPException& e) {
        EXPECT_EQ(e.Message(), "421 Too many users\r\n");
    }
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "QUIT\r\n");
    EXPECT_FALSE(ftp.Connected);
    EXPECT_EQ(log.Count("failed"), 1u);
    EXPECT_FALSE(log.Has("connect"));
    EXPECT_EQ(log.events.back(), "status:Disconnected");
}

TEST(FtpSession, UserAndPasswordLogInNeverReportsThePassword) {
    ScriptServer server;
    server.Accept()
        .SendLine("220 ready")
        .ExpectLine("USER zdq")
        .SendLine("331 Password required")
        .ExpectLine("PASS s3cret")
        .SendLine("230 Logged in")
        .ExpectLine("QUIT")
        .SendLine("221 Bye")
        .WaitForPeerClose();
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    EventLog log;
    log.Attach(ftp);
    ftp.Connect();
    EXPECT_TRUE(ftp.Connected);
    EXPECT_EQ(ftp.ReplyNumber, 230);
    ftp.Connect();  // already connected: nothing is sent
    ftp.Disconnect();
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nPASS s3cret\r\nQUIT\r\n");
    EXPECT_FALSE(ftp.Connected);
    EXPECT_EQ(log.Count("connect"), 1u);
    EXPECT_TRUE(log.Has("status:USER zdq"));
    EXPECT_TRUE(log.Has("status:PASS "));
    EXPECT_TRUE(log.Has("status:331 Password required\r\n"));
    for (const auto& event : log.events) EXPECT_THAT(event, testing::Not(HasSubstr("s3cret")));
}

TEST(FtpSession, UserAcceptedAloneSkipsThePasswordAndModeSendsType) {
    ScriptServer server;
    ScriptLogIn(server).ExpectLine("TYPE I").SendLine("200 Type set to I").WaitForPeerClose();
    server.Start();
    EventLog log;
    {
        TNMFTP ftp;
        PointAt(ftp, server);
        log.Attach(ftp);
        ftp.Connect();
        ftp.Mode(0);  // no such type: nothing sent
        ftp.Mode(4);
        ftp.Mode(2);
        ftp.OnStatus = nullptr;
    }  // destroyed without "QUIT"
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nTYPE I\r\n");
    EXPECT_EQ(log.Count("connect"), 1u);
    EXPECT_EQ(log.events.back(), "success:14");
}

TEST(FtpSession, MultiLineRepliesAreReadWhole) {
    ScriptServer server;
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
    EventLog log;
    {
        TNMFTP ftp;
        PointAt(ftp, server);
        log.Attach(ftp);
        ftp.Connect();
        EXPECT_EQ(ftp.Transaction("NOOP"), "200-a\r\n");
        EXPECT_EQ(ftp.ReplyNumber, 200);
        ftp.ChangeDir("./");  // judged by its own reply, not a leftover line
        EXPECT_EQ(ftp.LastReply, "250 Okay\r\n");
        ftp.OnStatus = nullptr;
    }
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(log.Has("status: to the scripted bed\r\n"));
    EXPECT_TRUE(log.Has("status:230-more greeting\r\n"));
    EXPECT_TRUE(log.Has("status:200 c\r\n"));
    EXPECT_EQ(log.events.back(), "success:0");
}

struct ProxyCase {
    nmftp::TFirewallType type;
    std::vector<std::string> dialogue;  // client line, server reply, ...
};

TEST(FtpSession, ProxyFormsSendTheirExactLines) {
    const std::vector<ProxyCase> cases = {
        {nmftp::FTUser, {"USER zdq@ftp.example.invalid", "331 Password", "PASS s3cret", "230 In"}},
        {nmftp::FtOpen, {"OPEN ftp.example.invalid", "220 Open", "USER zdq", "331 Password", "PASS s3cret", "230 In"}},
        {nmftp::FtSite, {"SITE ftp.example.invalid", "220 Site", "USER zdq", "230 In"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        ScriptServer server;
        server.Accept().SendLine("220 proxy ready");
        std::string expected;
        for (std::size_t i = 0; i < c.dialogue.size(); i += 2) {
            server.ExpectLine(c.dialogue[i]).SendLine(c.dialogue[i + 1]);
            expected += c.dialogue[i] + "\r\n";
        }
        server.WaitForPeerClose();
        server.Start();
        EventLog log;
        {
            TNMFTP ftp;
            PointAt(ftp, server);
            // The control connection goes to the proxy; the host is only named to it.
            ftp.Proxy = server.host();
            ftp.ProxyPort = server.port();
            ftp.Host = "ftp.example.invalid";
            ftp.Port = 1;
            ftp.FirewallType = c.type;
            log.Attach(ftp);
            ftp.Connect();
        }
        EXPECT_THAT(server.Finish(), IsEmpty());
        EXPECT_EQ(server.received(), expected);
        EXPECT_EQ(log.Count("connect"), 1u);
    }
}

TEST(FtpSession, RefusedProxyLogInIsAFailedLogIn) {
    ScriptServer server;
    server.Accept()
        .SendLine("220 proxy ready")
        .ExpectLine("USER zdq@ftp.example.invalid")
        .SendLine("530 Not logged in")
        .ExpectLine("QUIT")
        .SendLine("221 Bye")
        .WaitForPeerClose();
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    ftp.Proxy = server.host();
    ftp.ProxyPort = server.port();
    ftp.Host = "ftp.example.invalid";
    EventLog log;
    log.Attach(ftp);
    EXPECT_THROW(ftp.Connect(), FTPException);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_FALSE(ftp.Connected);
    EXPECT_EQ(log.Count("failed"), 1u);
    EXPECT_FALSE(log.Has("connect"));
}

TEST(FtpSession, FirewallLogInComesFirst) {
    ScriptServer server;
    server.Accept()
        .SendLine("220 firewall")
        .ExpectLine("USER fw")
        .SendLine("331 Password")
        .ExpectLine("PASS fwpass")
        .SendLine("230 Through")
        .ExpectLine("USER zdq")
        .SendLine("331 Password")
        .ExpectLine("PASS s3cret")
        .SendLine("230 In")
        .WaitForPeerClose();
    server.Start();
    EventLog log;
    {
        TNMFTP ftp;
        PointAt(ftp, server);
        ftp.FWAuthenticate = true;
        ftp.FWUserID = "fw";
        ftp.FWPassword = "fwpass";
        log.Attach(ftp);
        ftp.Connect();
        ftp.OnStatus = nullptr;
    }
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(log.Count("connect"), 1u);
    for (const auto& event : log.events) EXPECT_THAT(event, testing::Not(HasSubstr("fwpass")));
}

TEST(FtpSession, MissingCredentialsAskTheHandler) {
    ScriptServer server;
    ScriptLogIn(server).WaitForPeerClose();
    server.Start();
    int asked = 0;
    {
        TNMFTP ftp;
        PointAt(ftp, server);
        ftp.UserID.clear();
        ftp.OnAuthenticationNeeded = [&](bool&) {
            ++asked;
            ftp.UserID = "zdq";
        };
        ftp.Connect();
    }
    EXPECT_EQ(asked, 1);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(FtpSession, NegativeCommandRepliesFireFailureEvents) {
    ScriptServer server;
    ScriptLogIn(server)
        .ExpectLine("CWD nowhere")
        .SendLine("550 No such directory")
        .ExpectLine("MKD x")
        .SendLine("502 Not implemented")
        .ExpectLine("CWD nowhere")
        .SendLine("550 Still no such directory")
        .ExpectLine("PWD")
        .SendLine("399 odd but positive")
        .WaitForPeerClose();
    server.Start();
    EventLog log;
    {
        TNMFTP ftp;
        PointAt(ftp, server);
        log.Attach(ftp);
        ftp.Connect();
        ftp.OnStatus = nullptr;
        log.events.clear();
        try {
            ftp.ChangeDir("nowhere");
            FAIL() << "ChangeDir succeeded";
        } catch (const FTPException& e) {
            EXPECT_EQ(e.Message(), "550 No such directory\r\n");
        }
        EXPECT_THROW(ftp.DoCommand("MKD x"), FTPException);
        log.handleFailure = true;
        ftp.ChangeDir("nowhere");  // handled: returns normally
        ftp.DoCommand("PWD");
    }
    EXPECT_THAT(log.events, ElementsAre("failure:0", "unsupported:1", "failure:1", "failure:0", "success:15"));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(FtpSession, LinesWithBreaksNeverReachTheServer) {
    ScriptServer server;
    ScriptLogIn(server).ExpectLine("NOOP").SendLine("200 Fine").WaitForPeerClose();
    server.Start();
    EventLog log;
    {
        TNMFTP ftp;
        PointAt(ftp, server);
        log.Attach(ftp);
        ftp.Connect();
        EXPECT_THROW(ftp.ChangeDir("a\r\nDELE important"), platform::Exception);
        EXPECT_THROW(ftp.DoCommand("NOOP\nDELE important"), platform::Exception);
        EXPECT_THROW(ftp.Upload("/nonexistent/x", "a\nDELE important"), platform::Exception);
        EXPECT_THROW(ftp.Transaction("NOOP\rDELE important"), platform::Exception);
        ftp.DoCommand("NOOP");  // the session goes on
    }
    EXPECT_FALSE(log.Has("failure:0"));  // refused before any reply
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nNOOP\r\n");
}

TEST(FtpSession, UserNameWithLineBreakIsRefusedBeforeConnecting) {
    ScriptServer server;  // no steps: a connection would be a failure of the test below
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    ftp.UserID = "zdq\r\nDELE x";
    EXPECT_THROW(ftp.Connect(), platform::Exception);
    EXPECT_FALSE(ftp.Connected);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "");
}

TEST(FtpSession, StalledReplyEndsAfterTimeOut) {
    ScriptServer server;
    ScriptLogIn(server).ExpectLine("CWD slow").Stall(testsupport::Milliseconds{1500}).Close();
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    ftp.Connect();
    ftp.TimeOut = 300;
    EventLog log;
    log.Attach(ftp);
    EXPECT_THROW(ftp.ChangeDir("slow"), psock::EAbortError);
    EXPECT_TRUE(ftp.TimedOut);
    EXPECT_FALSE(log.Has("success:0"));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(FtpSession, ClosedConnectionIsNoSuccess) {
    ScriptServer server;
    ScriptLogIn(server).ExpectLine("CWD gone").Close();
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    ftp.Connect();
    EventLog log;
    log.Attach(ftp);
    EXPECT_THROW(ftp.ChangeDir("gone"), psock::ESockError);
    EXPECT_FALSE(log.Has("success:0"));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(FtpSession, RefusedQuitStillCloses) {
    ScriptServer server;
    ScriptLogIn(server).ExpectLine("QUIT").SendLine("500 What?").WaitForPeerClose();
    server.Start();
    TNMFTP ftp;
    PointAt(ftp, server);
    ftp.Connect();
    try {
        ftp.Disconnect();
        FAIL() << "Disconnect succeeded";
    } catch (const FTPException& e) {
        EXPECT_EQ(e.Message(), "500 What?\r\n");
    }
    EXPECT_FALSE(ftp.Connected);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(FtpSession, CommandsNeedAConnection) {
    TNMFTP ftp;
    EXPECT_EQ(ftp.Port, 21);
    EXPECT_FALSE(ftp.Passive);
    EXPECT_EQ(ftp.FirewallType, nmftp::FTUser);
    try {
        ftp.ChangeDir("./");
        FAIL() << "ChangeDir succeeded";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Not Connected");
    }
}

}  // namespace
