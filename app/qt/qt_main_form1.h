#pragma once
// The main window's Qt face: the controls at their pixel places, forwarding their events to the
// window logic TMainForm1 and showing what it asks for.

#include <QWidget>

#include <functional>
#include <memory>

#include "app/main_form1.h"
#include "app/main_form_view.h"

class QComboBox;
class QUrl;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace app::qt {

class ProgressWindow;
class ShapeWidget;

class QtMainForm1 : public QWidget, public TMainForm1View {
    Q_OBJECT
public:
    explicit QtMainForm1(DroppedFiles files, QWidget* parent = nullptr);
    ~QtMainForm1() override;

    // TMainForm1View
    std::string Edit1Text() const override;
    void SetEdit1Text(const std::string& cp932Text) override;
    std::string Edit2Text() const override;
    void SetEdit2Text(const std::string& cp932Text) override;
    int ComboBox1ItemIndex() const override;
    void SetComboBox1ItemIndex(int index) override;
    std::string ComboBox1Text() const override;
    void SetButton1Enabled(bool enabled) override;
    void ShowSettingsHint(const std::string& cp932Text) override;
    void ShowMessage(const std::string& cp932Text) override;
    QuestionAnswer AskQuestion(const std::string& cp932Text) override;
    bool AskYesNo(const std::string& cp932Text) override;
    void ShowProgress(const ProgressWindowContents& contents) override;
    void HideProgress() override;
    void Close() override;
    void Hide() override;
    std::string ExecutablePath() const override;

    // The first show runs FormShow before the window reaches the screen; a close requested
    // there keeps it off the screen.
    void setVisible(bool visible) override;

signals:
    void Closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Files dropped on the window are sent; not while a send is under way.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void BindHandlers();
    // A failure escaping a handler goes to the failure display; the window goes on.
    void RunHandler(const std::function<void()>& handler);
    void CentreOnScreen();
    void ChooseFiles();  // Ctrl+O: the file chooser
    void PasteFiles();   // Ctrl+V outside the text fields
    // Sends the files the URLs name; anything but local files is refused with a message.
    void SendUrls(const QList<QUrl>& urls);

    // Controls in layout order: painted items first, then those that take input.
    ShapeWidget* Shape2 = nullptr;
    QLabel* Label5 = nullptr;
    ShapeWidget* Shape1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;  // chooses files to send
    QLabel* HowTo = nullptr;         // how to send, in one line
    QLabel* Hint = nullptr;  // above everything else, shown on request only
    ProgressWindow* ProgressForm = nullptr;  // a window of its own, shown during a long send

    std::unique_ptr<TMainForm1> logic_;
    static constexpr int HintHeight = 24;  // what the window grows by at its top for the hint

    bool shown_ = false;
    bool closeRequested_ = false;
    bool closeAfterSend_ = false;  // the close box was used during a send from the window
};

}  // namespace app::qt
