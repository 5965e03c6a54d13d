#pragma once
// The crossing between the program's CP932 text and the UTF-16 of the Win32 controls. Code page
// 932 is named explicitly, so an English Windows shows and stores the same text as a Japanese one.

#include <optional>
#include <string>

namespace app::win32 {

std::wstring WideFromCp932(const std::string& cp932Text);
// nullopt when a character has no CP932 form.
std::optional<std::string> Cp932FromWide(const std::wstring& text);
// Characters outside CP932 become "?" (a path the system gave us, say).
std::string Cp932FromWideLossy(const std::wstring& text);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace app::win32
