#include "platform/file_stream.h"

#include <io.h>

#include <cerrno>
#include <cstring>

#include "platform/cp932.h"
#include "platform/runtime.h"
#include "platform/win32/wide_text.h"

namespace platform {

FileStream::FileStream(const std::string& cp932Path, Mode mode) : path_(cp932Path) {
    // Opened by the UTF-16 name, so that the name's characters do not depend on the ANSI code page.
    const std::wstring native = win32::WideFromCp932(cp932Path);
    if (mode == Mode::Read) {
        file_ = ::_wfopen(native.c_str(), L"rb");
        if (file_ == nullptr)
            throw EFOpenError(Cp932("ファイル ") + cp932Path + Cp932(" は開けません"));
    } else {
        file_ = ::_wfopen(native.c_str(), L"wb");
        if (file_ == nullptr)
            throw EFCreateError(Cp932("ファイル ") + cp932Path + Cp932(" を作成できません"));
    }
}

FileStream::~FileStream() {
    if (file_ != nullptr) std::fclose(file_);
}

std::size_t FileStream::Read(char* buffer, std::size_t count) {
    std::size_t got = std::fread(buffer, 1, count, file_);
    position_ += static_cast<std::int64_t>(got);
    return got;
}

void FileStream::Write(const char* data, std::size_t count) {
    if (count == 0) return;
    std::size_t put = std::fwrite(data, 1, count, file_);
    position_ += static_cast<std::int64_t>(put);
    if (put != count || std::fflush(file_) != 0)
        throw Exception("Stream write error on \"" + path_ + "\": " + std::strerror(errno));
}

std::int64_t FileStream::Size() const {
    const std::int64_t size = ::_filelengthi64(::_fileno(file_));
    return size < 0 ? 0 : size;
}

}  // namespace platform
