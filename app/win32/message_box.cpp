#include "app/win32/message_box.h"

#include "app/dialog_texts.h"
#include "platform/win32/wide_text.h"

namespace app::win32 {
namespace {

using platform::win32::Utf8FromWide;
using platform::win32::WideFromCp932;

int ShowBox(const std::string& cp932Text, HWND owner, UINT style) {
    const std::wstring caption = WideFromCp932(ApplicationTitle());
    const std::wstring text = WideFromCp932(cp932Text);
    LogShownWindow("dialog", caption, text);
    // A hidden owner (the window of a send) would keep the box off the task bar.
    if (owner != nullptr && !::IsWindowVisible(owner)) owner = nullptr;
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), style | (owner ? 0 : MB_TASKMODAL) | MB_SETFOREGROUND);
}

}  // namespace

// Written as bytes: the runtime's text mode would end the line with CR LF. A GUI program started
// by the shell has no such handle.
void LogShownWindow(const char* kind, const std::wstring& caption, const std::wstring& text) {
    std::string line = std::string(kind) + ": " + Utf8FromWide(caption) + ": ";
    for (char ch : Utf8FromWide(text)) line += ch == '\n' ? std::string("\\n") : std::string(1, ch);
    line += '\n';
    HANDLE errorOutput = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (errorOutput != nullptr && errorOutput != INVALID_HANDLE_VALUE)
        ::WriteFile(errorOutput, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void ShowMessageDialog(const std::string& cp932Text, HWND owner) { ShowBox(cp932Text, owner, MB_OK); }

bool AskYesNoDialog(const std::string& cp932Text, HWND owner) {
    return ShowBox(cp932Text, owner, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

QuestionAnswer AskQuestionDialog(const std::string& cp932Text, HWND owner) {
    switch (ShowBox(cp932Text, owner, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1)) {
    case IDYES: return QuestionAnswer::Yes;
    case IDNO: return QuestionAnswer::No;
    default: return QuestionAnswer::Cancel;
    }
}

void ShowFailureDisplay(const std::string& cp932Message, HWND owner) {
    ShowBox(FailureDisplayText(cp932Message), owner, MB_OK | MB_ICONERROR);
}

}  // namespace app::win32
