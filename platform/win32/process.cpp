#include "platform/process.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(win32::Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "";
        if (length < path.size()) return win32::Utf8FromWide(std::wstring_view(path.data(), length));
        path.resize(path.size() * 2);  // cut short: try a longer buffer
    }
}

}  // namespace platform
