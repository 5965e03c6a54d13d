// The window's information links, and a send seen from the window: Qt keeps running while the
// send waits for a server, and a send that takes a while shows its progress window, from which
// the user can cancel it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <vector>

#include "app/build_constants.h"
#include "app/message_texts.h"
#include "platform/cp932.h"
#include "app/qt/progress_window.h"
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

    // Points the send at the server, with a destination saved.
    static void SendTo(ScopedEnvironment& environment, const testsupport::ScriptServer& ftp) {
        environment.Set("MILTE_UPLOAD_HOST", "127.0.0.1");
        environment.Set("MILTE_FTP_PORT", std::to_string(ftp.port()).c_str());
        platform::TRegistry registry;
        registry.OpenKey(std::string("\\") + SettingsKey, true);
        registry.WriteString("MAIL1", "taro");
    }
};

// The progress window while it is on the screen, or null.
QWidget* VisibleProgressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "ProgressWindow" && widget->isVisible()) return widget;
    return nullptr;
}

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

TEST_F(LinksAndSend, ALinkWithTheFocusIsPressedByEnterAndBySpace) {
    QtMainForm1 window({});
    window.show();
    window.findChild<QLineEdit*>("Edit1")->setText("Taro");
    window.findChild<QLineEdit*>("Edit2")->setText("taro");  // the save button is enabled, and Enter still presses the link
    auto* link = window.findChild<QToolButton*>("SpeedButton3");
    link->setFocus(Qt::TabFocusReason);
    QTest::keyClick(link, Qt::Key_Return);
    QTest::keyClick(link, Qt::Key_Space);
    ASSERT_EQ(log_.size(), 2u);
    for (const std::string& shown : log_) EXPECT_EQ(shown.rfind("message: 【対応ファイル形式一覧】", 0), 0u) << shown;
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
    SendTo(environment, ftp);
    testsupport::TempDir files;
    const auto file = files.Write("photo.jpg", "data");

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QtMainForm1 window({app::DroppedFileFromPath(platform::FilePath(file))});
    window.show();  // the send runs in here

    EXPECT_TRUE(ftp.Finish().empty());
    ASSERT_EQ(log_.size(), 2u);
    EXPECT_EQ(log_[0], "beep");
    EXPECT_EQ(log_[1].rfind("message: インターネットに接続できません。\n\nサーバーへのログインが拒否されました。[530 not you]", 0), 0u)
        << log_[1];
    EXPECT_GE(ticks, 10);  // Qt's own timer ran during the 400 ms the server kept still
    EXPECT_FALSE(window.isVisible());
}

TEST_F(LinksAndSend, ASendStillConnectingAfterASecondShowsItsProgressAndEachWayToCancelEndsItWithoutAWord) {
    const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> cancels = {
        {"Esc", [](QWidget* progress) { QTest::keyClick(progress, Qt::Key_Escape); }},
        {"the button", [](QWidget* progress) { progress->findChild<QPushButton*>("CancelButton")->click(); }},
        {"the close box", [](QWidget* progress) { progress->close(); }},
    };
    for (const auto& [how, cancel] : cancels) {
        SCOPED_TRACE(how);
        testsupport::ScriptServer ftp;  // never answers the CWD
        ftp.Accept().SendLine("220 scripted").ExpectLine("USER zdq").SendLine("331 password")
            .ExpectLine("PASS Qm7tR2xw").SendLine("230 in").ExpectLine("TYPE I").SendLine("200 binary")
            .ExpectLine("CWD ./").WaitForPeerClose();
        ftp.Start();
        ScopedEnvironment environment;
        SendTo(environment, ftp);
        testsupport::TempDir files;
        const auto file = files.Write("写真 2024.jpg", std::string(1'234'567, 'x'));

        // What the window showed when it came, and when.
        std::map<std::string, QString> texts;
        QString caption;
        int bar = -1;
        std::chrono::milliseconds cameAfter{0};
        const auto started = std::chrono::steady_clock::now();
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&, cancel = cancel] {
            QWidget* progress = VisibleProgressWindow();
            if (progress == nullptr) return;
            watcher.stop();
            cameAfter = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
            caption = progress->windowTitle();
            for (const char* name : {"FileName", "Activity", "Bytes"}) texts[name] = progress->findChild<QLabel*>(name)->text();
            texts["CancelButton"] = progress->findChild<QPushButton*>("CancelButton")->text();
            bar = progress->findChild<QProgressBar*>("ProgressBar")->value();
            cancel(progress);
        });
        watcher.start(10);
        auto window = std::make_unique<QtMainForm1>(app::DroppedFiles{app::DroppedFileFromPath(platform::FilePath(file))});
        window->show();  // the send runs in here
        EXPECT_EQ(VisibleProgressWindow(), nullptr);
        EXPECT_FALSE(window->isVisible());
        window.reset();  // the program ends: its connections close

        EXPECT_GE(cameAfter, 900ms);
        EXPECT_EQ(caption, "ミルテ・ポスト");
        EXPECT_EQ(texts, (std::map<std::string, QString>{{"FileName", "写真 2024.jpg"},
                                                         {"Activity", "接続しています…"},
                                                         {"Bytes", "0 / 1,234,567 バイト"},
                                                         {"CancelButton", "キャンセル"}}));
        EXPECT_EQ(bar, 0);
        EXPECT_TRUE(ftp.Finish().empty());
        EXPECT_EQ(ftp.lines().back(), "CWD ./");  // nothing more went to the server
        EXPECT_TRUE(log_.empty()) << log_.front();  // no beep, no message
    }
}

TEST_F(LinksAndSend, TheProgressWindowHasTheMainWindowsLookWithItsControlsInPlace) {
    QtMainForm1 window({});
    auto* progress = window.findChild<QWidget*>("ProgressWindow");
    ASSERT_NE(progress, nullptr);
    window.ShowProgress({"photo.jpg", "", 250, ""});
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->size(), QSize(300, 134));
    EXPECT_EQ(progress->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(progress->font().family(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(progress->font().pixelSize(), 12);
    EXPECT_EQ(progress->findChild<QProgressBar*>("ProgressBar")->value(), 250);
    const std::map<std::string, QRect> places = {{"FileName", {12, 12, 276, 16}},  {"Activity", {12, 34, 276, 16}},
                                                 {"ProgressBar", {12, 54, 276, 18}}, {"Bytes", {12, 76, 276, 16}},
                                                 {"CancelButton", {100, 98, 100, 25}}};
    for (const auto& [name, place] : places) EXPECT_EQ(progress->findChild<QWidget*>(name.c_str())->geometry(), place) << name;
    // A name too long for its line is shortened in the middle, keeping its extension.
    window.ShowProgress({std::string(200, 'a') + ".jpg", "", 0, ""});
    const QString shown = progress->findChild<QLabel*>("FileName")->text();
    EXPECT_TRUE(shown.contains(QChar(0x2026)) && shown.endsWith(".jpg")) << shown.toStdString();
    window.HideProgress();
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(LinksAndSend, InTheProgressWindowReturnAndSpaceDoNotCancelAsNoButtonHasTheFocus) {
    QtMainForm1 window({});
    auto* progress = window.findChild<app::qt::ProgressWindow*>("ProgressWindow");
    ASSERT_NE(progress, nullptr);
    int cancels = 0;
    progress->onCancel = [&cancels] { ++cancels; };
    window.ShowProgress({"photo.jpg", "", 0, ""});
    ASSERT_TRUE(QTest::qWaitForWindowActive(progress));
    QWidget* keyboard = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : progress;
    EXPECT_EQ(keyboard, progress);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) QTest::keyClick(keyboard, key);
    EXPECT_EQ(cancels, 0);
    QTest::keyClick(keyboard, Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
}

// Files dropped on the open window go through the send a drop on the icon starts, to the saved
// destination, and the window stays. With the fields edited, the question comes first: はい saves
// them and sends, いいえ sends to the saved destination and keeps the edits, キャンセル sends nothing.
TEST_F(LinksAndSend, ADropOnTheWindowSendsAndEditedFieldsAreAskedAboutFirst) {
    ScopedEnvironment environment;
    environment.Set("MILTE_UPLOAD_HOST", "127.0.0.1");
    environment.Set("MILTE_FTP_PORT", "1");  // nothing listens: each send fails at once
    {
        platform::TRegistry registry;
        registry.OpenKey(std::string("\\") + SettingsKey, true);
        registry.WriteString("NAME", "Taro");
        registry.WriteString("MAIL1", "taro");
        registry.WriteInteger("MAIL2", 0);
    }
    testsupport::TempDir files;
    const auto file = files.Write("photo.jpg", "data");
    QtMainForm1 window({});
    window.show();
    const auto drop = [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Straight to the window's own handling: outside a drag under way Qt passes no drop on.
        static_cast<QObject&>(window).event(&event);
        QTest::qWait(300);  // the send runs once the drop is over
    };
    const std::string failed = "message: インターネットに接続できません。";
    const std::string question = "question: " + platform::Cp932ToUtf8(app::SaveBeforeSendingQuestion());
    const auto saved = [] {
        platform::TRegistry registry;
        registry.OpenKey(SettingsKey, false);
        return registry.ReadString("MAIL1");
    };
    const auto began = [&](const std::string& first) { return log_.size() >= 2 && log_[1].rfind(first, 0) == 0; };

    drop();  // the fields as saved: no question
    EXPECT_TRUE(began(failed)) << testing::PrintToString(log_);
    EXPECT_TRUE(window.isVisible());

    window.findChild<QLineEdit*>("Edit2")->setText("hanako");
    for (const char* answer : {"キャンセル", "いいえ", "はい"}) {
        SCOPED_TRACE(answer);
        log_.clear();
        answerer_.questionAnswer = answer;
        drop();
        ASSERT_FALSE(log_.empty());
        EXPECT_EQ(log_[0], question);
        if (std::string(answer) == "キャンセル") EXPECT_EQ(log_.size(), 1u) << "nothing sent";
        else EXPECT_TRUE(log_.size() == 3 && log_[2].rfind(failed, 0) == 0) << testing::PrintToString(log_);
        EXPECT_EQ(saved(), std::string(answer) == "はい" ? "hanako" : "taro");
        EXPECT_EQ(window.findChild<QLineEdit*>("Edit2")->text(), "hanako");  // the edit stays
        EXPECT_TRUE(window.isVisible());
    }
}

}  // namespace
