#include "platform/private_files.h"

#include <system_error>

#include "platform/win32/windows_api.h"

namespace platform {

// A folder made here inherits the ACL of the per-user folder it is in.
bool MakePrivateFolder(const FilePath& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder.Native(), error);
    return std::filesystem::is_directory(folder.Native(), error);
}

bool WritePrivateFile(const FilePath& file, const std::string& bytes) {
    const HANDLE handle = ::CreateFileW(file.Native().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool whole = ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size() && ::FlushFileBuffers(handle);
    return ::CloseHandle(handle) && whole;
}

}  // namespace platform
