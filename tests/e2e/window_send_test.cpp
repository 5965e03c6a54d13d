// Sends started from the open settings window: files chosen with Ctrl+O, or copied in a file
// manager and pasted with Ctrl+V, go out as a drop on the icon sends them, and the window stays
// for the next send.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/program_run.h"
#include "tests/support/script_server.h"
#include "tests/support/testbed.h"

namespace {

using namespace std::chrono_literals;
using e2e::ProgramRun;
using testing::Contains;
using testing::ElementsAre;

class WindowSend : public testsupport::TestbedTest {
protected:
    testsupport::TempDir folder_;
};

TEST_F(WindowSend, CtrlOChoosesAFileThatIsSentAndTheWindowStaysForTheNext) {
    ProgramRun run({"Taro", "taro", 0}, {bed().vsftpd.port, bed().nginx.port}, std::vector<std::filesystem::path>{});
    const std::string window = run.WaitForWindow(30s);
    ASSERT_FALSE(window.empty()) << "no settings window: " << run.Finish({}, 5s).errorOutput;
    for (const char* stem : {"chosen", "second"}) {
        SCOPED_TRACE(stem);
        const std::string name = testsupport::UniqueName(stem, ".jpg");
        const auto file = folder_.Write(name, "picture " + name);
        testsupport::LogTail requests(bed().nginx.requestLineLog);

        std::string chooser;
        for (int press = 0; press < 3 && chooser.empty(); ++press) {  // a key may meet a window still busy
            ProgramRun::PressKey(window, "ctrl+o");
            chooser = ProgramRun::WaitForWindowTitled("送信するファイルを選択", 10s);
        }
        ASSERT_FALSE(chooser.empty()) << "no file chooser";
        std::this_thread::sleep_for(500ms);  // its file name field takes the keys once it is up
        ProgramRun::Type(chooser, ProgramRun::ProgramPath(file));
        ProgramRun::PressKey(chooser, "Return");
        const std::vector<e2e::Dialog> dialogs = run.AnswerDialogs(1, 60s);

        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].text, e2e::SuccessText("taro@" + e2e::CarrierDomain, name));
        EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd.root / name), "picture " + name);
        ASSERT_TRUE(requests.WaitFor("HTTP/1.0"));
        EXPECT_EQ(requests.text(), "POST /ftp.php?file=" + name + "&name=Taro&mail=taro@" + e2e::CarrierDomain + " HTTP/1.0\n");
        EXPECT_THAT(run.VisibleWindows(), Contains(window));  // still open
        // The send is over once its log entry is written; a key pressed before goes to the send.
        const auto deadline = e2e::Clock::now() + 30s;
        while (run.SendLogText().find("STOR " + name) == std::string::npos && e2e::Clock::now() < deadline)
            std::this_thread::sleep_for(50ms);
    }
    // A Ctrl+O pressed again above may have opened one more chooser once the window was free.
    if (const std::string extra = ProgramRun::WaitForWindowTitled("送信するファイルを選択", 2s); !extra.empty())
        ProgramRun::PressKey(extra, "Escape");
    ProgramRun::CloseWindow(window);
    const e2e::RunResult result = run.Finish({}, 30s);
    EXPECT_TRUE(result.ended) << result.errorOutput;
}

TEST_F(WindowSend, CtrlVOutsideTheFieldsSendsTheFilesCopiedInAFileManager) {
    ProgramRun run({"Taro", "taro", 0}, {bed().vsftpd.port, bed().nginx.port}, std::vector<std::filesystem::path>{});
    const std::string window = run.WaitForWindow(30s);
    ASSERT_FALSE(window.empty()) << "no settings window: " << run.Finish({}, 5s).errorOutput;
    std::vector<std::string> names;
    std::vector<std::filesystem::path> files;
    for (const char* stem : {"pasted", "copied"}) {
        names.push_back(testsupport::UniqueName(stem, ".png"));
        files.push_back(folder_.Write(names.back(), "picture " + names.back()));
    }
    e2e::ClipboardFiles clipboard(files);

    ProgramRun::PressKey(window, "Tab Tab ctrl+v");  // on the list: in a name field Ctrl+V pastes text
    const std::vector<e2e::Dialog> dialogs = run.AnswerDialogs(1, 60s);

    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(e2e::FirstLine(dialogs[0].text),
              "taro@" + e2e::CarrierDomain + " 宛てに、2 個のファイルを送信しました。");
    for (const std::string& name : names)
        EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd.root / name), "picture " + name) << name;
    EXPECT_THAT(run.VisibleWindows(), Contains(window));  // still open
    ProgramRun::CloseWindow(window);
    EXPECT_TRUE(run.Finish({}, 30s).ended);
}

// Closing the window while its send waits on a server that never greets ends the send, as its
// cancel does, and then the program, with nothing sent and nothing said.
TEST_F(WindowSend, ClosingTheWindowDuringASendCancelsItAndEndsTheProgram) {
    testsupport::ScriptServer silent(testsupport::Milliseconds{60'000});  // Wine takes its time to start
    silent.Accept().WaitForPeerClose();
    silent.Start();
    ProgramRun run({"Taro", "taro", 0}, {silent.port(), bed().nginx.port}, std::vector<std::filesystem::path>{});
    const std::string window = run.WaitForWindow(30s);
    ASSERT_FALSE(window.empty()) << "no settings window: " << run.Finish({}, 5s).errorOutput;
    e2e::ClipboardFiles clipboard({folder_.Write(testsupport::UniqueName("closed", ".jpg"), "picture")});
    ProgramRun::PressKey(window, "Tab Tab ctrl+v");
    const auto deadline = e2e::Clock::now() + 30s;  // the send waits for the greeting, its progress shown
    while (run.VisibleWindows().size() < 2 && e2e::Clock::now() < deadline) std::this_thread::sleep_for(50ms);
    ASSERT_EQ(run.VisibleWindows().size(), 2u) << "no progress window";

    ProgramRun::CloseWindow(window);
    const e2e::RunResult result = run.Finish({}, 30s);
    EXPECT_TRUE(result.ended) << result.errorOutput;
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_TRUE(result.dialogs.empty());
    EXPECT_THAT(silent.Finish(), testing::IsEmpty());  // the program came, and hung up
}

}  // namespace
