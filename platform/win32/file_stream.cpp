#include "platform/file_stream.h"
#include "platform/file_open.h"

#include <io.h>

#include "platform/cp932.h"
#include "platform/runtime.h"

namespace platform {

// By the UTF-16 name, so that no character depends on the ANSI code page.
std::FILE* OpenFile(const std::filesystem::path& path, FileStream::Mode mode, const std::string& cp932Name) {
    if (mode == FileStream::Mode::Read) {
        std::FILE* file = ::_wfopen(path.c_str(), L"rb");
        if (file == nullptr) throw EFOpenError(Cp932("ファイル ") + cp932Name + Cp932(" は開けません"));
        return file;
    }
    std::FILE* file = ::_wfopen(path.c_str(), L"wb");
    if (file == nullptr) throw EFCreateError(Cp932("ファイル ") + cp932Name + Cp932(" を作成できません"));
    return file;
}

std::int64_t FileStream::Size() const {
    std::fflush(file_);  // what a writer has buffered counts
    const std::int64_t size = ::_filelengthi64(::_fileno(file_));
    return size < 0 ? 0 : size;
}

}  // namespace platform
