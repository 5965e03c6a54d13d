// A send slow enough to watch, against an FTP server that takes the data at a set pace: the
// progress window appears, its bar moves on, and it is gone before the success message; or the
// user cancels it from the keyboard, and the program ends at once without a word (or, once a file
// of several was announced, with the summary), sending nothing more. (A quick send never shows the window: send_test.cpp.)

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <thread>

#include "tests/e2e/program_run.h"
#include "tests/e2e/scripted_ftp.h"
#include "tests/support/testbed.h"

namespace {

using e2e::RandomBytes;

using namespace std::chrono_literals;
using e2e::Clock;
using e2e::ProgramRun;
using e2e::RunResult;
using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::Connection;
using testsupport::ScriptServer;

// What a server that reads the data connection at a set pace has received.
struct SlowReader {
    std::atomic<std::size_t> received{0};  // so far
    std::string data;                      // all of it, once the script is over
    bool endedCleanly = false;             // the client closed the connection, rather than reset it

    // Reads at about bytesPerSecond until the client closes the connection.
    void Read(int socket, std::size_t bytesPerSecond) {
        timeval patience{10, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        const auto start = Clock::now();
        char buffer[16384];
        ssize_t got = 0;
        while ((got = ::recv(socket, buffer, sizeof buffer, 0)) > 0) {
            data.append(buffer, static_cast<std::size_t>(got));
            received = data.size();
            std::this_thread::sleep_until(start + data.size() * 1'000'000us / bytesPerSecond);
        }
        endedCleanly = got == 0;
        ::close(socket);
    }
};

enum class DataMode { Passive, ActiveAfterPassiveRefused };

// Logs the client in, takes the STOR of name and reads its data at the pace; then answers
// finalReply, or nothing when it is empty, and waits for the client to hang up.
void ScriptSlowUpload(ScriptServer& ftp, DataMode mode, const std::string& name, std::size_t bytesPerSecond,
                      const std::shared_ptr<SlowReader>& reader, const std::string& finalReply) {
    e2e::ScriptLogIn(ftp);
    if (mode == DataMode::ActiveAfterPassiveRefused) e2e::RefusePassive(ftp);
    ftp.Run([=](Connection& control) {
        const int data = mode == DataMode::Passive ? e2e::OpenPassiveDataConnection(control, name, 16384)
                                                   : e2e::OpenActiveDataConnection(control, name, 16384);
        reader->Read(data, bytesPerSecond);
        if (!finalReply.empty()) control.Send(finalReply + "\r\n");
    });
    ftp.WaitForPeerClose();
    ftp.Start();
}

class SendProgress : public testsupport::TestbedTest {
protected:
    // Starts the program sending a file of these bytes to a server that takes them at the pace
    // (answering finalReply after them, if any). Returns its progress window once the server has
    // received the given share of the file; empty when no window came.
    std::string StartSlowSend(DataMode mode, const std::string& name, const std::string& bytes,
                              std::size_t bytesPerSecond, const std::string& finalReply, std::size_t receivedFirst) {
        ScriptSlowUpload(ftp_, mode, name, bytesPerSecond, reader_, finalReply);
        requests_ = std::make_unique<testsupport::LogTail>(bed().nginx.requestLog);
        run_ = std::make_unique<ProgramRun>(e2e::Settings{"Taro", "taro", 0},
                                            e2e::Servers{ftp_.port(), bed().nginx.port}, folder_.Write(name, bytes));
        const std::string window = run_->WaitForWindow(30s);  // a first start under Wine is slow
        const auto deadline = Clock::now() + 30s;
        while (!window.empty() && reader_->received < receivedFirst && Clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return window;
    }

    testsupport::TempDir folder_;
    std::shared_ptr<SlowReader> reader_ = std::make_shared<SlowReader>();
    ScriptServer ftp_{testsupport::Milliseconds{60'000}};  // a first connection from Wine can take a while
    std::unique_ptr<testsupport::LogTail> requests_;  // the notifications from the start of the send
    std::unique_ptr<ProgramRun> run_;
};

// The server refuses passive mode: the file goes through a data port of the program's.
TEST_F(SendProgress, ASlowUploadShowsItsProgressWhichGoesBeforeTheSuccessMessage) {
    const std::string name = testsupport::UniqueName("slow", ".jpg");
    const std::string bytes = RandomBytes(4'000'000);
    const std::string window =
        StartSlowSend(DataMode::ActiveAfterPassiveRefused, name, bytes, 600'000, "226 stored", 500'000);
    ASSERT_FALSE(window.empty()) << "no progress window";
    // Two pictures of the window some way into the upload, the second 1.5 s later.
    e2e::SaveScreenshot(window, "send-progress-1.png");
    std::this_thread::sleep_for(1500ms);
    e2e::SaveScreenshot(window, "send-progress-2.png");
    // The windows on the screen once the message has had time to appear.
    std::size_t windowsWithTheMessage = 0;
    const RunResult result = run_->Finish([&](const e2e::Dialog&) {
        run_->WaitForWindow(10s);
        std::this_thread::sleep_for(300ms);
        windowsWithTheMessage = run_->VisibleWindows().size();
    });

    EXPECT_GT(e2e::ColouredPixels("send-progress-2.png"), e2e::ColouredPixels("send-progress-1.png") + 100)
        << "the bar did not move on";
    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(ftp_.Finish(), IsEmpty());
    EXPECT_TRUE(reader_->data == bytes) << reader_->data.size() << " other bytes arrived";
    const auto lines = ftp_.lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4], "PASV");
    EXPECT_THAT(lines[5], testing::StartsWith("PORT 127,0,0,1,"));
    EXPECT_EQ(lines[6], "STOR " + name);
    EXPECT_THAT(result.dialogs, testing::SizeIs(1));
    EXPECT_EQ(result.dialogs.at(0).text, e2e::SuccessText("taro@" + e2e::CarrierDomain, name));
    EXPECT_EQ(windowsWithTheMessage, 1u);  // the message alone: the progress window had gone
    EXPECT_THAT(result.errorOutput, testing::HasSubstr("progress: ミルテ・ポスト: " + name + "\n"));
    const auto records = testsupport::WaitForNginxRequests(*requests_, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].requestLine,
              "POST /ftp.php?file=" + name + "&name=Taro&mail=taro@" + e2e::CarrierDomain + " HTTP/1.0");
}

TEST_F(SendProgress, EscapeInTheProgressWindowEndsTheProgramAtOnceAndSendsNothingMore) {
    const std::string name = testsupport::UniqueName("cancelled", ".jpg");
    const std::size_t size = 4'000'000;
    const std::string window = StartSlowSend(DataMode::Passive, name, RandomBytes(size), 300'000, "", 300'000);
    ASSERT_FALSE(window.empty()) << "no progress window";
    const std::size_t receivedBefore = reader_->received;
    const auto pressed = Clock::now();
    ProgramRun::PressKey(window, "Escape");
    const RunResult result = run_->Finish({}, 30s);

    ASSERT_TRUE(result.ended) << result.errorOutput;
    const auto exitTime = std::chrono::duration_cast<std::chrono::milliseconds>(result.endedAt - pressed);
    std::cout << "[ figure ] from Escape to the program's end: " << exitTime.count() << " ms\n";
    RecordProperty("cancel_to_exit_ms", static_cast<int>(exitTime.count()));
    EXPECT_LT(exitTime, 10s);  // a generous bound; the figure is the measurement
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.dialogs, IsEmpty());  // no failure message
    EXPECT_THAT(ftp_.Finish(), IsEmpty());
    // After the STOR the control connection heard nothing more.
    EXPECT_EQ(ftp_.lines().at(4), "PASV");
    EXPECT_EQ(ftp_.lines().back(), "STOR " + name);
    EXPECT_EQ(ftp_.received().substr(ftp_.received().size() - name.size() - 7), "STOR " + name + "\r\n");
    // The data stopped short. What still came had been handed to the system before the cancel.
    std::cout << "[ figure ] bytes that reached the server after the Escape: " << reader_->data.size() - receivedBefore
              << (reader_->endedCleanly ? ", then FIN\n" : ", then RST\n");
    EXPECT_LT(reader_->data.size(), size);
    std::this_thread::sleep_for(300ms);
    EXPECT_THAT(requests_->text(), IsEmpty());  // no notification
}

// Of three files, the first is sent and announced; Escape during the second stops the send there,
// and the summary says which file will reach the phone.
TEST_F(SendProgress, EscapeDuringTheSecondOfThreeFilesKeepsTheFirstAnnouncedAndSendsNothingMore) {
    const std::vector<std::string> names = {testsupport::UniqueName("one", ".jpg"), testsupport::UniqueName("two", ".jpg"),
                                            testsupport::UniqueName("three", ".jpg")};
    const std::vector<std::string> bytes = {RandomBytes(20'000), RandomBytes(4'000'000), RandomBytes(20'000)};
    auto first = std::make_shared<std::string>();
    e2e::ScriptLogIn(ftp_)
        .Run([first, name = names[0]](Connection& control) {
            *first = e2e::ReadAllData(e2e::OpenPassiveDataConnection(control, name, 65536));
            control.Send("226 stored\r\n");
        })
        .Run([reader = reader_, name = names[1]](Connection& control) {
            reader->Read(e2e::OpenPassiveDataConnection(control, name, 16384), 300'000);
        })
        .WaitForPeerClose();
    ftp_.Start();
    requests_ = std::make_unique<testsupport::LogTail>(bed().nginx.requestLog);
    std::vector<std::filesystem::path> files;
    for (std::size_t i = 0; i < names.size(); ++i) files.push_back(folder_.Write(names[i], bytes[i]));
    run_ = std::make_unique<ProgramRun>(e2e::Settings{"Taro", "taro", 0}, e2e::Servers{ftp_.port(), bed().nginx.port},
                                        files);
    const std::string window = run_->WaitForWindow(30s);
    ASSERT_FALSE(window.empty()) << "no progress window";
    const auto deadline = Clock::now() + 30s;
    while (reader_->received < 300'000 && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
    ProgramRun::PressKey(window, "Escape");
    const RunResult result = run_->Finish({}, 30s);

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 1u) << result.errorOutput;
    const std::string& summary = result.dialogs[0].text;
    EXPECT_EQ(e2e::FirstLine(summary), "taro@" + e2e::CarrierDomain + " 宛てに、3 個のファイルのうち 1 個を送信しました。");
    EXPECT_THAT(summary, testing::HasSubstr("【送信したファイル】\n・" + names[0] + "\n"));
    EXPECT_THAT(summary, testing::HasSubstr("・" + names[1] + "：キャンセルしました。\n・" + names[2] + "：キャンセルしました。"));
    EXPECT_THAT(ftp_.Finish(), IsEmpty());
    EXPECT_EQ(*first, bytes[0]);
    EXPECT_LT(reader_->data.size(), bytes[1].size());
    EXPECT_EQ(ftp_.lines().back(), "STOR " + names[1]);  // nothing after the cancel
    std::this_thread::sleep_for(300ms);
    const auto records = testsupport::ParseNginxRequests(requests_->text());
    ASSERT_EQ(records.size(), 1u);  // the first file's, and none after
    EXPECT_EQ(records[0].requestLine,
              "POST /ftp.php?file=" + names[0] + "&name=Taro&mail=taro@" + e2e::CarrierDomain + " HTTP/1.0");
}

}  // namespace
