#pragma once
// In-process window tests: a settings store of the test's own, and a user who hears the bell,
// reads every modal dialog and answers it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "app/qt/message_dialog.h"
#include "platform/shell.h"
#include "tests/app/test_environment.h"

// What the user met, in order: "beep", "message: <text>", "failure: <caption> | <text>" (UTF-8).
using Log = std::vector<std::string>;

// Notes the bell in the log while it lives, then gives the bell back to Qt.
class BellRecorder {
public:
    explicit BellRecorder(Log& log) {
        platform::SetBellHook([&log] { log.push_back("beep"); });
    }
    ~BellRecorder() { platform::SetBellHook([] { QApplication::beep(); }); }
    BellRecorder(const BellRecorder&) = delete;
    BellRecorder& operator=(const BellRecorder&) = delete;
};

// Answers every modal dialog as it opens: notes it in the log, then replies (by default: OK).
class DialogAnswerer {
public:
    explicit DialogAnswerer(Log& log) : log_(log) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
        poll_.start(5);
    }
    std::function<void(app::qt::MessageDialog*)> reply;  // replaces the click on OK for message dialogs
    std::string questionAnswer = "キャンセル";  // the button a question is answered with

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == answered_) return;
        answered_ = modal;
        if (auto* dialog = dynamic_cast<app::qt::MessageDialog*>(modal)) {
            log_.push_back("message: " + dialog->findChild<QLabel*>("MessageText")->text().toStdString());
            if (reply) reply(dialog);
            else dialog->OkButton()->click();
        } else if (auto* question = qobject_cast<QMessageBox*>(modal); question && question->icon() == QMessageBox::Question) {
            log_.push_back("question: " + question->text().toStdString());
            for (QAbstractButton* button : question->buttons())
                if (button->text().toStdString() == questionAnswer) button->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            std::string icon = box->icon() == QMessageBox::Critical ? "failure: " : "other box: ";
            log_.push_back(icon + box->windowTitle().toStdString() + " | " + box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
        }
    }

    Log& log_;
    QTimer poll_;
    QPointer<QWidget> answered_;
};

// A window test's settings store, the log of what the user met, and the user answering.
class WindowTest : public ::testing::Test {
protected:
    TempConfigHome home_;
    Log log_;
    BellRecorder bell_{log_};
    DialogAnswerer answerer_{log_};
};
