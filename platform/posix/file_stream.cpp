#include "platform/file_stream.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/cp932.h"
#include "platform/runtime.h"

namespace platform {

FileStream::FileStream(const std::string& cp932Path, Mode mode) : path_(cp932Path) {
    const std::string native = NativePath(cp932Path);
    if (mode == Mode::Read) {
        struct stat info {};
        // A folder opens under fopen on Linux but is no file to read.
        if (::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) errno = EISDIR;
        else file_ = std::fopen(native.c_str(), "rb");
        if (file_ == nullptr)
            throw EFOpenError(Cp932("ファイル ") + cp932Path + Cp932(" は開けません"));
    } else {
        file_ = std::fopen(native.c_str(), "wb");
        if (file_ == nullptr)
            throw EFCreateError(Cp932("ファイル ") + cp932Path + Cp932(" を作成できません"));
    }
}

std::int64_t FileStream::Size() const {
    struct stat info {};
    if (::fstat(::fileno(file_), &info) != 0) return 0;
    return static_cast<std::int64_t>(info.st_size);
}

}  // namespace platform
