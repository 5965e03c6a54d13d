#pragma once
// The send's progress window in Win32: the file's name, what the send is doing, a progress bar
// with the bytes sent of the file's size, and a キャンセル button, laid out at 96 DPI and scaled
// like the main window, in its font and colours. Not modal: the send goes on while it is up.
// The button, Esc and the close box all ask for the cancel through onCancel; Return and Space do
// not, as no key presses the button. The window stays until the logic hides it.

#include <functional>
#include <string>

#include "app/main_form_view.h"

#include <windows.h>

namespace app::win32 {

// Child window ids of the progress window.
enum ProgressControlId : int {
    IdFileName = 200,
    IdActivity,
    IdProgressBar,
    IdBytes,
    IdCancelButton,
};

class Win32ProgressWindow {
public:
    // The owner is the main window; dpi scales the layout as the main window's does.
    Win32ProgressWindow(HWND owner, int dpi, std::function<void()> onCancel);
    ~Win32ProgressWindow();
    Win32ProgressWindow(const Win32ProgressWindow&) = delete;
    Win32ProgressWindow& operator=(const Win32ProgressWindow&) = delete;

    // Shows the window with the contents, or updates it when it is up.
    void Show(const ProgressWindowContents& contents);
    void Hide();
    HWND Handle() const { return window_; }

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateProgressWindow(HWND owner);
    void CreateControls();
    HWND CreateControl(ProgressControlId id, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                       RECT bounds96, HFONT font);
    // Sets a control's text only when it changes, so a busy upload does not make it flicker.
    void SetControlText(ProgressControlId id, const std::wstring& text);
    int Scaled(int pixelsAt96) const;
    HWND Control(ProgressControlId id) const { return ::GetDlgItem(window_, id); }

    HWND window_ = nullptr;
    int dpi_;
    HFONT font12_ = nullptr;
    HFONT font12Bold_ = nullptr;
    HFONT font16_ = nullptr;
    std::function<void()> onCancel_;
};

}  // namespace app::win32
