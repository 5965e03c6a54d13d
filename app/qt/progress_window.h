#pragma once
// The send's progress window in Qt: the file's name, what the send is doing, a bar with the bytes
// sent of the file's size, and a キャンセル button. Not modal: the send goes on while it is up.
// The button, Esc and the close box all ask for the cancel through onCancel; Return and Space do
// not, as no button takes the focus. The window stays until the logic hides it.

#include <QDialog>

#include <functional>

#include "app/main_form_view.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace app::qt {

class ProgressWindow : public QDialog {
public:
    explicit ProgressWindow(QWidget* parent);

    // Shows the window with the contents, or updates it when it is up.
    void Show(const ProgressWindowContents& contents);
    std::function<void()> onCancel;

    void reject() override;  // Esc and the close box

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* FileName;
    QLabel* Activity;
    QProgressBar* ProgressBar;
    QLabel* Bytes;
    QPushButton* CancelButton;
};

}  // namespace app::qt
