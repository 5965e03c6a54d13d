#include "platform/file_stream.h"

#include <cerrno>
#include <cstring>

#include "platform/file_open.h"
#include "platform/runtime.h"

// What every system's file stream shares; opening and the size are the system's.
namespace platform {

FileStream::FileStream(const FilePath& path, Mode mode)
    : file_(OpenFile(path.Native(), mode, path.Cp932ForMessage())), path_(path.Cp932ForMessage()) {}

FileStream::FileStream(const std::string& cp932Path, Mode mode)
    : file_(OpenFile(FilePath::FromCp932(cp932Path).Native(), mode, cp932Path)), path_(cp932Path) {}

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
    // No flush per piece: the stream's buffer goes out when full and at the close.
    if (put != count)
        throw Exception("Stream write error on \"" + path_ + "\": " + std::strerror(errno));
}

}  // namespace platform
