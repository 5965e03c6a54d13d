#include "app/win32/win32_main_form1.h"

#include <commctrl.h>
#include <commdlg.h>
#include <imm.h>
#include <shellapi.h>

#include <array>
#include <exception>
#include <utility>

#include "app/build_constants.h"
#include "app/dialog_texts.h"
#include "app/dropped_file_check.h"
#include "app/win32/form_window.h"
#include "app/win32/message_box.h"
#include "app/win32/painted_controls.h"
#include "platform/cp932.h"
#include "platform/process.h"
#include "platform/win32/wide_text.h"

namespace app::win32 {
namespace {

using platform::win32::Cp932FromWide;
using platform::win32::Cp932FromWideReplacing;
using platform::win32::WideFromCp932;

constexpr wchar_t MainFormClass[] = L"MiltePostMainForm1";
constexpr int ClientWidth = 318;
constexpr int ClientHeight = 344;
constexpr int ComboBox1Rows = 20;

constexpr wchar_t ChooseButtonText[] = L"ファイルを選んで送信...";
constexpr wchar_t HowToText[] = L"ここかアイコンへのドロップでも送信できます。";

constexpr wchar_t ServiceDescription[] =
    L"「ミルテ」は、携帯電話向け無料ファイル転送サービスです。このソフトウェアから送信されたファイルは、"
    L"リンク付きメールとして送信先に届きます。リンクされたファイルは専用の携帯アプリにより、快適に閲覧することができます。";

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const wchar_t* family) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(query.lfFaceName, family, LF_FACESIZE);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &query, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}


std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

std::wstring WindowFontFamily() {
    // The Japanese name, its English alias on a Windows without Japanese names, then look-alikes.
    for (const wchar_t* family : {L"ＭＳ Ｐゴシック", L"MS PGothic", L"IPAPGothic", L"Meiryo UI", L"Yu Gothic UI"}) {
        if (FontInstalled(family)) return family;
    }
    return L"ＭＳ Ｐゴシック";  // the font mapper picks a Shift-JIS face
}

HFONT MakeWindowFont(int pixelHeight, bool bold, bool underline) {
    static const std::wstring family = WindowFontFamily();
    // Negative: the character height, without the internal leading.
    return ::CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE, SHIFTJIS_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                         family.c_str());
}

Win32MainForm1::Win32MainForm1(DroppedFiles files) {
    HDC screen = ::GetDC(nullptr);
    dpi_ = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    CreateFonts();
    CreateMainWindow();
    CreateControls();
    ::DragAcceptFiles(window_, TRUE);
    progress_ = std::make_unique<Win32ProgressWindow>(window_, dpi_, [this] {
        RunHandler([this] { logic_->CancelButtonClick(); });
    });
    logic_ = std::make_unique<TMainForm1>(*this, std::move(files));
}

Win32MainForm1::~Win32MainForm1() {
    logic_.reset();
    progress_.reset();
    if (::IsWindow(window_)) ::DestroyWindow(window_);
    for (HFONT font : {font12_, font16_, font16Bold_, linkFont_}) ::DeleteObject(font);
}

int Win32MainForm1::Scaled(int pixelsAt96) const { return ScaledToDpi(pixelsAt96, dpi_); }

void Win32MainForm1::CreateFonts() {
    font12_ = MakeWindowFont(Scaled(12), false, false);
    font16_ = MakeWindowFont(Scaled(16), false, false);
    font16Bold_ = MakeWindowFont(Scaled(16), true, false);
    linkFont_ = MakeWindowFont(Scaled(12), false, true);
}

void Win32MainForm1::CreateMainWindow() {
    RegisterPaintedControls(::GetModuleHandleW(nullptr));
    window_ = CreateFormWindow(MainFormClass, FormWindowProc<Win32MainForm1>, {ClientWidth, ClientHeight}, dpi_,
                               nullptr, this, "Cannot create the main window");
}

HWND Win32MainForm1::CreateControl(ControlId id, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                                   DWORD exStyle, RECT bounds96, HFONT font) {
    return CreateChildControl(window_, dpi_, id, windowClass, text, WS_CLIPSIBLINGS | style, exStyle, bounds96, font);
}

// Bounds are left, top, width, height at 96 DPI.
void Win32MainForm1::CreateControls() {
    constexpr DWORD Label = SS_NOPREFIX | SS_LEFTNOWORDWRAP;
    CreateControl(IdShape2, ShapeClass, L"", 0, 0, {12, 96, 294, 60}, nullptr);
    CreateControl(IdLabel5, L"STATIC", ServiceDescription, SS_NOPREFIX | SS_LEFT, 0, {16, 254, 290, 60}, font12_);
    CreateControl(IdShape1, ShapeClass, L"", 0, 0, {12, 20, 220, 60}, nullptr);
    CreateControl(IdLabel1, L"STATIC", L" あなたの名前 ", Label, 0, {24, 12, 110, 16}, font16Bold_);
    CreateControl(IdLabel2, L"STATIC", L" 送信先（携帯） ", Label, 0, {24, 92, 115, 16}, font16Bold_);
    CreateControl(IdLabel3, L"STATIC", L"＠", Label, 0, {132, 124, 17, 16}, font16Bold_);
    CreateControl(IdSpeedButton1, LinkButtonClass, L"info.", WS_TABSTOP, 0, {288, 2, 28, 24}, linkFont_);
    CreateControl(IdSpeedButton2, LinkButtonClass, L"サービスの詳細(WEB)", WS_TABSTOP, 0, {194, 316, 120, 24}, linkFont_);
    CreateControl(IdSpeedButton3, LinkButtonClass, L"対応ファイル形式", WS_TABSTOP, 0, {4, 316, 120, 24}, linkFont_);

    HWND combo = CreateControl(IdComboBox1, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0,
                               {154, 120, 140, 24}, font16_);
    for (const char* domain : CarrierDomains)
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromCp932(domain).c_str()));
    ::SendMessageW(combo, CB_SETMINVISIBLE, ComboBox1Rows, 0);
    FitComboBox1Height(24);
    constexpr DWORD Field = ES_AUTOHSCROLL | WS_TABSTOP;
    CreateControl(IdEdit1, L"EDIT", L"", Field, WS_EX_CLIENTEDGE, {30, 40, 184, 24}, font16_);
    HWND edit2 = CreateControl(IdEdit2, L"EDIT", L"", Field, WS_EX_CLIENTEDGE, {30, 120, 100, 24}, font16_);
    ::ImmAssociateContextEx(edit2, nullptr, 0);  // the local part is typed without Japanese conversion
    CreateControl(IdButton1, L"BUTTON", L"設定保存", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0, {98, 172, 120, 25},
                  font16_);
    CreateControl(IdButton2, L"BUTTON", ChooseButtonText, BS_PUSHBUTTON | WS_TABSTOP, 0, {69, 204, 180, 25}, font16_);
    CreateControl(IdHowTo, L"STATIC", HowToText, SS_NOPREFIX | SS_CENTER, 0, {16, 234, 290, 16}, font12_);
    HWND hint = CreateControl(IdHint, L"STATIC", L"", SS_NOPREFIX | SS_LEFTNOWORDWRAP, 0, {12, 6, 294, 16}, font12_);
    ::ShowWindow(hint, SW_HIDE);
    StackControls();
    focusOnActivate_ = Control(IdEdit1);
}

// The closed list shows one row in the given height, whatever the font's own height makes of it.
// What the selection field's height turns into differs between systems: it is corrected by
// what the combo box became until it fits.
void Win32MainForm1::FitComboBox1Height(int height96) {
    HWND combo = Control(IdComboBox1);
    const auto closedHeight = [combo] {
        RECT bounds;
        ::GetWindowRect(combo, &bounds);
        return static_cast<int>(bounds.bottom - bounds.top);
    };
    // The height a list is created with includes its open rows.
    const LRESULT row = ::SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0);
    ::SetWindowPos(combo, nullptr, 0, 0, Scaled(140), Scaled(height96) + static_cast<int>(row) * ComboBox1Rows,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto field = static_cast<int>(::SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 3 && closedHeight() != Scaled(height96); ++attempt) {
        field += Scaled(height96) - closedHeight();
        ::SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

// The input controls lie above the painted items, in tab order, which is the stacking order; each
// field comes right after its title, which makes the title its name for a screen reader. A title
// covers its frame's line.
void Win32MainForm1::StackControls() {
    constexpr std::array<ControlId, 16> TopToBottom = {
        IdLabel1, IdEdit1,        IdLabel2,       IdEdit2,        IdLabel3, IdComboBox1, IdButton1, IdButton2,
        IdHint,   IdHowTo,        IdSpeedButton3, IdSpeedButton2, IdSpeedButton1, IdShape1, IdLabel5, IdShape2,
    };
    HWND above = HWND_TOP;
    for (ControlId id : TopToBottom) {
        ::SetWindowPos(Control(id), above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = Control(id);
    }
}

void Win32MainForm1::Show() {
    RunHandler([this] { logic_->FormShow(); });
    if (closeRequested_) return;
    CentreOnScreen(window_);
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
}


// Ctrl+O chooses files to send; Ctrl+V sends those on the clipboard, except in a text field,
// which pastes text as before.
bool Win32MainForm1::TranslateDialogKey(MSG& message) {
    if (!::IsWindow(window_) || (message.hwnd != window_ && !::IsChild(window_, message.hwnd))) return false;
    if (message.message == WM_KEYDOWN && (::GetKeyState(VK_CONTROL) & 0x8000) != 0) {
        const bool inField = message.hwnd == Control(IdEdit1) || message.hwnd == Control(IdEdit2);
        if (message.wParam == 'O') {
            ChooseFiles();
            return true;
        }
        if (message.wParam == 'V' && !inField) {
            PasteFiles();
            return true;
        }
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

void Win32MainForm1::ChooseFiles() {
    if (logic_->Sending()) return;
    // Two filters, each a name and a pattern, ended by an empty string.
    const std::wstring pattern = WideFromCp932(ChooserPattern(';'));
    std::wstring filter = L"対応ファイル形式";
    filter += L'\0' + pattern + L'\0' + L"すべてのファイル" + L'\0' + L"*.*" + L'\0';
    std::vector<wchar_t> chosen(1 << 16);  // many long paths
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.lpstrTitle = L"送信するファイルを選択";
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameW(&dialog)) return;
    // One file: its path. Several: the folder, then each name, each ended by a NUL.
    std::vector<std::wstring> parts;
    for (const wchar_t* part = chosen.data(); *part != L'\0'; part += parts.back().size() + 1) parts.emplace_back(part);
    if (parts.size() == 1) return SendPaths(parts);
    std::vector<std::wstring> paths;
    for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(parts[0] + L"\\" + parts[i]);
    SendPaths(paths);
}

void Win32MainForm1::PasteFiles() {
    if (logic_->Sending() || !::IsClipboardFormatAvailable(CF_HDROP) || !::OpenClipboard(window_)) return;
    std::vector<std::wstring> paths;
    if (auto drop = static_cast<HDROP>(::GetClipboardData(CF_HDROP))) {
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
            ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
            paths.push_back(path);
        }
    }
    ::CloseClipboard();
    SendPaths(paths);
}

void Win32MainForm1::SendDroppedFiles(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        paths.push_back(path);
    }
    ::DragFinish(drop);
    if (!logic_->Sending()) SendPaths(paths);
}

void Win32MainForm1::SendPaths(const std::vector<std::wstring>& paths) {
    if (paths.empty()) return;
    std::vector<platform::FilePath> files;
    for (const std::wstring& path : paths) files.emplace_back(std::filesystem::path(path));
    ::DragAcceptFiles(window_, FALSE);  // a drop during the send meets the no-entry cursor
    RunHandler([this, &files] { logic_->SendFromWindow(DroppedFilesFromPaths(files)); });
    if (!::IsWindow(window_)) return;
    if (closeAfterSend_) {
        ::DestroyWindow(window_);
        return;
    }
    ::DragAcceptFiles(window_, TRUE);
    // The progress window and the messages had the keyboard: it comes back to the control that
    // had it, so the next Ctrl+O or Ctrl+V reaches this window.
    ::SetForegroundWindow(window_);
    if (::GetFocus() == nullptr || !::IsChild(window_, ::GetFocus()))
        ::SetFocus(::IsWindow(focusOnActivate_) && ::IsWindowEnabled(focusOnActivate_) ? focusOnActivate_ : Control(IdEdit1));
}

LRESULT Win32MainForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:  // Enter in a field or on the list presses the save button, as in a dialog
        return MAKELRESULT(IdButton1, DC_HASDEFID);
    case WM_CTLCOLORSTATIC: {  // the labels: grey on an opaque white ground; the hint in the text colour
        HDC dc = reinterpret_cast<HDC>(wParam);
        const bool hint = reinterpret_cast<HWND>(lParam) == Control(IdHint);
        ::SetTextColor(dc, hint ? ::GetSysColor(COLOR_WINDOWTEXT) : Grey);
        ::SetBkColor(dc, White);
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus != nullptr && ::IsChild(window_, focus)) focusOnActivate_ = focus;
        }
        return ::DefWindowProcW(window_, message, wParam, lParam);  // focuses the window: WM_SETFOCUS
    case WM_SETFOCUS:
        if (::IsWindow(focusOnActivate_) && ::IsWindowEnabled(focusOnActivate_)) ::SetFocus(focusOnActivate_);
        return 0;
    case WM_DROPFILES:
        SendDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        // The close box during a send from the window cancels it, as the progress window's
        // cancel does; the window closes once the send has ended.
        if (!closeRequested_ && logic_ != nullptr && logic_->Sending()) {
            closeAfterSend_ = true;
            RunHandler([this] { logic_->CancelSend(); });
            return 0;
        }
        return ::DefWindowProcW(window_, message, wParam, lParam);
    case WM_DESTROY:
        ::PostQuitMessage(0);  // the main window's end is the program's
        return 0;
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Win32MainForm1::OnCommand(int id, int code) {
    if (logic_ == nullptr) return;  // the controls' own notifications while they are created
    switch (id) {
    case IdEdit1:
    case IdEdit2:
        if (code == EN_CHANGE) OnEditChange(id);
        break;
    case IdButton1:  // Enter comes here as a click also while the button is disabled
        if (code == BN_CLICKED && ::IsWindowEnabled(Control(IdButton1))) RunHandler([this] { logic_->Button1Click(); });
        break;
    case IdButton2:
        if (code == BN_CLICKED) ChooseFiles();
        break;
    case IdSpeedButton1:
        RunHandler([this] { logic_->SpeedButton1Click(); });
        break;
    case IdSpeedButton2:
        RunHandler([this] { logic_->SpeedButton2Click(); });
        break;
    case IdSpeedButton3:
        RunHandler([this] { logic_->SpeedButton3Click(); });
        break;
    default:
        break;
    }
}

// A field takes only what CP932 can write, so what is typed is what gets stored and sent.
void Win32MainForm1::OnEditChange(int id) {
    HWND edit = Control(static_cast<ControlId>(id));
    std::wstring& accepted = id == IdEdit1 ? edit1Accepted_ : edit2Accepted_;
    const std::wstring text = WindowText(edit);
    if (!Cp932FromWide(text)) {
        DWORD caret = 0;
        ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
        const DWORD inserted = text.size() > accepted.size() ? static_cast<DWORD>(text.size() - accepted.size()) : 0;
        caret = caret > inserted ? caret - inserted : 0;  // back where the refused characters went in
        ::SetWindowTextW(edit, accepted.c_str());  // raises this change again, with the text accepted
        ::SendMessageW(edit, EM_SETSEL, caret, static_cast<LPARAM>(caret));
        ::MessageBeep(0);
        return;
    }
    accepted = text;
    RunHandler([this] { logic_->Edit1Change(); });
}

void Win32MainForm1::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        ShowFailureDisplay(failure.what(), window_);
    } catch (...) {
        ShowFailureDisplay("", window_);
    }
}

std::string Win32MainForm1::Edit1Text() const { return Cp932FromWideReplacing(WindowText(Control(IdEdit1))); }
std::string Win32MainForm1::Edit2Text() const { return Cp932FromWideReplacing(WindowText(Control(IdEdit2))); }

void Win32MainForm1::SetEdit1Text(const std::string& cp932Text) { SetFieldText(IdEdit1, cp932Text); }
void Win32MainForm1::SetEdit2Text(const std::string& cp932Text) { SetFieldText(IdEdit2, cp932Text); }

// An edit control reports every WM_SETTEXT as a change; the view's rule is a change of text only.
// The caret goes to the end, so what the user types next adds to the text.
void Win32MainForm1::SetFieldText(ControlId id, const std::string& cp932Text) {
    const std::wstring text = WideFromCp932(cp932Text);
    HWND edit = Control(id);
    if (text == WindowText(edit)) return;
    ::SetWindowTextW(edit, text.c_str());
    ::SendMessageW(edit, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
}

int Win32MainForm1::ComboBox1ItemIndex() const {
    return static_cast<int>(::SendMessageW(Control(IdComboBox1), CB_GETCURSEL, 0, 0));
}

void Win32MainForm1::SetComboBox1ItemIndex(int index) {
    const auto count = static_cast<int>(::SendMessageW(Control(IdComboBox1), CB_GETCOUNT, 0, 0));
    ::SendMessageW(Control(IdComboBox1), CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
}

std::string Win32MainForm1::ComboBox1Text() const { return Cp932FromWideReplacing(WindowText(Control(IdComboBox1))); }

void Win32MainForm1::SetButton1Enabled(bool enabled) { ::EnableWindow(Control(IdButton1), enabled); }

void Win32MainForm1::ShowSettingsHint(const std::string& cp932Text) {
    HWND hint = Control(IdHint);
    ::SetWindowTextW(hint, WideFromCp932(cp932Text).c_str());
    LogShownWindow("hint", WideFromCp932(ApplicationTitle()), WideFromCp932(cp932Text));
    if (::GetWindowLongPtrW(hint, GWL_STYLE) & WS_VISIBLE) return;  // shown already, maybe before the window
    RECT frame;
    ::GetWindowRect(window_, &frame);
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + Scaled(HintHeight),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id = IdShape2; id <= IdHowTo; ++id) {
        if (id == IdHint) continue;
        HWND control = Control(static_cast<ControlId>(id));
        RECT bounds;
        ::GetWindowRect(control, &bounds);
        ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&bounds), 1);
        ::SetWindowPos(control, nullptr, bounds.left, bounds.top + Scaled(HintHeight), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::ShowWindow(hint, SW_SHOW);
}

void Win32MainForm1::ShowMessage(const std::string& cp932Text) { ShowMessageDialog(cp932Text, window_); }
QuestionAnswer Win32MainForm1::AskQuestion(const std::string& cp932Text) { return AskQuestionDialog(cp932Text, window_); }
bool Win32MainForm1::AskYesNo(const std::string& cp932Text) { return AskYesNoDialog(cp932Text, window_); }
void Win32MainForm1::ShowProgress(const ProgressWindowContents& contents) { progress_->Show(contents); }
void Win32MainForm1::HideProgress() { progress_->Hide(); }

void Win32MainForm1::Close() {
    closeRequested_ = true;
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void Win32MainForm1::Hide() { ::ShowWindow(window_, SW_HIDE); }

std::string Win32MainForm1::ExecutablePath() const { return platform::Cp932(platform::ExecutablePath()); }

}  // namespace app::win32
