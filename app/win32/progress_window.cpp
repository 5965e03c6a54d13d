// First the headers that reach the program's platform layer: <windows.h> defines macros named
// like some of its constants.
#include "app/win32/win32_main_form1.h"
#include "app/win32/progress_window.h"

#include <commctrl.h>

#include <utility>

#include "app/dialog_texts.h"
#include "app/win32/form_window.h"
#include "app/win32/message_box.h"
#include "app/win32/painted_controls.h"
#include "platform/win32/wide_text.h"

namespace app::win32 {
namespace {

using platform::win32::WideFromCp932;

constexpr wchar_t ProgressFormClass[] = L"MiltePostProgressForm";
constexpr int ClientWidth = 300;
constexpr int ClientHeight = 134;

// A push button takes the focus when the mouse presses it. Its keys are the window's all the
// same: Esc cancels, Return and Space press nothing, whichever of the two has the focus.
LRESULT CALLBACK KeysToTheWindow(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR)
        return ::SendMessageW(::GetParent(button), message, wParam, lParam);
    return ::DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

Win32ProgressWindow::Win32ProgressWindow(HWND owner, int dpi, std::function<void()> onCancel)
    : dpi_(dpi), onCancel_(std::move(onCancel)) {
    font12_ = MakeWindowFont(Scaled(12), false, false);
    font12Bold_ = MakeWindowFont(Scaled(12), true, false);
    font16_ = MakeWindowFont(Scaled(16), false, false);
    CreateProgressWindow(owner);
    CreateControls();
}

int Win32ProgressWindow::Scaled(int pixelsAt96) const { return ScaledToDpi(pixelsAt96, dpi_); }

Win32ProgressWindow::~Win32ProgressWindow() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
    for (HFONT font : {font12_, font12Bold_, font16_}) ::DeleteObject(font);
}

void Win32ProgressWindow::CreateProgressWindow(HWND owner) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    window_ = CreateFormWindow(ProgressFormClass, FormWindowProc<Win32ProgressWindow>, {ClientWidth, ClientHeight}, dpi_,
                               owner, this, "Cannot create the progress window");
}

HWND Win32ProgressWindow::CreateControl(ProgressControlId id, const wchar_t* windowClass, const wchar_t* text,
                                        DWORD style, RECT bounds96, HFONT font) {
    return CreateChildControl(window_, dpi_, id, windowClass, text, style, 0, bounds96, font);
}

// Bounds are left, top, width, height at 96 DPI, as in the Qt face.
void Win32ProgressWindow::CreateControls() {
    // A name too long for its line loses its middle, keeping its extension.
    CreateControl(IdFileName, L"STATIC", L"", SS_NOPREFIX | SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS, {12, 12, 276, 16},
                  font12Bold_);
    CreateControl(IdActivity, L"STATIC", L"", SS_NOPREFIX | SS_LEFTNOWORDWRAP, {12, 34, 276, 16}, font12_);
    HWND bar = CreateControl(IdProgressBar, PROGRESS_CLASSW, L"", 0, {12, 54, 276, 18}, nullptr);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, ProgressWindowContents::BarRange);
    CreateControl(IdBytes, L"STATIC", L"", SS_NOPREFIX | SS_RIGHT, {12, 76, 276, 16}, font12_);
    // Not a tab stop: the window keeps the focus, so Esc reaches it.
    HWND cancel = CreateControl(IdCancelButton, L"BUTTON", L"キャンセル", BS_PUSHBUTTON, {100, 98, 100, 25}, font16_);
    ::SetWindowSubclass(cancel, KeysToTheWindow, 0, 0);
}

void Win32ProgressWindow::Show(const ProgressWindowContents& contents) {
    const std::wstring fileName = WideFromCp932(contents.fileName);
    SetControlText(IdFileName, fileName);
    SetControlText(IdActivity, WideFromCp932(contents.activity));
    ::SendMessageW(Control(IdProgressBar), PBM_SETPOS, static_cast<WPARAM>(contents.barPosition), 0);
    SetControlText(IdBytes, WideFromCp932(contents.bytes));
    if (::IsWindowVisible(window_)) return;
    LogShownWindow("progress", WideFromCp932(ApplicationTitle()), fileName);
    CentreOnScreen(window_);
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
    ::SetFocus(window_);
}

void Win32ProgressWindow::Hide() { ::ShowWindow(window_, SW_HIDE); }

void Win32ProgressWindow::SetControlText(ProgressControlId id, const std::wstring& text) {
    HWND control = Control(id);
    std::wstring shown(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(::GetWindowTextW(control, shown.data(), static_cast<int>(shown.size()))));
    if (shown != text) ::SetWindowTextW(control, text.c_str());
}

LRESULT Win32ProgressWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IdCancelButton && HIWORD(wParam) == BN_CLICKED && onCancel_) onCancel_();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && onCancel_) onCancel_();
        return 0;
    case WM_CLOSE:  // the close box: the logic decides, and hides the window
        if (onCancel_) onCancel_();
        return 0;
    case WM_CTLCOLORSTATIC: {  // the file's name in the window's text colour, the rest in grey, on white
        HDC dc = reinterpret_cast<HDC>(wParam);
        const bool fileName = reinterpret_cast<HWND>(lParam) == Control(IdFileName);
        ::SetTextColor(dc, fileName ? ::GetSysColor(COLOR_WINDOWTEXT) : Grey);
        ::SetBkColor(dc, White);
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace app::win32
