// Sends by the real program that depend on what the settings window offers: a carrier other than
// the first, and a file of a format the list of formats names.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <iterator>
#include <string>

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

}  // namespace
