#pragma once
// The message dialog and the failure display as the system's own message box: captioned with the
// application title, one OK button (Enter, Esc and Ctrl+C are the system's).

#include <windows.h>

#include <string>

#include "app/main_form_view.h"

namespace app::win32 {

// No icon; returns when the user has dismissed it. owner may be null.
void ShowMessageDialog(const std::string& cp932Text, HWND owner);
// The question with はい, いいえ and キャンセル (Esc and the close box answer キャンセル).
QuestionAnswer AskQuestionDialog(const std::string& cp932Text, HWND owner);
// A question answered はい (the default) or いいえ; true for はい.
bool AskYesNoDialog(const std::string& cp932Text, HWND owner);

// The failure's message with its full stop, under the error icon.
void ShowFailureDisplay(const std::string& cp932Message, HWND owner);

// One line on the standard error handle for every window a send shows, "<kind>: <caption>:
// <text>" in UTF-8 with line feeds as "\n" (kind "dialog" for the boxes, "progress" for the
// progress window, "hint" for the settings window's hint line), so a send, which has no window
// of its own, leaves a trace of what the user was shown.
void LogShownWindow(const char* kind, const std::wstring& caption, const std::wstring& text);

}  // namespace app::win32
