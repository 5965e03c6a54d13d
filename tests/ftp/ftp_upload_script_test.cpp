// Upload against a scripted server: the exact dialogue in active and passive mode, the order of
// events, refused and failed transfers, a data connection from a stranger, a server that goes
// away mid-transfer, and cancels that must not turn into success.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/message_queue.h"
#include "tests/ftp/ftp_test_util.h"
#include "tests/support/asio.h"

namespace {

using ftptest::EventLog;
using ftptest::MessageOfThrown;
using ftptest::Pattern;
using ftptest::PointAt;
using ftptest::ScriptExchanges;
using ftptest::ScriptLogIn;
using testsupport::TempDir;
using nmftp::FTPException;
using nmftp::TNMFTP;
using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::Connection;
using testsupport::HostPort;
using testsupport::ScriptServer;

// The server's side of "PORT": read the line, answer 200, return where to connect.
HostPort TakePort(Connection& control) {
    const std::string line = control.ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw testsupport::ScriptError("expected PORT, got " + line);
    const auto target = testsupport::ParseFtpHostPort(line.substr(5));
    if (!target) throw testsupport::ScriptError("malformed " + line);
    control.Send("200 PORT command successful\r\n");
    return *target;
}

void ExpectLineOn(Connection& control, const std::string& expected) {
    const std::string line = control.ReadLine();
    if (line != expected) throw testsupport::ScriptError("expected " + expected + ", got " + line);
}

// The server's side of an active-mode "STOR name" up to its first reply; returns where the
// client waits for the data connection.
HostPort AnswerStore(Connection& control, const std::string& name, const std::string& reply) {
    const auto target = TakePort(control);
    ExpectLineOn(control, "STOR " + name);
    control.Send(reply + "\r\n");
    return target;
}

bool LockIsFree(TNMFTP& ftp) {
    bool free = false;
    std::thread([&] {
        free = ftp.TransferLock.try_lock();
        if (free) ftp.TransferLock.unlock();
    }).join();
    return free;
}

// The upload ended in exactly one failure event and no success event.
testing::AssertionResult FailedOnceWithoutSuccess(const EventLog& log) {
    if (log.Count("failure:9") == 1 && !log.Has("success:9")) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "expected one failure:9 and no success:9 in "
                                       << testing::PrintToString(log.events);
}

class FtpUploadScript : public testing::Test {
protected:
    void SetUp() override {
        PointAt(ftp, server);
        log.Attach(ftp);
    }
    std::string Write(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes).string(); }
    // Starts the script, logs in and forgets the log-in's events.
    void StartAndLogIn() {
        server.Start();
        ftp.Connect();
        log.events.clear();
    }

    // The server's side of the data connection in active mode: connect, keep all it reads in stored.
    void ReceiveFile(Connection& control, const HostPort& target) {
        auto data = control.ConnectTo(target.host, target.port);
        stored = data->ReadAll();
        data->Close();
    }
    // Queues an active-mode store of name that the server takes whole, then answers finalReply.
    void ScriptStoreTakenWhole(const std::string& name, const std::string& firstReply, const std::string& finalReply) {
        server.Run([=, this](Connection& control) {
            ReceiveFile(control, AnswerStore(control, name, firstReply));
            control.Send(finalReply + "\r\n");
        });
    }
    // Queues an active-mode store of name that the server refuses with reply.
    void ScriptRefusedStore(const std::string& name, const std::string& reply) {
        server.Run([=](Connection& control) { AnswerStore(control, name, reply); });
    }

    ScriptServer server;
    TempDir dir;
    EventLog log;
    TNMFTP ftp;          // destroyed first: its handlers write to log
    std::string stored;  // what the server read on the data connection
};

TEST_F(FtpUploadScript, ActiveUploadInOrder) {
    const std::string content = Pattern(150'000);
    const std::string local = Write("data.bin", content);
    ScriptLogIn(server);
    ScriptStoreTakenWhole("data.bin", "150 Opening BINARY mode data connection", "226 Transfer complete");
    StartAndLogIn();
    ftp.Upload(local, "");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored, content);
    EXPECT_THAT(log.events, ElementsAre("status:200 PORT command successful\r\n", "status:STOR " + local,
                                        "status:150 Opening BINARY mode data connection\r\n", "start", "sent",
                                        "stop", "status:226 Transfer complete\r\n", "success:9"));
    EXPECT_NE(log.packetSender, &ftp);
    EXPECT_EQ(log.bytesSent, 150'000);
    EXPECT_EQ(ftp.DataSocket, nullptr);
    EXPECT_TRUE(LockIsFree(ftp));
}

TEST_F(FtpUploadScript, PassiveDataGoesToHostWhateverTheReplySays) {
    const std::string content = Pattern(70'000);
    const std::string local = Write("p.bin", content);
    ScriptLogIn(server).Run([&](Connection& control) {
        ExpectLineOn(control, "PASV");
        // The listener is on 127.0.0.1; the reply names 127.0.0.2, which nobody listens on.
        auto listener = control.Listen();
        const std::string port = testsupport::FtpHostPort(listener->port());
        control.Send("227 Entering Passive Mode (127,0,0,2" + port.substr(port.find(',', 8)) + ").\r\n");
        auto data = listener->Accept();
        ExpectLineOn(control, "STOR remote.bin");
        control.Send("125 Data connection already open; transfer starting\r\n");
        stored = data->ReadAll();
        data->Close();
        control.Send("226 Transfer complete\r\n");
    });
    ftp.Passive = true;
    StartAndLogIn();
    ftp.Upload(local, "remote.bin");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored, content);
    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ(log.events.front().rfind("status:227 ", 0), 0u);
    EXPECT_EQ(log.events.back(), "success:9");
}

TEST_F(FtpUploadScript, RefusedStoreReportsOnceAndCleansUp) {
    const std::string local = Write("refused.bin", "abc");
    ScriptLogIn(server);
    ScriptRefusedStore("refused.bin", "502 Command not implemented");
    StartAndLogIn();
    EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp.Upload(local, ""); }), "502 Command not implemented\r\n");
    EXPECT_EQ(log.Count("unsupported:9"), 1u);
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
    EXPECT_FALSE(log.Has("start"));
    EXPECT_EQ(ftp.DataSocket, nullptr);
    EXPECT_TRUE(LockIsFree(ftp));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(FtpUploadScript, NegativeFinalReplyIsAFailure) {
    const std::string content = Pattern(10'000);
    const std::string local = Write("full.bin", content);
    const std::string verdict = "552 Requested file action aborted. Exceeded storage allocation";
    ScriptLogIn(server);
    ScriptStoreTakenWhole("full.bin", "150 Ok to send data", verdict);
    StartAndLogIn();
    EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp.Upload(local, ""); }), verdict + "\r\n");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored, content);
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
}

TEST_F(FtpUploadScript, HandledFailureReturnsWithoutSuccess) {
    const std::string local = Write("h.bin", "abc");
    ScriptLogIn(server);
    ScriptRefusedStore("h.bin", "553 Not allowed");
    StartAndLogIn();
    log.handleFailure = true;
    ftp.Upload(local, "");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
}

// A refused "PORT" or "PASV" fails the upload before "STOR", and is no unsupported-command case.
TEST_F(FtpUploadScript, RefusedDataCommandFailsWithoutUnsupportedEvent) {
    const std::string local = Write("d.bin", "abc");
    ScriptLogIn(server).Run([&](Connection& control) {
        const std::string line = control.ReadLine();
        if (line.rfind("PORT ", 0) != 0) throw testsupport::ScriptError("expected PORT, got " + line);
        control.Send("501 Illegal PORT command\r\n");
        ExpectLineOn(control, "PASV");
        control.Send("500 PASV not understood\r\n");
        ExpectLineOn(control, "NOOP");
        control.Send("200 Ok\r\n");
    });
    StartAndLogIn();
    ftp.OnStatus = nullptr;
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ftp.Passive = passive;
        EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp.Upload(local, ""); }),
                  passive ? "500 PASV not understood\r\n" : "501 Illegal PORT command\r\n");
        EXPECT_EQ(ftp.DataSocket, nullptr);
    }
    ftp.DoCommand("NOOP");
    EXPECT_THAT(log.events, ElementsAre("failure:9", "failure:9", "success:14"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received().find("STOR"), std::string::npos);
}

// Port numbers outside a byte neither overflow nor wrap to some other port: the upload fails
// before "STOR", through OnFailure, and the session goes on.
TEST_F(FtpUploadScript, PassiveNumbersOutOfRangeFailTheUpload) {
    const std::string local = Write("r.bin", "abc");
    ScriptExchanges(ScriptLogIn(server), {{"PASV", "227 Entering Passive Mode (127,0,0,1,999,999)"},
                                          {"PASV", "227 Entering Passive Mode (127,0,0,1,8388608,1)"},
                                          {"NOOP", "200 Ok"}});
    StartAndLogIn();
    ftp.OnStatus = nullptr;
    ftp.Passive = true;
    for (const std::string number : {"999", "8388608"}) {
        EXPECT_EQ(MessageOfThrown<platform::ERangeError>([&] { ftp.Upload(local, ""); }),
                  "Passive mode port number out of range (0-255): '" + number + "'");
        EXPECT_EQ(ftp.DataSocket, nullptr);
    }
    ftp.DoCommand("NOOP");
    EXPECT_THAT(log.events, ElementsAre("failure:9", "failure:9", "success:14"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received().find("STOR"), std::string::npos);
}

// An upload started from a handler while a transfer runs cannot share the control connection:
// it is refused, and the running upload goes on undisturbed.
TEST_F(FtpUploadScript, UploadFromAHandlerDuringATransferIsRefused) {
    const std::string content = Pattern(100'000);
    const std::string local = Write("outer.bin", content);
    ScriptLogIn(server);
    ScriptStoreTakenWhole("outer.bin", "150 Ok to send data", "226 Transfer complete");
    StartAndLogIn();
    ftp.OnStatus = nullptr;
    ftp.TimeOut = 3000;  // a second upload let through would wait for replies that never come
    std::string refusal;
    const auto uploadAgain = [&] {
        refusal = MessageOfThrown<platform::Exception>([&] { ftp.Upload(local, "inner.bin"); });
    };
    ftp.OnTransactionStart = [&](platform::TObject*) { uploadAgain(); };
    ftp.OnPacketSent = [&](platform::TObject*) {
        if (refusal.empty()) ADD_FAILURE() << "no refusal before the first packet";
        refusal.clear();
        uploadAgain();
    };
    ftp.Upload(local, "");
    EXPECT_EQ(refusal, "Upload already in progress");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored, content);
    EXPECT_EQ(log.events.back(), "success:9");
    EXPECT_EQ(log.Count("success:9"), 1u);
    EXPECT_EQ(ftp.DataSocket, nullptr);
}

// After a refused "STOR" the data socket is done with, so an OnFailure handler may try again.
TEST_F(FtpUploadScript, FailureHandlerMayUploadAgain) {
    const std::string content = Pattern(5'000);
    const std::string local = Write("retry.bin", content);
    ScriptLogIn(server);
    ScriptRefusedStore("retry.bin", "452 Insufficient storage, try another name");
    ScriptStoreTakenWhole("retry2.bin", "150 Ok to send data", "226 Transfer complete");
    StartAndLogIn();
    ftp.OnStatus = nullptr;
    int tries = 0;
    ftp.OnFailure = [&](bool& handled, nmftp::TCmdType code) {
        log.Add("failure:" + std::to_string(code));
        EXPECT_EQ(ftp.DataSocket, nullptr);
        if (++tries == 1) ftp.Upload(local, "retry2.bin");
        handled = true;
    };
    ftp.Upload(local, "");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored, content);
    EXPECT_THAT(log.events, ElementsAre("failure:9", "start", "sent", "stop", "success:9"));
    EXPECT_EQ(ftp.DataSocket, nullptr);
    EXPECT_TRUE(LockIsFree(ftp));
}

TEST_F(FtpUploadScript, MissingLocalFileFailsBeforeAnyDataCommand) {
    ScriptLogIn(server).ExpectLine("NOOP").SendLine("200 Ok");
    StartAndLogIn();
    EXPECT_THROW(ftp.Upload((dir.path() / "absent.bin").string(), ""), platform::EFOpenError);
    EXPECT_EQ(log.Count("failure:9"), 1u);
    EXPECT_EQ(ftp.DataSocket, nullptr);
    ftp.DoCommand("NOOP");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "USER zdq\r\nNOOP\r\n");
}

// The file is opened before the transfer is asked for: moved away once "STOR" has gone out, it
// is still the file sent. Cut short by then, the read fails: the data connection ends, and the
// server's reply to the broken transfer is read, so the next command reads its own.
TEST_F(FtpUploadScript, AFileChangedAfterStoreNeverLeavesAReplyUnread) {
    const std::string content = Pattern(100'000);
    const std::string moved = Write("moved.bin", content);
    const std::string shrunk = Write("shrunk.bin", content);
    bool reset = false;
    ScriptLogIn(server);
    ScriptStoreTakenWhole("moved.bin", "150 Ok to send data", "226 Transfer complete");
    server.Run([&](Connection& control) {
        const auto target = AnswerStore(control, "shrunk.bin", "150 Ok to send data");
        auto data = control.ConnectTo(target.host, target.port);
        try {
            data->ReadAll();
        } catch (const testsupport::ScriptError&) {
            reset = true;
        }
        control.Send("426 Connection closed; transfer aborted.\r\n");
        ExpectLineOn(control, "NOOP");
        control.Send("200 Ok\r\n");
    });
    StartAndLogIn();
    const auto onStatus = ftp.OnStatus;
    ftp.OnStatus = [&](platform::TObject* sender, const std::string& text) {
        onStatus(sender, text);
        std::error_code ignored;  // a system that locks open files refuses the move: no matter
        if (text == "STOR " + moved) std::filesystem::rename(moved, moved + ".away", ignored);
        if (text == "STOR " + shrunk) std::filesystem::resize_file(shrunk, 1000);
    };

    ftp.Upload(moved, "");
    EXPECT_EQ(stored, content);
    EXPECT_THROW(ftp.Upload(shrunk, ""), platform::EReadError);
    EXPECT_THAT(log.events, testing::Contains(testing::StartsWith("status:426 ")));
    EXPECT_EQ(ftp.DataSocket, nullptr);
    ftp.DoCommand("NOOP");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(reset);
    EXPECT_EQ(log.Count("success:9"), 1u);
    EXPECT_EQ(log.Count("failure:9"), 1u);
    EXPECT_TRUE(log.Has("success:14"));
}

// A "PASV" answered with anything but 227 fails the upload with the server's reply.
TEST_F(FtpUploadScript, PassiveAnsweredWithATransientFailureFailsWithTheReply) {
    const std::string local = Write("t.bin", "abc");
    ScriptExchanges(ScriptLogIn(server), {{"PASV", "421 Too many connections"}, {"NOOP", "200 Ok"}});
    StartAndLogIn();
    ftp.Passive = true;
    EXPECT_EQ(MessageOfThrown<FTPException>([&] { ftp.Upload(local, ""); }), "421 Too many connections\r\n");
    EXPECT_EQ(ftp.DataSocket, nullptr);
    ftp.DoCommand("NOOP");
    EXPECT_EQ(log.Count("failure:9"), 1u);
    EXPECT_TRUE(log.Has("success:14"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received().find("STOR"), std::string::npos);
}

// What a connection reads until the peer closes or resets it, or "not closed" when the peer
// keeps it open for 10 s.
std::string ReadUntilClosed(asio::ip::tcp::socket& socket) {
    socket.non_blocking(true);
    std::string got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        char buffer[4096];
        asio::error_code ec;
        const std::size_t n = socket.read_some(asio::buffer(buffer), ec);
        if (ec == asio::error::would_block && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        got.append(buffer, n);
        if (!ec) continue;
        if (ec == asio::error::eof || ec == asio::error::connection_reset) return got;
        return "not closed";
    }
}

// A connection to the announced port from an address other than the server's is closed unheard.
TEST_F(FtpUploadScript, DataConnectionFromAStrangerIsRefused) {
    const std::string content = Pattern(20'000);
    const std::string local = Write("s.bin", content);
    std::string strangerGot = "not closed";
    ScriptLogIn(server).Run([&](Connection& control) {
        const auto target = TakePort(control);
        asio::io_context io;
        asio::ip::tcp::socket stranger(io);
        stranger.open(asio::ip::tcp::v4());
        stranger.bind({asio::ip::make_address_v4("127.0.0.2"), 0});
        stranger.connect({asio::ip::make_address_v4(target.host), target.port});
        ExpectLineOn(control, "STOR s.bin");
        control.Send("150 Ok to send data\r\n");
        // The client closes the stranger's connection without sending it anything.
        strangerGot = ReadUntilClosed(stranger);
        ReceiveFile(control, target);
        control.Send("226 Transfer complete\r\n");
    });
    StartAndLogIn();
    ftp.Upload(local, "");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(strangerGot, "");
    EXPECT_EQ(stored, content);
    EXPECT_EQ(log.events.back(), "success:9");
}

// The server resets both connections after part of a large file: a clear failure, no hang.
TEST_F(FtpUploadScript, ServerGoneMidTransferFails) {
    const std::string local = Write("big.bin", Pattern(5'000'000));
    ScriptLogIn(server).Run([&](Connection& control) {
        const auto target = AnswerStore(control, "big.bin", "150 Ok to send data");
        auto data = control.ConnectTo(target.host, target.port);
        data->ReadExactly(100'000);
        data->Reset();
        control.Reset();
    });
    StartAndLogIn();
    EXPECT_THROW(ftp.Upload(local, ""), platform::Exception);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
    EXPECT_EQ(ftp.DataSocket, nullptr);
}

// The server takes the whole file, then hangs up without a verdict: the file is not confirmed.
TEST_F(FtpUploadScript, NoFinalReplyIsNoSuccess) {
    const std::string local = Write("v.bin", Pattern(1000));
    ScriptLogIn(server).Run([&](Connection& control) {
        ReceiveFile(control, AnswerStore(control, "v.bin", "150 Ok to send data"));
        control.Close();
    });
    StartAndLogIn();
    EXPECT_THROW(ftp.Upload(local, ""), psock::ESockError);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored.size(), 1000u);
    EXPECT_FALSE(log.Has("success:9"));
}

// A cancel of the control connection while the data connection is awaited stops the upload
// before any data; it is reported as a failure, not as success.
TEST_F(FtpUploadScript, CancelBeforeTheDataFlowsIsAFailure) {
    const std::string local = Write("c.bin", Pattern(1000));
    ScriptLogIn(server).Run([&](Connection& control) {
        const auto target = AnswerStore(control, "c.bin", "150 Ok to send data");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ReceiveFile(control, target);
    });
    StartAndLogIn();
    // A timer of the GUI thread cancels while Upload waits for the data connection.
    const platform::WindowHandle window = platform::AllocateWindow([&](const platform::Message& message) {
        if (message.message != platform::WM_TIMER) return;
        platform::KillTimer(message.window, 1);
        ftp.Cancel();
    });
    ASSERT_NE(window, 0u);
    log.events.clear();
    ftp.OnStatus = [&](platform::TObject*, const std::string& text) {
        if (text.rfind("150 ", 0) == 0) platform::SetTimer(window, 1, 50);
    };
    EXPECT_EQ(MessageOfThrown<psock::EAbortError>([&] { ftp.Upload(local, ""); }), "Transfer Canceled");
    platform::DeallocateWindow(window);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(stored, "");
    EXPECT_FALSE(log.Has("start"));
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
}

// An upload stopped in the middle resets the data connection: a graceful close would tell the
// server that the part it got is the whole file.
TEST_F(FtpUploadScript, AnUploadCutShortResetsTheDataConnection) {
    // More than the loopback's buffers hold, so the upload is still under way when it is stopped.
    const std::string local = Write("cut.bin", Pattern(32'000'000));
    std::atomic<bool> dataFlowing{false};
    bool reset = false;
    ScriptLogIn(server).Run([&](Connection& control) {
        const auto target = AnswerStore(control, "cut.bin", "150 Ok to send data");
        auto data = control.ConnectTo(target.host, target.port);
        data->ReadExactly(100'000);
        dataFlowing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        try {
            data->ReadAll();
        } catch (const testsupport::ScriptError&) {
            reset = true;
        }
    });
    StartAndLogIn();
    // A timer of the GUI thread stops the upload once the server has taken part of the file.
    const platform::WindowHandle window = platform::AllocateWindow([&](const platform::Message& message) {
        if (message.message != platform::WM_TIMER || !dataFlowing) return;
        platform::KillTimer(message.window, 1);
        ftp.Abort();
    });
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(platform::SetTimer(window, 1, 10));
    EXPECT_THROW(ftp.Upload(local, ""), psock::EAbortError);
    platform::DeallocateWindow(window);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(reset);
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
}

// A server that never answers "STOR" cannot hold the upload longer than TimeOut.
TEST_F(FtpUploadScript, StalledStoreReplyEndsAfterTimeOut) {
    const std::string local = Write("t.bin", "abc");
    ScriptLogIn(server)
        .Run([&](Connection& control) { TakePort(control); })
        .ExpectLine("STOR t.bin")
        .Stall(testsupport::Milliseconds{1500})
        .Close();
    StartAndLogIn();
    ftp.TimeOut = 300;
    EXPECT_THROW(ftp.Upload(local, ""), psock::EAbortError);
    EXPECT_TRUE(FailedOnceWithoutSuccess(log));
    EXPECT_THAT(server.Finish(), IsEmpty());
}

}  // namespace
