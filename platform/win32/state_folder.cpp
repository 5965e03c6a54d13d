#include "platform/state_folder.h"

#include <cstdlib>
#include <string>

#include "platform/win32/windows_api.h"

#include <shlobj.h>

namespace platform {

FilePath LocalStateFolder() {
    const wchar_t* localAppData = ::_wgetenv(L"LOCALAPPDATA");
    std::wstring folder = localAppData != nullptr ? localAppData : L"";
    if (folder.empty()) {
        wchar_t known[MAX_PATH] = {};
        if (::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, known) != S_OK) return {};
        folder = known;
    }
    return FilePath(std::filesystem::path(folder) / L"MiltePost");
}

}  // namespace platform
