// Sends by the real program that depend on the settings window: a carrier other than the first, a
// file of a format the list of formats names, and a file dropped before any settings were saved.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <iterator>
#include <string>
#include <thread>

#include "app/build_constants.h"
#include "tests/e2e/program_run.h"
#include "tests/support/testbed.h"

namespace {

using e2e::ProgramRun;
using e2e::RunResult;
using testing::ElementsAre;

class SettingsSend : public testsupport::TestbedTest {
protected:
    // Sends a small file of this name to the test bed with the settings; the notification's
    // request line lands in requestLine.
    RunResult SendFile(const std::string& name, const e2e::Settings& settings, std::string& requestLine) {
        const auto file = folder_.Write(name, "file " + name);
        testsupport::LogTail requests(bed().nginx.requestLineLog);
        RunResult result = ProgramRun(settings, {bed().vsftpd.port, bed().nginx.port}, file).Finish();
        if (requests.WaitFor("HTTP/1.0")) requestLine = requests.text();
        EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd.root / name), "file " + name);
        return result;
    }

    static std::vector<std::string> Texts(const RunResult& result) {
        std::vector<std::string> texts;
        for (const e2e::Dialog& dialog : result.dialogs) texts.push_back(dialog.text);
        return texts;
    }

    testsupport::TempDir folder_;
};

TEST_F(SettingsSend, TheSecondCarrierChosenIsTheNotificationsMailDomain) {
    if (std::size(app::CarrierDomains) < 2) GTEST_SKIP() << "this build's carrier list has a single domain";
    const std::string second = app::CarrierDomains[1];
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    std::string requestLine;

    const RunResult result = SendFile(name, {"Taro", "taro", 1}, requestLine);

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + second, name)));
    EXPECT_EQ(requestLine, "POST /ftp.php?file=" + name + "&name=Taro&mail=taro@" + second + " HTTP/1.0\n");
}

TEST_F(SettingsSend, AnEpsFileIsSent) {
    const std::string name = testsupport::UniqueName("figure", ".eps");
    std::string requestLine;

    const RunResult result = SendFile(name, {"Taro", "taro", 0}, requestLine);

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + e2e::CarrierDomain, name)));
    EXPECT_EQ(requestLine, "POST /ftp.php?file=" + name + "&name=Taro&mail=taro@" + e2e::CarrierDomain + " HTTP/1.0\n");
}

// Before the first save there is nowhere to send to: the settings window comes up with its hint;
// the settings typed and saved, the file goes out; the window closed instead, nothing does.
TEST_F(SettingsSend, AFileDroppedBeforeTheSettingsGoesOutOnceTheyAreSaved) {
    const std::string name = testsupport::UniqueName("first", ".jpg");
    const auto file = folder_.Write(name, "file " + name);
    const e2e::Servers servers{bed().vsftpd.port, bed().nginx.port};
    const e2e::Settings nothingSaved{"", "", 0, false};
    const std::string hint = "hint: ミルテ・ポスト: 送信先が未設定です。保存するとファイルを送信します。\n";
    testsupport::LogTail ftpLog(bed().vsftpd.log);
    testsupport::LogTail requests(bed().nginx.requestLineLog);

    ProgramRun closed(nothingSaved, servers, file);
    const std::string unsaved = closed.WaitForWindow(std::chrono::seconds{30});
    ASSERT_FALSE(unsaved.empty()) << "no settings window";
    ProgramRun::CloseWindow(unsaved);
    const RunResult closing = closed.Finish({}, std::chrono::seconds{30});
    ASSERT_TRUE(closing.ended) << closing.errorOutput;
    EXPECT_THAT(closing.dialogs, testing::IsEmpty());
    EXPECT_THAT(closing.errorOutput, testing::HasSubstr(hint));
    EXPECT_EQ(ftpLog.text(), "");  // not even a connection

    ProgramRun run(nothingSaved, servers, file);
    const std::string window = run.WaitForWindow(std::chrono::seconds{30});
    ASSERT_FALSE(window.empty()) << "no settings window: " << run.Finish({}, std::chrono::seconds{5}).errorOutput;
    ProgramRun::Type(window, "Taro");
    ProgramRun::PressKey(window, "Tab");
    ProgramRun::Type(window, "hanako");
    ProgramRun::PressKey(window, "Return");  // the save button is the default
    const RunResult result = run.Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(result.errorOutput, testing::HasSubstr(hint));
    ASSERT_EQ(result.dialogs.size(), 2u) << result.errorOutput;
    EXPECT_EQ(e2e::FirstLine(result.dialogs[0].text), "設定を記憶しました。");
    EXPECT_EQ(result.dialogs[1].text, e2e::SuccessText("hanako@" + e2e::CarrierDomain, name));
    EXPECT_THAT(testsupport::FtpCommands(testsupport::FtpServerKind::Vsftpd, ftpLog.text()),
                ElementsAre("USER zdq", "PASS <password>", "TYPE I", "CWD ./", "PASV", "STOR " + name));
    EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd.root / name), "file " + name);
    ASSERT_TRUE(requests.WaitFor("HTTP/1.0"));
    EXPECT_EQ(requests.text(), "POST /ftp.php?file=" + name + "&name=Taro&mail=hanako@" + e2e::CarrierDomain + " HTTP/1.0\n");
}

// A carrier the build's list lacks (a registry edited by hand, a value of another build) is no
// destination: the settings window comes up with its hint, and nothing goes to "taro@".
TEST_F(SettingsSend, AStoredCarrierTheListLacksOpensTheSettingsWindowAndSendsNothing) {
    const auto file = folder_.Write(testsupport::UniqueName("photo", ".jpg"), "a photo");
    testsupport::LogTail ftpLog(bed().vsftpd.log);
    testsupport::LogTail requests(bed().nginx.requestLineLog);

    ProgramRun run({"Taro", "taro", 99}, {bed().vsftpd.port, bed().nginx.port}, file);
    const std::string window = run.WaitForWindow(std::chrono::seconds{30});
    ASSERT_FALSE(window.empty()) << "no settings window: " << run.Finish({}, std::chrono::seconds{5}).errorOutput;
    ProgramRun::CloseWindow(window);
    const RunResult result = run.Finish({}, std::chrono::seconds{30});

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(result.dialogs, testing::IsEmpty());
    EXPECT_THAT(result.errorOutput, testing::HasSubstr("hint: ミルテ・ポスト: 送信先が未設定です。保存するとファイルを送信します。\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ftpLog.text(), "");  // not even a connection
    EXPECT_EQ(requests.text(), "");
}

}  // namespace
