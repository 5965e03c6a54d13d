#include "platform/file_stream.h"
#include "platform/file_open.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/cp932.h"
#include "platform/runtime.h"

namespace platform {

std::FILE* OpenFile(const std::filesystem::path& path, FileStream::Mode mode, const std::string& cp932Name) {
    std::FILE* file = nullptr;
    if (mode == FileStream::Mode::Read) {
        struct stat info {};
        // A folder opens under fopen on Linux but is no file to read.
        if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) errno = EISDIR;
        else file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) throw EFOpenError(Cp932("ファイル ") + cp932Name + Cp932(" は開けません"));
    } else {
        file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) throw EFCreateError(Cp932("ファイル ") + cp932Name + Cp932(" を作成できません"));
    }
    return file;
}

std::int64_t FileStream::Size() const {
    struct stat info {};
    std::fflush(file_);  // what a writer has buffered counts
    if (::fstat(::fileno(file_), &info) != 0) return 0;
    return static_cast<std::int64_t>(info.st_size);
}

}  // namespace platform
