#pragma once
// The message dialog and the failure display, as every part of the program shows them.

#include <QDialog>

#include <string>

#include "app/main_form_view.h"

class QLabel;
class QPushButton;

namespace app::qt {

// Modal, centred, sized to its text, captioned with the application title, no icon; one OK
// button that Enter and Esc press as well. Ctrl+C copies the dialog as text.
class MessageDialog : public QDialog {
public:
    MessageDialog(const std::string& cp932Text, QWidget* parent);
    QPushButton* OkButton() const { return okButton_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::string text_;  // CP932
    QPushButton* okButton_;
};

// Shows the message dialog and waits until it is dismissed.
void ShowMessageDialog(const std::string& cp932Text, QWidget* parent);

// The question with はい, いいえ and キャンセル (Esc and the close box answer キャンセル).
QuestionAnswer AskQuestionDialog(const std::string& cp932Text, QWidget* parent);
// A question answered はい (the default, Return) or いいえ (Esc); true for はい.
bool AskYesNoDialog(const std::string& cp932Text, QWidget* parent);

// The failure display: the failure's message (with its full stop), an error icon, one OK button.
void ShowFailureDisplay(const std::string& cp932Message, QWidget* parent);

// One line on the standard error stream for every window a send shows, "<kind>: <caption>:
// <text>" with line feeds as "\n" (kind "dialog" for the dialogs, "progress" for the progress
// window, "hint" for the settings window's hint line), so a send, which has no window of its
// own, leaves a trace of what the user was shown.
void LogShownWindow(const QString& kind, const QString& caption, const QString& text);

}  // namespace app::qt
