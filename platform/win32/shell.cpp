#include "platform/shell.h"

#include <utility>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

std::function<void()>& BellHook() {
    static std::function<void()> bell;
    return bell;
}

}  // namespace

void SetBellHook(std::function<void()> bell) { BellHook() = std::move(bell); }

void MessageBeep() {
    if (BellHook()) {
        BellHook()();
        return;
    }
    ::MessageBeep(0);
}

bool OpenUrl(const std::string& cp932Url) {
    const std::wstring url = win32::WideFromCp932(cp932Url);
    // Values above 32 mean the shell started something for the URL.
    const auto result = ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

}  // namespace platform
