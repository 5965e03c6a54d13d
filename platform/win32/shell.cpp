#include "platform/shell.h"

#include "platform/system_beep.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace platform {

void SystemBeep() { ::MessageBeep(0); }

bool OpenUrl(const std::string& cp932Url) {
    const std::wstring url = win32::WideFromCp932(cp932Url);
    // Values above 32 mean the shell started something for the URL.
    const auto result = ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

}  // namespace platform
