#include "app/qt/qt_main_form1.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include <exception>
#include <utility>

#include "app/build_constants.h"
#include "app/dialog_texts.h"
#include "app/dropped_file_check.h"
#include "app/message_texts.h"
#include "app/qt/message_dialog.h"
#include "app/qt/progress_window.h"
#include "app/qt/qt_text.h"
#include "app/qt/shape_widget.h"
#include "app/qt/window_look.h"
#include "platform/runtime.h"

namespace app::qt {
namespace {

const QColor Grey = LookGrey();

// A title that covers the frame line beneath it.
QLabel* TitleLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(true);
    SetTextColour(label, Grey);
    return label;
}

QToolButton* LinkButton(const QString& text, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);  // a click leaves the focus where it was
    SetTextColour(button, Grey);
    return button;
}

}  // namespace

QtMainForm1::QtMainForm1(DroppedFiles files, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_QuitOnClose, true);  // a tool window would not end the program otherwise
    setObjectName("MainForm1");
    setWindowTitle(ToQString(ApplicationTitle()));
    setFixedSize(318, 344);
    setAcceptDrops(true);
    SetWindowLook(this);

    CreateControls();
    logic_ = std::make_unique<TMainForm1>(*this, std::move(files));
    BindHandlers();
}

QtMainForm1::~QtMainForm1() = default;

void QtMainForm1::CreateControls() {
    Shape2 = Place(new ShapeWidget(Grey, this), "Shape2", 12, 96, 294, 60, font());
    Label5 = Place(new QLabel(this), "Label5", 16, 254, 290, 60, ControlFont(12));
    Label5->setText(QStringLiteral(
        "「ミルテ」は、携帯電話向け無料ファイル転送サービスです。このソフトウェアから送信されたファイルは、"
        "リンク付きメールとして送信先に届きます。リンクされたファイルは専用の携帯アプリにより、快適に閲覧することができます。"));
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetTextColour(Label5, Grey);
    Shape1 = Place(new ShapeWidget(Grey, this), "Shape1", 12, 20, 220, 60, font());
    Label1 = Place(TitleLabel(QStringLiteral(" あなたの名前 "), this), "Label1", 24, 12, 110, 16, ControlFont(16, true));
    Label2 = Place(TitleLabel(QStringLiteral(" 送信先（携帯） "), this), "Label2", 24, 92, 115, 16, ControlFont(16, true));
    Label3 = Place(TitleLabel(QStringLiteral("＠"), this), "Label3", 132, 124, 17, 16, ControlFont(16, true));
    const QFont linkFont = ControlFont(12, false, true);
    SpeedButton1 = Place(LinkButton(QStringLiteral("info."), this), "SpeedButton1", 288, 2, 28, 24, linkFont);
    SpeedButton2 = Place(LinkButton(QStringLiteral("サービスの詳細(WEB)"), this), "SpeedButton2", 194, 316, 120, 24, linkFont);
    SpeedButton3 = Place(LinkButton(QStringLiteral("対応ファイル形式"), this), "SpeedButton3", 4, 316, 120, 24, linkFont);

    ComboBox1 = Place(new QComboBox(this), "ComboBox1", 154, 120, 140, 24, ControlFont(16));
    ComboBox1->setEditable(false);
    ComboBox1->setMaxVisibleItems(20);
    for (const char* domain : CarrierDomains) ComboBox1->addItem(QString::fromLatin1(domain));
    Edit1 = Place(new QLineEdit(this), "Edit1", 30, 40, 184, 24, ControlFont(16));
    Edit2 = Place(new QLineEdit(this), "Edit2", 30, 120, 100, 24, ControlFont(16));
    Edit2->setAttribute(Qt::WA_InputMethodEnabled, false);  // the local part is typed without conversion
    for (QLineEdit* edit : {Edit1, Edit2}) edit->setValidator(new Cp932Validator(edit));
    Button1 = Place(new QPushButton(QStringLiteral("設定保存"), this), "Button1", 98, 172, 120, 25, ControlFont(16));
    Button1->setEnabled(false);
    Button1->setDefault(true);  // Enter in the window presses it (keyPressEvent), and it looks it
    Button1->setAutoDefault(true);  // Enter on the focused button presses it, as Space does
    Button2 = Place(new QPushButton(QStringLiteral("ファイルを選んで送信..."), this), "Button2", 69, 204, 180, 25,
                    ControlFont(16));
    Button2->setAutoDefault(false);
    HowTo = Place(new QLabel(QStringLiteral("ここかアイコンへのドロップでも送信できます。"), this), "HowTo", 16, 234, 290, 16,
                  ControlFont(12));
    HowTo->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SetTextColour(HowTo, Grey);
    Hint = Place(new QLabel(this), "Hint", 12, 6, 294, 16, ControlFont(12));
    Hint->setTextFormat(Qt::PlainText);
    Hint->hide();

    ProgressForm = new ProgressWindow(this);

    // What a screen reader says for each control: a field's name is its group title.
    Edit1->setAccessibleName(QStringLiteral("あなたの名前"));
    Edit2->setAccessibleName(QStringLiteral("送信先（携帯）の＠より前"));
    ComboBox1->setAccessibleName(QStringLiteral("送信先（携帯）の＠より後ろ"));
    SpeedButton1->setAccessibleName(QStringLiteral("info.（作者の情報ページ）"));

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, SpeedButton3);
    setTabOrder(SpeedButton3, SpeedButton2);
    setTabOrder(SpeedButton2, SpeedButton1);
    Edit1->setFocus();  // the first in the tab order, though the links were made before it
}

void QtMainForm1::BindHandlers() {
    connect(Edit1, &QLineEdit::textChanged, this, [this] { RunHandler([this] { logic_->Edit1Change(); }); });
    connect(Edit2, &QLineEdit::textChanged, this, [this] { RunHandler([this] { logic_->Edit1Change(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { RunHandler([this] { logic_->Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { ChooseFiles(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { RunHandler([this] { logic_->SpeedButton1Click(); }); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { RunHandler([this] { logic_->SpeedButton2Click(); }); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { RunHandler([this] { logic_->SpeedButton3Click(); }); });
    ProgressForm->onCancel = [this] { RunHandler([this] { logic_->CancelButtonClick(); }); };
    // Ctrl+O chooses files to send; Ctrl+V sends those on the clipboard, wherever the focus is
    // but in a text field, which keeps Ctrl+V for pasting text.
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this, [this] { ChooseFiles(); });
    connect(new QShortcut(QKeySequence::Paste, this), &QShortcut::activated, this, [this] { PasteFiles(); });
}

void QtMainForm1::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        ShowFailureDisplay(failure.what(), this);
    }
}

std::string QtMainForm1::Edit1Text() const { return ToCp932(Edit1->text()); }
void QtMainForm1::SetEdit1Text(const std::string& cp932Text) { Edit1->setText(ToQString(cp932Text)); }
std::string QtMainForm1::Edit2Text() const { return ToCp932(Edit2->text()); }
void QtMainForm1::SetEdit2Text(const std::string& cp932Text) { Edit2->setText(ToQString(cp932Text)); }

int QtMainForm1::ComboBox1ItemIndex() const { return ComboBox1->currentIndex(); }

void QtMainForm1::SetComboBox1ItemIndex(int index) {
    ComboBox1->setCurrentIndex(index >= 0 && index < ComboBox1->count() ? index : -1);
}

std::string QtMainForm1::ComboBox1Text() const { return ToCp932(ComboBox1->currentText()); }
void QtMainForm1::SetButton1Enabled(bool enabled) { Button1->setEnabled(enabled); }

void QtMainForm1::ShowSettingsHint(const std::string& cp932Text) {
    Hint->setText(ToQString(cp932Text));
    LogShownWindow(QStringLiteral("hint"), windowTitle(), Hint->text());
    if (!Hint->isHidden()) return;  // shown already, maybe before the window
    setFixedSize(width(), height() + HintHeight);
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!control->isWindow() && control != Hint) control->move(control->pos() + QPoint(0, HintHeight));
    Hint->show();
}
void QtMainForm1::ShowMessage(const std::string& cp932Text) { ShowMessageDialog(cp932Text, this); }
QuestionAnswer QtMainForm1::AskQuestion(const std::string& cp932Text) { return AskQuestionDialog(cp932Text, this); }
bool QtMainForm1::AskYesNo(const std::string& cp932Text) { return AskYesNoDialog(cp932Text, this); }
void QtMainForm1::ShowProgress(const ProgressWindowContents& contents) { ProgressForm->Show(contents); }
void QtMainForm1::HideProgress() { ProgressForm->hide(); }

void QtMainForm1::Close() {
    closeRequested_ = true;
    close();
}

void QtMainForm1::Hide() { hide(); }

std::string QtMainForm1::ExecutablePath() const { return ToCp932(QCoreApplication::applicationFilePath()); }

void QtMainForm1::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        RunHandler([this] { logic_->FormShow(); });
        if (closeRequested_) return;
        CentreOnScreen();
    }
    QWidget::setVisible(visible);
}

// Enter on a button presses that button; in a field or on the list it presses the default button,
// as in a dialog, while that is enabled.
void QtMainForm1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused == nullptr && Button1->isEnabled()) focused = Button1;
        if (focused != nullptr) focused->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QtMainForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !logic_->Sending()) event->acceptProposedAction();
    else event->ignore();  // the no-entry cursor
}

void QtMainForm1::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls() || logic_->Sending()) return event->ignore();
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    // After the drop has returned to its source: the send waits on the network.
    QMetaObject::invokeMethod(this, [this, urls] { SendUrls(urls); }, Qt::QueuedConnection);
}

void QtMainForm1::ChooseFiles() {
    if (logic_->Sending()) return;
    const QString filter = QStringLiteral("対応ファイル形式 (") + QString::fromLatin1(ChooserPattern(' ')) +
                           QStringLiteral(");;すべてのファイル (*)");
    const QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("送信するファイルを選択"), QString(), filter);
    QList<QUrl> urls;
    for (const QString& path : chosen) urls.append(QUrl::fromLocalFile(path));
    SendUrls(urls);
}

void QtMainForm1::PasteFiles() {
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    if (clipboard == nullptr || !clipboard->hasUrls() || logic_->Sending()) return;
    SendUrls(clipboard->urls());
}

void QtMainForm1::SendUrls(const QList<QUrl>& urls) {
    if (urls.isEmpty()) return;
    std::vector<platform::FilePath> paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            RunHandler([this] { logic_->RefuseNotLocalFiles(); });
            return;
        }
        const QByteArray name = QFile::encodeName(url.toLocalFile());
        paths.emplace_back(std::filesystem::path(name.toStdString()));
    }
    RunHandler([this, &paths] { logic_->SendFromWindow(DroppedFilesFromPaths(paths)); });
    if (closeAfterSend_) close();
}

// The close box during a send from the window cancels it, as the progress window's cancel does;
// the window closes once the send has ended.
void QtMainForm1::closeEvent(QCloseEvent* event) {
    if (!closeRequested_ && logic_->Sending()) {
        closeAfterSend_ = true;
        event->ignore();
        RunHandler([this] { logic_->CancelSend(); });
        return;
    }
    QWidget::closeEvent(event);
    emit Closed();
}

void QtMainForm1::CentreOnScreen() {
    if (QScreen* screen = this->screen()) move(screen->geometry().center() - rect().center());
}

}  // namespace app::qt
