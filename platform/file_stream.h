#pragma once
// Byte streams over files, named by their own path or by a CP932 text. Large files (over 4 GiB)
// work.

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_path.h"

namespace platform {

class FileStream {
public:
    enum class Mode { Read, Create };
    // Opens for reading (others may read too) or creates/truncates for writing.
    // Throws EFOpenError or EFCreateError, naming the file in CP932.
    FileStream(const FilePath& path, Mode mode);
    FileStream(const std::string& cp932Path, Mode mode);
    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::size_t Read(char* buffer, std::size_t count);
    void Write(const char* data, std::size_t count);  // throws Exception on a short write
    std::int64_t Position() const { return position_; }
    std::int64_t Size() const;
    const std::string& Cp932Name() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;  // CP932, for messages
    std::int64_t position_ = 0;
};

}  // namespace platform
