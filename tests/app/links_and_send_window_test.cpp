// The window's information links, and a send seen from the window: Qt keeps running while the
// send waits for a server.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/build_constants.h"
#include "app/qt/message_dialog.h"
#include "app/qt/qt_main_form1.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "temp_folder.h"
#include "tests/support/script_server.h"

namespace {

using namespace std::chrono_literals;
using app::qt::MessageDialog;
using app::qt::QtMainForm1;
using Log = std::vector<std::string>;  // "beep", "message: <text>" (UTF-8)

// Notes every message dialog as it opens and presses its OK button.
class DialogAnswerer {
public:
    explicit DialogAnswerer(Log& log) : log_(log) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = dynamic_cast<MessageDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog == answered_) return;
            answered_ = dialog;
            log_.push_back("message: " + dialog->findChild<QLabel*>("MessageText")->text().toStdString());
            dialog->OkButton()->click();
        });
        poll_.start(5);
    }

private:
    Log& log_;
    QTimer poll_;
    QPointer<QWidget> answered_;
};

class LinksAndSend : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetBellHook([this] { log_.push_back("beep"); });
        oldPath_ = std::getenv("PATH");
    }
    void TearDown() override {
        platform::SetBellHook([] { QApplication::beep(); });
        ::setenv("PATH", oldPath_.c_str(), 1);
    }

    // A stand-in browser opener on PATH that writes down the URL it was given.
    std::string InstallOpener() {
        const std::string record = bin_ / "opened";
        std::ofstream(bin_ / "xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << record << ".tmp' && /bin/mv '"
                                         << record << ".tmp' '" << record << "'\n";
        std::filesystem::permissions(bin_ / "xdg-open", std::filesystem::perms::owner_all);
        ::setenv("PATH", bin_.Path().c_str(), 1);
        return record;
    }
    static std::string WaitForFile(const std::string& file) {
        for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i) std::this_thread::sleep_for(10ms);
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        std::filesystem::remove(file);
        return text.str();
    }

    TempConfigHome home_;
    TempFolder bin_;
    Log log_;
    DialogAnswerer answerer_{log_};
    std::string oldPath_;
};

TEST_F(LinksAndSend, TheLinksOpenTheirPagesInTheBrowserAndTheFormatsListShowsWithoutABeep) {
    const std::string opened = InstallOpener();
    QtMainForm1 window({});
    window.show();

    window.findChild<QToolButton*>("SpeedButton1")->click();
    // "sn" is the running program's own file name: this test program here.
    EXPECT_EQ(WaitForFile(opened), std::string("http://") + app::InfoHost + "/info.php?pf=w&sn=test_app");
    window.findChild<QToolButton*>("SpeedButton2")->click();
    EXPECT_EQ(WaitForFile(opened), std::string("http://") + app::UploadHost);

    window.findChild<QToolButton*>("SpeedButton3")->click();
    EXPECT_EQ(log_, (Log{"message: 【対応ファイル形式一覧】\nai\nbmp\ndcm\neps\ngif\njpg\njpeg\npcx\npdf\npict\npct\npng\nps\n"
                         "psd\ntif\ntiff\n\n(2007.7.23現在)"}));
    EXPECT_TRUE(window.isVisible());  // nothing changes
}

TEST_F(LinksAndSend, WithoutABrowserTheLinksSayNothing) {
    ::setenv("PATH", bin_.Path().c_str(), 1);  // no opener at all
    QtMainForm1 window({});
    window.show();
    window.findChild<QToolButton*>("SpeedButton1")->click();
    window.findChild<QToolButton*>("SpeedButton2")->click();
    EXPECT_TRUE(log_.empty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(LinksAndSend, QtKeepsRunningWhileTheSendWaitsForTheServer) {
    testsupport::ScriptServer ftp;
    ftp.Accept().SendLine("220 scripted").ExpectLine("USER zdq").Stall(400ms).SendLine("530 not you")
        .ExpectLine("QUIT").SendLine("221 bye").Close();
    ftp.Start();
    ::setenv("MILTE_UPLOAD_HOST", "127.0.0.1", 1);
    ::setenv("MILTE_FTP_PORT", std::to_string(ftp.port()).c_str(), 1);
    {
        platform::TRegistry registry;
        registry.OpenKey("\\Software\\Varrowen\\iZDQ", true);
        registry.WriteString("MAIL1", "taro");
    }
    const auto file = bin_ / "photo.jpg";
    std::ofstream(file) << "data";

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QtMainForm1 window(app::DroppedFileFromUtf8(file.c_str()));
    window.show();  // the send runs in here
    ::unsetenv("MILTE_UPLOAD_HOST");
    ::unsetenv("MILTE_FTP_PORT");

    EXPECT_TRUE(ftp.Finish().empty());
    EXPECT_EQ(log_, (Log{"beep", "message: インターネットに接続できません。"}));
    EXPECT_GE(ticks, 10);  // Qt's own timer ran during the 400 ms the server kept still
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
