// Several files at once, as the shell hands over a multi-selection: one log-in, each accepted
// file uploaded and then announced, and one message at the end that names them all.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/cp932.h"
#include "tests/e2e/program_run.h"
#include "tests/e2e/scripted_ftp.h"
#include "tests/support/testbed.h"

namespace {

using e2e::RandomBytes;

using e2e::ProgramRun;
using e2e::RunResult;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testsupport::Connection;
using testsupport::FtpServerKind;
using testsupport::LogTail;

class SendSeveral : public testsupport::TestbedTest {
protected:
    // Three files named after stems: the first and last accepted, the middle one with extension.
    void MakeFiles(const std::string& middleExtension) {
        names_ = {testsupport::UniqueName("first", ".png"), testsupport::UniqueName("second", middleExtension),
                  testsupport::UniqueName("third", ".jpg")};
        for (std::size_t i = 0; i < names_.size(); ++i) {
            bytes_.push_back(RandomBytes(100'000 + 1000 * i));
            files_.push_back(folder_.Write(names_[i], bytes_[i]));
        }
    }
    std::string Notification(std::size_t file) const {
        return "POST /ftp.php?file=" + names_[file] + "&name=Taro&mail=taro@" + e2e::CarrierDomain + " HTTP/1.0";
    }
    // The summary's first line and each list, as the message shows them.
    static std::string Sent(const std::vector<std::string>& names) {
        std::string list = "【送信したファイル】";
        for (const auto& name : names) list += "\n・" + name;
        return list + "\n";
    }

    testsupport::TempDir folder_;
    std::vector<std::string> names_;
    std::vector<std::string> bytes_;
    std::vector<std::filesystem::path> files_;
};

TEST_F(SendSeveral, OneLogInEachFileAnnouncedAfterItsUploadAndOneMessageNamingThemAll) {
    MakeFiles(".exe");
    LogTail ftpLog(bed().vsftpd.log);
    LogTail requests(bed().nginx.requestLog);

    ProgramRun run({"Taro", "taro", 0}, {bed().vsftpd.port, bed().nginx.port}, files_);
    const RunResult result = run.Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 1u) << result.errorOutput;
    const std::string& summary = result.dialogs[0].text;
    EXPECT_EQ(e2e::FirstLine(summary), "taro@" + e2e::CarrierDomain + " 宛てに、3 個のファイルのうち 2 個を送信しました。");
    EXPECT_THAT(summary, HasSubstr(Sent({names_[0], names_[2]})));
    EXPECT_THAT(summary, HasSubstr("【送信しなかったファイル】\n・" + names_[1] + "：.exe形式のファイルは非対応です。\n"));
    EXPECT_THAT(summary, testing::Not(HasSubstr("送信の記録")));  // nothing failed

    EXPECT_THAT(testsupport::FtpCommands(FtpServerKind::Vsftpd, ftpLog.text()),
                ElementsAre("USER zdq", "PASS <password>", "TYPE I", "CWD ./", "PASV", "STOR " + names_[0], "PASV",
                            "STOR " + names_[2]));
    for (std::size_t file : {0u, 2u})
        EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd.root / names_[file]), bytes_[file]) << names_[file];
    const auto records = testsupport::WaitForNginxRequests(requests, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].requestLine, Notification(0));
    EXPECT_EQ(records[1].requestLine, Notification(2));
    // Each notification right after its own upload.
    const std::string log = run.LastSendLogged();
    const auto at = [&](const std::string& line) { return log.find(line); };
    EXPECT_LT(at("ftp: STOR " + names_[0]), at("http: " + Notification(0))) << log;
    EXPECT_LT(at("http: " + Notification(0)), at("ftp: STOR " + names_[2])) << log;
    EXPECT_LT(at("ftp: STOR " + names_[2]), at("http: " + Notification(2))) << log;
    EXPECT_NE(at("http: " + Notification(2)), std::string::npos) << log;
}

TEST_F(SendSeveral, AFileTheServerRefusesIsReportedAndTheOthersGoOn) {
    MakeFiles(".gif");
    auto received = std::make_shared<std::vector<std::string>>();
    testsupport::ScriptServer ftp;
    const auto takeFile = [this, received](std::size_t file) {
        return [this, received, file](Connection& control) {
            received->push_back(e2e::ReadAllData(e2e::OpenPassiveDataConnection(control, names_[file], 65536)));
            control.Send("226 stored\r\n");
        };
    };
    e2e::ScriptLogIn(ftp).Run(takeFile(0))
        .Run([this](Connection& control) { e2e::RefusePassiveStore(control, names_[1], "553 Could not create file."); })
        .Run(takeFile(2)).WaitForPeerClose();
    ftp.Start();
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {ftp.port(), bed().nginx.port}, files_).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(ftp.Finish(), IsEmpty());
    EXPECT_THAT(*received, ElementsAre(bytes_[0], bytes_[2]));
    ASSERT_EQ(result.dialogs.size(), 1u) << result.errorOutput;
    const std::string& summary = result.dialogs[0].text;
    EXPECT_EQ(e2e::FirstLine(summary), "taro@" + e2e::CarrierDomain + " 宛てに、3 個のファイルのうち 2 個を送信しました。");
    EXPECT_THAT(summary, HasSubstr(Sent({names_[0], names_[2]})));
    EXPECT_THAT(summary, HasSubstr("【送信できなかったファイル】\n・" + names_[1] +
                                   "：サーバーがファイルの受け取りを拒否しました。[553 Could not create file.]\n"));
    EXPECT_THAT(summary, testing::ContainsRegex("\n\n送信の記録: .*send\\.log$"));
    const auto records = testsupport::WaitForNginxRequests(requests, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].requestLine, Notification(0));
    EXPECT_EQ(records[1].requestLine, Notification(2));
}

// Photos of two cameras share names: of two files of one name, the first goes and the second is
// refused, so the server keeps the first and the phone gets one link for it.
TEST_F(SendSeveral, OfTwoFilesOfOneNameTheFirstIsSentAndTheSecondRefused) {
    const std::string name = testsupport::UniqueName("IMG", ".jpg");
    const std::vector<std::string> bytes = {RandomBytes(3000), RandomBytes(4000)};
    for (const char* camera : {"one", "two"}) std::filesystem::create_directory(folder_.path() / camera);
    const std::vector<std::filesystem::path> files = {folder_.Write("one/" + name, bytes[0]),
                                                      folder_.Write("two/" + name, bytes[1])};
    LogTail ftpLog(bed().vsftpd.log);
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {bed().vsftpd.port, bed().nginx.port}, files).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 1u) << result.errorOutput;
    const std::string& summary = result.dialogs[0].text;
    EXPECT_EQ(e2e::FirstLine(summary), "taro@" + e2e::CarrierDomain + " 宛てに、2 個のファイルのうち 1 個を送信しました。");
    EXPECT_THAT(summary, HasSubstr(Sent({name})));
    EXPECT_THAT(summary, HasSubstr("【送信しなかったファイル】\n・" + name +
                                   "：同じ名前のファイルが先にあります。サーバーで上書きされるため、送信しません。\n"));
    EXPECT_THAT(testsupport::FtpCommands(FtpServerKind::Vsftpd, ftpLog.text()),
                ElementsAre("USER zdq", "PASS <password>", "TYPE I", "CWD ./", "PASV", "STOR " + name));
    EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd.root / name), bytes[0]);
    const auto records = testsupport::WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(testsupport::ParseNginxRequests(requests.text()).size(), 1u);  // one link, not two
}

}  // namespace
