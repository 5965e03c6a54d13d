// The window's information links, and a send seen from the window: Qt keeps running while the
// send waits for a server.

#include <gtest/gtest.h>

#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <string>

#include "app/build_constants.h"
#include "app/qt/qt_main_form1.h"
#include "platform/registry.h"
#include "tests/app/stand_in_opener.h"
#include "tests/app/test_environment.h"
#include "tests/app/window_test.h"
#include "tests/support/script_server.h"

namespace {

using namespace std::chrono_literals;
using app::qt::QtMainForm1;

class LinksAndSend : public WindowTest {
protected:
    static void Click(QtMainForm1& window, const char* button) { window.findChild<QToolButton*>(button)->click(); }
};

TEST_F(LinksAndSend, TheLinksOpenTheirPagesInTheBrowserAndTheFormatsListShowsWithoutABeep) {
    StandInOpener opener;
    QtMainForm1 window({});
    window.show();

    Click(window, "SpeedButton1");
    // "sn" is the running program's own file name: this test program here.
    EXPECT_EQ(opener.NextUrl(), std::string("http://") + app::InfoHost + "/info.php?pf=w&sn=test_app");
    Click(window, "SpeedButton2");
    EXPECT_EQ(opener.NextUrl(), std::string("http://") + app::UploadHost);

    Click(window, "SpeedButton3");
    EXPECT_EQ(log_, (Log{"message: 【対応ファイル形式一覧】\nai\nbmp\ndcm\neps\ngif\njpg\njpeg\npcx\npdf\npict\npct\npng\nps\n"
                         "psd\ntif\ntiff\n\n(2007.7.23現在)"}));
    EXPECT_TRUE(window.isVisible());  // nothing changes
}

TEST_F(LinksAndSend, WithoutABrowserTheLinksSayNothing) {
    OwnPath noOpener;
    QtMainForm1 window({});
    window.show();
    Click(window, "SpeedButton1");
    Click(window, "SpeedButton2");
    EXPECT_TRUE(log_.empty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(LinksAndSend, QtKeepsRunningWhileTheSendWaitsForTheServer) {
    testsupport::ScriptServer ftp;
    ftp.Accept().SendLine("220 scripted").ExpectLine("USER zdq").Stall(400ms).SendLine("530 not you")
        .ExpectLine("QUIT").SendLine("221 bye").Close();
    ftp.Start();
    ScopedEnvironment environment;
    environment.Set("MILTE_UPLOAD_HOST", "127.0.0.1");
    environment.Set("MILTE_FTP_PORT", std::to_string(ftp.port()).c_str());
    {
        platform::TRegistry registry;
        registry.OpenKey(std::string("\\") + SettingsKey, true);
        registry.WriteString("MAIL1", "taro");
    }
    testsupport::TempDir files;
    const auto file = files.Write("photo.jpg", "data");

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QtMainForm1 window(app::DroppedFileFromPath(platform::FilePath(file)));
    window.show();  // the send runs in here

    EXPECT_TRUE(ftp.Finish().empty());
    EXPECT_EQ(log_, (Log{"beep", "message: インターネットに接続できません。"}));
    EXPECT_GE(ticks, 10);  // Qt's own timer ran during the 400 ms the server kept still
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
