#include "app/qt/message_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cstdio>

#include "app/dialog_texts.h"
#include "app/qt/qt_text.h"
#include "platform/shell.h"

namespace app::qt {

MessageDialog::MessageDialog(const std::string& cp932Text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      text_(cp932Text) {
    setWindowTitle(ToQString(ApplicationTitle()));
    auto* label = new QLabel(ToQString(cp932Text), this);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName("MessageText");
    okButton_ = new QPushButton("OK", this);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(label);
    layout->addSpacing(8);
    layout->addWidget(okButton_, 0, Qt::AlignHCenter);
    okButton_->setMinimumWidth(75);
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        platform::MessageBeep();
        std::string copy = MessageDialogCopyText(ApplicationTitle(), text_, {"OK"});
        QApplication::clipboard()->setText(ToQString(copy));
        return;
    }
    QDialog::keyPressEvent(event);  // Esc rejects: the one button is the cancel button too
}

void MessageDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) move(screen->geometry().center() - rect().center());
}

void LogShownWindow(const QString& kind, const QString& caption, const QString& text) {
    QString line = kind + QStringLiteral(": ") + caption + QStringLiteral(": ") + text;
    line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

void ShowMessageDialog(const std::string& cp932Text, QWidget* parent) {
    MessageDialog dialog(cp932Text, parent);
    LogShownWindow(QStringLiteral("dialog"), dialog.windowTitle(), ToQString(cp932Text));
    dialog.exec();
}

namespace {

// A question with はい (the default) and いいえ, and キャンセル when asked for; Esc is the last.
QuestionAnswer Ask(const std::string& cp932Text, QWidget* parent, bool withCancel) {
    QMessageBox box(QMessageBox::Question, ToQString(ApplicationTitle()), ToQString(cp932Text), QMessageBox::NoButton,
                    parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    QPushButton* cancel = withCancel ? box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole) : nullptr;
    box.setDefaultButton(yes);
    box.setEscapeButton(withCancel ? cancel : no);
    LogShownWindow(QStringLiteral("dialog"), box.windowTitle(), box.text());
    box.exec();
    if (box.clickedButton() == yes) return QuestionAnswer::Yes;
    if (box.clickedButton() == no) return QuestionAnswer::No;
    return QuestionAnswer::Cancel;
}

}  // namespace

QuestionAnswer AskQuestionDialog(const std::string& cp932Text, QWidget* parent) { return Ask(cp932Text, parent, true); }

bool AskYesNoDialog(const std::string& cp932Text, QWidget* parent) {
    return Ask(cp932Text, parent, false) == QuestionAnswer::Yes;
}

void ShowFailureDisplay(const std::string& cp932Message, QWidget* parent) {
    QMessageBox box(QMessageBox::Critical, ToQString(ApplicationTitle()), ToQString(FailureDisplayText(cp932Message)),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    LogShownWindow(QStringLiteral("dialog"), box.windowTitle(), box.text());
    box.exec();
}

}  // namespace app::qt
