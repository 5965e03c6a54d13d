// The Win32 main window as the user meets it, in process under Wine: every control's rectangle,
// the frame, the fonts, the tab order, the names a screen reader reads, the link buttons that a
// click leaves the focus beside and the keyboard presses, the field without Japanese input and the fields that refuse what CP932 cannot write.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/build_constants.h"
#include "app/message_texts.h"
#include "platform/cp932.h"
#include "platform/registry.h"
#include "platform/win32/wide_text.h"
#include "app/win32/win32_main_form1.h"  // includes <windows.h> after the program's headers

#include <commctrl.h>
#include <imm.h>
#include <oleacc.h>
#include <shlobj.h>

namespace {

using app::win32::Win32MainForm1;
using namespace app::win32;

struct Placed {
    ControlId id;
    const char* name;
    int left, top, width, height;
};

// The window's layout at 96 pixels per inch.
constexpr Placed Layout[] = {
    {IdShape2, "Shape2", 12, 96, 294, 60},
    {IdLabel5, "Label5", 16, 254, 290, 60},
    {IdShape1, "Shape1", 12, 20, 220, 60},
    {IdLabel1, "Label1", 24, 12, 110, 16},
    {IdLabel2, "Label2", 24, 92, 115, 16},
    {IdLabel3, "Label3", 132, 124, 17, 16},
    {IdSpeedButton1, "SpeedButton1", 288, 2, 28, 24},
    {IdSpeedButton2, "SpeedButton2", 194, 316, 120, 24},
    {IdSpeedButton3, "SpeedButton3", 4, 316, 120, 24},
    {IdComboBox1, "ComboBox1", 154, 120, 140, 24},
    {IdEdit1, "Edit1", 30, 40, 184, 24},
    {IdEdit2, "Edit2", 30, 120, 100, 24},
    {IdButton1, "Button1", 98, 172, 120, 25},
    {IdButton2, "Button2", 69, 204, 180, 25},
    {IdHowTo, "HowTo", 16, 234, 290, 16},
};

// Answers the program's message boxes as they open, noting their texts: a timer of the thread
// runs in the box's own message loop.
class DialogAnswerer {
public:
    DialogAnswerer() {
        current_ = this;
        timer_ = ::SetTimer(nullptr, 0, 20, Answer);
    }
    ~DialogAnswerer() {
        ::KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    std::vector<std::wstring> texts;
    int questionAnswer = IDCANCEL;  // the button a question (a box with はい) is answered with

private:
    static void CALLBACK Answer(HWND, UINT, UINT_PTR, DWORD) {
        ::EnumThreadWindows(::GetCurrentThreadId(), AnswerBox, 0);
    }
    static std::wstring ClassOf(HWND window) {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        return name;
    }
    static BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
        if (current_ == nullptr || ClassOf(window) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
        std::wstring text;
        ::EnumChildWindows(window, NoteText, reinterpret_cast<LPARAM>(&text));
        current_->texts.push_back(text);
        ::PostMessageW(window, WM_COMMAND, ::GetDlgItem(window, IDYES) ? current_->questionAnswer : IDOK, 0);
        return FALSE;
    }
    // The box's text is its one static control with a text (the icon's has none).
    static BOOL CALLBACK NoteText(HWND control, LPARAM text) {
        wchar_t shown[512] = {};
        if (_wcsicmp(ClassOf(control).c_str(), L"Static") == 0 && ::GetWindowTextW(control, shown, 512) > 0)
            *reinterpret_cast<std::wstring*>(text) = shown;
        return TRUE;
    }

    static inline DialogAnswerer* current_ = nullptr;
    UINT_PTR timer_ = 0;
};

class Win32MainWindow : public ::testing::Test {
protected:
    Win32MainWindow() : form_(app::DroppedFiles{}) {
        HDC screen = ::GetDC(nullptr);
        dpi_ = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }

    HWND Control(ControlId id) const { return ::GetDlgItem(form_.Handle(), id); }
    int Scaled(int pixelsAt96) const { return ::MulDiv(pixelsAt96, dpi_, 96); }

    // The control's rectangle in the window's client area (a list's while it is closed).
    RECT Bounds(ControlId id) const {
        RECT bounds;
        ::GetWindowRect(Control(id), &bounds);
        ::MapWindowPoints(HWND_DESKTOP, form_.Handle(), reinterpret_cast<POINT*>(&bounds), 2);
        return bounds;
    }

    LOGFONTW Font(ControlId id) const {
        LOGFONTW font{};
        auto handle = reinterpret_cast<HFONT>(::SendMessageW(Control(id), WM_GETFONT, 0, 0));
        ::GetObjectW(handle, sizeof font, &font);
        return font;
    }

    void ShowAndFocus(ControlId id) {
        ::ShowWindow(form_.Handle(), SW_SHOW);
        ::SetForegroundWindow(form_.Handle());
        ::SetFocus(Control(id));
        Pump();
    }

    // Enter as the program's message loop takes it, the dialog keys first.
    void PressEnter(ControlId id) {
        MSG message{Control(id), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
        if (!form_.TranslateDialogKey(message)) ::DispatchMessageW(&message);
        Pump();
    }

    // A key pressed and let go in the window with the focus.
    static void Type(WPARAM key) {
        ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
        ::PostMessageW(::GetFocus(), WM_KEYUP, key, 0xC0000001);
        Pump();
    }

    static void Pump() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    Win32MainForm1 form_;
    int dpi_ = 96;
};

TEST_F(Win32MainWindow, EveryControlLiesWhereTheLayoutPutsIt) {
    RECT client;
    ::GetClientRect(form_.Handle(), &client);
    EXPECT_EQ(client.right, Scaled(318));
    EXPECT_EQ(client.bottom, Scaled(344));
    for (const Placed& control : Layout) {
        const RECT bounds = Bounds(control.id);
        EXPECT_EQ(bounds.left, Scaled(control.left)) << control.name;
        EXPECT_EQ(bounds.top, Scaled(control.top)) << control.name;
        EXPECT_EQ(bounds.right - bounds.left, Scaled(control.width)) << control.name;
        EXPECT_EQ(bounds.bottom - bounds.top, Scaled(control.height)) << control.name;
    }
}

TEST_F(Win32MainWindow, IsAFixedToolWindowWithOnlyACloseBoxThatTakesDroppedFiles) {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(form_.Handle(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(form_.Handle(), GWL_EXSTYLE));
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_HSCROLL | WS_VSCROLL));
    EXPECT_TRUE(exStyle & WS_EX_ACCEPTFILES);  // they are sent
    wchar_t title[32] = {};
    ::GetWindowTextW(form_.Handle(), title, 32);
    EXPECT_STREQ(title, L"ミルテ・ポスト");
}

TEST_F(Win32MainWindow, FontsAreTheLayoutsCharacterHeightsInShiftJis) {
    struct Expected {
        ControlId id;
        int height;
        bool bold, underline;
    };
    for (const Expected& expected : {Expected{IdLabel5, 12, false, false}, Expected{IdLabel1, 16, true, false},
                                     Expected{IdLabel3, 16, true, false}, Expected{IdSpeedButton2, 12, false, true},
                                     Expected{IdEdit1, 16, false, false}, Expected{IdButton1, 16, false, false},
                                     Expected{IdComboBox1, 16, false, false}}) {
        const LOGFONTW font = Font(expected.id);
        EXPECT_EQ(font.lfHeight, -Scaled(expected.height)) << expected.id;
        EXPECT_EQ(font.lfWeight >= FW_BOLD, expected.bold) << expected.id;
        EXPECT_EQ(font.lfUnderline != 0, expected.underline) << expected.id;
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET) << expected.id;
        EXPECT_EQ(std::wstring(font.lfFaceName), WindowFontFamily()) << expected.id;
    }
}

TEST_F(Win32MainWindow, TabVisitsTheFieldsTheListAnEnabledSaveButtonTheChooserAndTheLinks) {
    HWND window = form_.Handle();
    const auto visited = [&] {
        std::vector<HWND> order{Control(IdEdit1)};
        for (HWND next = ::GetNextDlgTabItem(window, order.back(), FALSE); next != order.front() && order.size() < 20;
             next = ::GetNextDlgTabItem(window, order.back(), FALSE))
            order.push_back(next);
        return order;
    };
    EXPECT_EQ(visited(), (std::vector<HWND>{Control(IdEdit1), Control(IdEdit2), Control(IdComboBox1), Control(IdButton2),
                                            Control(IdSpeedButton3), Control(IdSpeedButton2), Control(IdSpeedButton1)}));
    form_.SetEdit1Text("Taro");
    form_.SetEdit2Text("taro");  // both filled: the logic enables the save button
    EXPECT_EQ(visited(), (std::vector<HWND>{Control(IdEdit1), Control(IdEdit2), Control(IdComboBox1), Control(IdButton1),
                                            Control(IdButton2), Control(IdSpeedButton3), Control(IdSpeedButton2),
                                            Control(IdSpeedButton1)}));
}

// What a screen reader reads for a control: its accessible object's name. (The IID comes from
// the interface's declaration: the import library's IID_IAccessible is the DLL's export thunk.)
std::wstring AccessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&accessible))))
        return L"(no accessible object)";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text;
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name != nullptr) text = name;
    ::SysFreeString(name);
    accessible->Release();
    return text;
}

// A screen reader names every control; a field by its group's title.
TEST_F(Win32MainWindow, EveryControlHasAnAccessibleNameAndEachFieldIsNamedByItsTitle) {
    for (ControlId id : {IdEdit1, IdEdit2, IdComboBox1, IdButton1, IdButton2, IdSpeedButton1, IdSpeedButton2,
                         IdSpeedButton3, IdLabel5, IdHowTo})
        EXPECT_NE(AccessibleName(Control(id)), L"") << id;
    EXPECT_EQ(AccessibleName(Control(IdEdit1)), L" あなたの名前 ");
    EXPECT_EQ(AccessibleName(Control(IdEdit2)), L" 送信先（携帯） ");
    EXPECT_EQ(AccessibleName(Control(IdSpeedButton3)), L"対応ファイル形式");
}

TEST_F(Win32MainWindow, ALinkWithTheFocusIsPressedByEnterAndBySpace) {
    form_.SetEdit1Text("Taro");
    form_.SetEdit2Text("taro");  // the save button is enabled, and Enter still presses the link
    DialogAnswerer answerer;
    ShowAndFocus(IdSpeedButton3);
    ASSERT_EQ(::GetFocus(), Control(IdSpeedButton3));
    PressEnter(IdSpeedButton3);  // the link's, not the save button's
    Type(VK_SPACE);
    ASSERT_EQ(answerer.texts.size(), 2u);
    for (const std::wstring& text : answerer.texts)
        EXPECT_EQ(platform::win32::Cp932FromWideReplacing(text), app::FormatsListMessage());
}

// What the shell hands a window for files dropped on it.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// A drop on the window goes into the send a drop on the icon starts: with no destination saved,
// the settings come first.
TEST_F(Win32MainWindow, FilesDroppedOnTheWindowGoToTheSendWhichAsksForTheDestinationFirst) {
    platform::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(app::SettingsKey, true));
    registry.WriteString("MAIL1", "");  // nothing to send to
    ::ShowWindow(form_.Handle(), SW_SHOW);
    HWND hint = Control(IdHint);
    ASSERT_FALSE(::IsWindowVisible(hint));
    ::SendMessageW(form_.Handle(), WM_DROPFILES,
                   reinterpret_cast<WPARAM>(MakeDrop({L"C:\\windows\\win.ini", L"C:\\windows\\system.ini"})), 0);
    Pump();
    EXPECT_TRUE(::IsWindowVisible(hint));
    wchar_t shown[64] = {};
    ::GetWindowTextW(hint, shown, 64);
    EXPECT_EQ(shown, platform::win32::WideFromCp932(app::SettingsFirstHint()));
}

// Fields that differ from the saved ones are asked about before a drop is sent: キャンセル sends
// nothing, いいえ sends to the saved destination, はい saves the fields and sends.
TEST_F(Win32MainWindow, EditedFieldsAreAskedAboutBeforeADropIsSent) {
    ::_putenv_s("MILTE_UPLOAD_HOST", "127.0.0.1");
    ::_putenv_s("MILTE_FTP_PORT", "1");  // refused at once: each send ends in its failure message
    platform::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(app::SettingsKey, true));
    registry.WriteString("NAME", "Taro");
    registry.WriteString("MAIL1", "taro");
    registry.WriteInteger("MAIL2", 0);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "dropped.jpg";
    std::ofstream(file, std::ios::binary) << "picture";
    form_.SetEdit1Text("Taro");
    form_.SetEdit2Text("hanako");
    form_.SetComboBox1ItemIndex(0);
    ::ShowWindow(form_.Handle(), SW_SHOW);
    Pump();  // the quit an earlier test's window left would end the question's box at once

    DialogAnswerer answerer;
    for (int answer : {IDCANCEL, IDNO, IDYES}) {
        SCOPED_TRACE(answer);
        answerer.texts.clear();
        answerer.questionAnswer = answer;
        ::SendMessageW(form_.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file.wstring()})), 0);
        Pump();
        ASSERT_FALSE(answerer.texts.empty());
        EXPECT_EQ(platform::win32::Cp932FromWideReplacing(answerer.texts[0]), app::SaveBeforeSendingQuestion());
        if (answer == IDCANCEL) EXPECT_EQ(answerer.texts.size(), 1u) << "nothing sent";
        else EXPECT_EQ(answerer.texts.size(), 2u) << "the send's failure message";
        registry.CloseKey();
        ASSERT_TRUE(registry.OpenKey(app::SettingsKey, false));
        EXPECT_EQ(registry.ReadString("MAIL1"), answer == IDYES ? "hanako" : "taro");
    }
    std::filesystem::remove(file);
}

TEST_F(Win32MainWindow, ALinkButtonPressedKeepsTheFocusWhereItWasAndShowsTheHand) {
    ShowAndFocus(IdEdit2);
    ASSERT_EQ(::GetFocus(), Control(IdEdit2));
    HWND link = Control(IdSpeedButton3);
    EXPECT_EQ(::SendMessageW(link, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(form_.Handle()), 0), MA_NOACTIVATE);
    ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(::GetFocus(), Control(IdEdit2));
    ::ReleaseCapture();  // no button-up: the click's dialog stays out of this test
    EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(link, GCLP_HCURSOR)), ::LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(Win32MainWindow, TheAddressFieldHasNoJapaneseInput) {
    HIMC context = ::ImmGetContext(Control(IdEdit2));
    EXPECT_EQ(context, nullptr);
    if (context != nullptr) ::ImmReleaseContext(Control(IdEdit2), context);
}

TEST_F(Win32MainWindow, TheListOffersTheCarriersTheFirstSelectedAndTakesNoTyping) {
    HWND list = Control(IdComboBox1);
    const auto carriers = static_cast<int>(std::size(app::CarrierDomains));
    EXPECT_EQ(::GetWindowLongPtrW(list, GWL_STYLE) & 0x3, CBS_DROPDOWNLIST);
    EXPECT_EQ(::SendMessageW(list, CB_GETCOUNT, 0, 0), carriers);
    EXPECT_EQ(form_.ComboBox1ItemIndex(), 0);
    EXPECT_EQ(form_.ComboBox1Text(), app::CarrierDomains[0]);
    form_.SetComboBox1ItemIndex(carriers - 1);
    EXPECT_EQ(form_.ComboBox1Text(), app::CarrierDomains[carriers - 1]);
    form_.SetComboBox1ItemIndex(carriers);
    EXPECT_EQ(form_.ComboBox1ItemIndex(), -1);
    EXPECT_EQ(form_.ComboBox1Text(), "");
}

TEST_F(Win32MainWindow, EnterInAFieldPressesTheSaveButtonOnlyWhileItIsEnabled) {
    EXPECT_EQ(::GetWindowLongPtrW(Control(IdButton1), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    ShowAndFocus(IdEdit2);
    DialogAnswerer answerer;
    PressEnter(IdEdit2);  // both fields empty: nothing happens
    EXPECT_TRUE(answerer.texts.empty());
    EXPECT_TRUE(::IsWindowVisible(form_.Handle()));

    form_.SetEdit1Text("Taro");
    form_.SetEdit2Text("a@b@c");
    PressEnter(IdEdit2);  // the save's check refuses it: its message, and the window stays
    ASSERT_EQ(answerer.texts.size(), 1u);
    EXPECT_EQ(platform::win32::Cp932FromWideReplacing(answerer.texts[0]), app::DestinationRefusedMessage());
    EXPECT_TRUE(::IsWindowVisible(form_.Handle()));
}

TEST_F(Win32MainWindow, ALoadedFieldHasTheCaretAtTheEndOfItsText) {
    form_.SetEdit1Text("Taro");
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(Control(IdEdit1), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 4u);
    EXPECT_EQ(end, 4u);
}

TEST_F(Win32MainWindow, TheSettingsHintGrowsTheWindowByItsLineAboveEverythingElse) {
    const std::string text = app::SettingsFirstHint();
    form_.ShowSettingsHint(text);
    form_.ShowSettingsHint(text);  // a second time changes nothing more
    HWND hint = Control(IdHint);
    EXPECT_TRUE(::GetWindowLongPtrW(hint, GWL_STYLE) & WS_VISIBLE);
    wchar_t shown[64] = {};
    ::GetWindowTextW(hint, shown, 64);
    EXPECT_EQ(shown, platform::win32::WideFromCp932(text));
    const RECT bounds = Bounds(IdHint);
    EXPECT_EQ(bounds.left, Scaled(12));
    EXPECT_EQ(bounds.top, Scaled(6));
    EXPECT_EQ(bounds.right - bounds.left, Scaled(294));
    // The whole text fits its line.
    HDC dc = ::GetDC(hint);
    auto* old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hint, WM_GETFONT, 0, 0)));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, shown, static_cast<int>(wcslen(shown)), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(hint, dc);
    EXPECT_LE(extent.cx, bounds.right - bounds.left);

    RECT client;
    ::GetClientRect(form_.Handle(), &client);
    EXPECT_EQ(client.bottom, Scaled(344) + Scaled(24));
    for (const Placed& control : Layout) {
        EXPECT_EQ(Bounds(control.id).top, Scaled(control.top) + Scaled(24)) << control.name;
        EXPECT_EQ(Bounds(control.id).left, Scaled(control.left)) << control.name;
    }
}

TEST_F(Win32MainWindow, AFieldRefusesACharacterThatCp932CannotWriteAndKeepsItsText) {
    form_.SetEdit1Text("\x8e\x52\x93\x63");  // 山田
    ::SetWindowTextW(Control(IdEdit1), L"山田\U0001F600");  // as a paste would bring it
    EXPECT_EQ(form_.Edit1Text(), "\x8e\x52\x93\x63");
    ::SetWindowTextW(Control(IdEdit1), L"山田①");  // NEC's circled digits are CP932
    EXPECT_EQ(form_.Edit1Text(), "\x8e\x52\x93\x63\x87\x40");
}

TEST_F(Win32MainWindow, TheProgressWindowShowsTheSendInTheWindowsLookWithItsControlsInPlace) {
    form_.ShowProgress({platform::Cp932("写真.jpg"), platform::Cp932("送信しています…"), 250,
                        platform::Cp932("1,225,000 / 4,900,000 バイト")});
    HWND progress = ::FindWindowW(L"MiltePostProgressForm", nullptr);
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(::IsWindowVisible(progress));
    wchar_t text[64] = {};
    ::GetWindowTextW(progress, text, 64);
    EXPECT_STREQ(text, L"ミルテ・ポスト");
    RECT client;
    ::GetClientRect(progress, &client);
    EXPECT_EQ(client.right, Scaled(300));
    EXPECT_EQ(client.bottom, Scaled(134));

    struct Shown {
        ProgressControlId id;
        const wchar_t* text;
        RECT bounds96;  // left, top, width, height
        int fontHeight;
        bool bold;
    };
    for (const Shown& control : {Shown{IdFileName, L"写真.jpg", {12, 12, 276, 16}, 12, true},
                                 Shown{IdActivity, L"送信しています…", {12, 34, 276, 16}, 12, false},
                                 Shown{IdProgressBar, L"", {12, 54, 276, 18}, 0, false},
                                 Shown{IdBytes, L"1,225,000 / 4,900,000 バイト", {12, 76, 276, 16}, 12, false},
                                 Shown{IdCancelButton, L"キャンセル", {100, 98, 100, 25}, 16, false}}) {
        HWND child = ::GetDlgItem(progress, control.id);
        ::GetWindowTextW(child, text, 64);
        EXPECT_STREQ(text, control.text) << control.id;
        RECT bounds;
        ::GetWindowRect(child, &bounds);
        ::MapWindowPoints(HWND_DESKTOP, progress, reinterpret_cast<POINT*>(&bounds), 2);
        EXPECT_EQ(bounds.left, Scaled(control.bounds96.left)) << control.id;
        EXPECT_EQ(bounds.top, Scaled(control.bounds96.top)) << control.id;
        EXPECT_EQ(bounds.right - bounds.left, Scaled(control.bounds96.right)) << control.id;
        EXPECT_EQ(bounds.bottom - bounds.top, Scaled(control.bounds96.bottom)) << control.id;
        if (control.fontHeight == 0) continue;
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -Scaled(control.fontHeight)) << control.id;
        EXPECT_EQ(font.lfWeight >= FW_BOLD, control.bold) << control.id;
        EXPECT_EQ(std::wstring(font.lfFaceName), WindowFontFamily()) << control.id;
    }
    HWND bar = ::GetDlgItem(progress, IdProgressBar);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 250);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);

    form_.HideProgress();
    EXPECT_FALSE(::IsWindowVisible(progress));
}

TEST_F(Win32MainWindow, InTheProgressWindowReturnAndSpaceDoNotCancelWhereverTheFocusIs) {
    int cancels = 0;
    Win32ProgressWindow progress(form_.Handle(), dpi_, [&cancels] { ++cancels; });
    progress.Show({"photo.jpg", "", 0, ""});
    Pump();
    HWND button = ::GetDlgItem(progress.Handle(), IdCancelButton);
    EXPECT_EQ(::GetFocus(), progress.Handle());
    // As the program's message loop takes keys, to the window with the focus; then again after
    // a press of the mouse on the button gave it the focus.
    for (HWND focus : {progress.Handle(), button}) {
        ::SetFocus(focus);
        for (WPARAM key : {VK_RETURN, VK_SPACE}) Type(key);
        EXPECT_EQ(cancels, 0) << (focus == button ? "button" : "window");
        Type(VK_ESCAPE);
        EXPECT_EQ(cancels, 1) << (focus == button ? "button" : "window");
        cancels = 0;
    }
}

}  // namespace
