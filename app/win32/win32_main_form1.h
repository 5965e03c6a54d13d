#pragma once
// The main window's Win32 face: the controls at their pixel places (scaled from 96 DPI), forwarding
// their events to the window logic TMainForm1 and showing what it asks for.

#include <functional>
#include <memory>
#include <string>

#include "app/main_form1.h"
#include "app/main_form_view.h"
#include "app/win32/progress_window.h"

// After the program's headers: <windows.h> defines macros named like some of their constants.
#include <windows.h>

namespace app::win32 {

// Child window ids, in the order of the window's layout.
enum ControlId : int {
    IdShape2 = 100,
    IdLabel5,
    IdShape1,
    IdLabel1,
    IdLabel2,
    IdLabel3,
    IdSpeedButton1,
    IdSpeedButton2,
    IdSpeedButton3,
    IdComboBox1,
    IdEdit1,
    IdEdit2,
    IdButton1,
    IdHint,  // shown on request only, above the others
    IdButton2,  // chooses files to send
    IdHowTo,    // how to send, in one line
};

class Win32MainForm1 : public TMainForm1View {
public:
    explicit Win32MainForm1(DroppedFiles files);
    ~Win32MainForm1() override;
    Win32MainForm1(const Win32MainForm1&) = delete;
    Win32MainForm1& operator=(const Win32MainForm1&) = delete;

    HWND Handle() const { return window_; }

    // Runs FormShow before the window reaches the screen, then shows it centred, unless FormShow
    // asked to close it (a send).
    void Show();
    // Tab, Shift+Tab, and Enter for the save button, as a dialog takes them. True when taken.
    bool TranslateDialogKey(MSG& message);

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

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateMainWindow();
    void CreateFonts();
    void CreateControls();
    HWND CreateControl(ControlId id, const wchar_t* windowClass, const wchar_t* text, DWORD style, DWORD exStyle,
                       RECT bounds96, HFONT font);
    void StackControls();
    void FitComboBox1Height(int height96);
    void OnCommand(int id, int code);
    void OnEditChange(int id);
    void ChooseFiles();  // Ctrl+O: the system's file chooser
    void PasteFiles();   // Ctrl+V outside the text fields: CF_HDROP
    // Sends the files of a drop or of the clipboard, as a drop on the icon sends them.
    void SendDroppedFiles(HDROP drop);
    void SendPaths(const std::vector<std::wstring>& paths);
    void SetFieldText(ControlId id, const std::string& cp932Text);
    // A failure escaping a handler goes to the failure display; the window goes on.
    void RunHandler(const std::function<void()>& handler);
    int Scaled(int pixelsAt96) const;
    HWND Control(ControlId id) const { return ::GetDlgItem(window_, id); }

    static constexpr int HintHeight = 24;  // at 96 DPI: what the window grows by at its top for the hint

    HWND window_ = nullptr;
    int dpi_ = 96;
    HFONT font12_ = nullptr;
    HFONT font16_ = nullptr;
    HFONT font16Bold_ = nullptr;
    HFONT linkFont_ = nullptr;
    HWND focusOnActivate_ = nullptr;
    // What each text field held when it last held only CP932 text.
    std::wstring edit1Accepted_;
    std::wstring edit2Accepted_;

    std::unique_ptr<Win32ProgressWindow> progress_;  // a window of its own, shown during a long send
    std::unique_ptr<TMainForm1> logic_;
    bool closeRequested_ = false;
    bool closeAfterSend_ = false;  // the close box was used during a send from the window
};

// The font the layout was made with, or the system's substitute for it.
std::wstring WindowFontFamily();
// That font at a character height in pixels, in the Shift-JIS character set.
HFONT MakeWindowFont(int pixelHeight, bool bold, bool underline);

}  // namespace app::win32
