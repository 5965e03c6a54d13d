#include "app/qt/progress_window.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/dialog_texts.h"
#include "app/qt/message_dialog.h"
#include "app/qt/qt_text.h"
#include "app/qt/window_look.h"

namespace app::qt {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("ProgressWindow");
    setWindowTitle(ToQString(ApplicationTitle()));
    setFixedSize(300, 134);
    SetWindowLook(this);

    FileName = Place(new QLabel(this), "FileName", 12, 12, 276, 16, ControlFont(12, true));
    FileName->setTextFormat(Qt::PlainText);
    Activity = Place(new QLabel(this), "Activity", 12, 34, 276, 16, ControlFont(12));
    SetTextColour(Activity, LookGrey());
    ProgressBar = Place(new QProgressBar(this), "ProgressBar", 12, 54, 276, 18, ControlFont(12));
    ProgressBar->setRange(0, ProgressWindowContents::BarRange);
    ProgressBar->setTextVisible(false);
    Bytes = Place(new QLabel(this), "Bytes", 12, 76, 276, 16, ControlFont(12));
    Bytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetTextColour(Bytes, LookGrey());
    CancelButton = Place(new QPushButton(QStringLiteral("キャンセル"), this), "CancelButton", 100, 98, 100, 25,
                         ControlFont(16));
    // Never the focus nor the default: Return and Space must not stop a send by chance.
    CancelButton->setFocusPolicy(Qt::NoFocus);
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, &ProgressWindow::reject);
}

void ProgressWindow::Show(const ProgressWindowContents& contents) {
    const QString fileName = ToQString(contents.fileName);
    FileName->setText(QFontMetrics(FileName->font()).elidedText(fileName, Qt::ElideMiddle, FileName->width()));
    Activity->setText(ToQString(contents.activity));
    ProgressBar->setValue(contents.barPosition);
    Bytes->setText(ToQString(contents.bytes));
    if (isVisible()) return;
    LogShownWindow("progress", windowTitle(), fileName);
    show();
    raise();
    activateWindow();  // Esc reaches the window itself
}

void ProgressWindow::reject() {
    if (onCancel) onCancel();
}

void ProgressWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) move(screen->geometry().center() - rect().center());
}

}  // namespace app::qt
