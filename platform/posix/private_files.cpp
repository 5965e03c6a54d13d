#include "platform/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {

bool MakePrivateFolder(const FilePath& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder.Native().parent_path(), ignored);
    if (::mkdir(folder.Native().c_str(), 0700) != 0 && errno != EEXIST) return false;
    // A folder made by an earlier version, or under another umask, is narrowed too.
    return ::chmod(folder.Native().c_str(), 0700) == 0;
}

bool WritePrivateFile(const FilePath& file, const std::string& bytes) {
    const int fd = ::open(file.Native().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        written += static_cast<std::size_t>(put);
    }
    const bool whole = written == bytes.size() && ::fsync(fd) == 0;
    return ::close(fd) == 0 && whole;
}

}  // namespace platform
