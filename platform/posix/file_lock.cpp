#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

namespace platform {

std::unique_ptr<FileLock> FileLock::Take(const FilePath& lockFile, std::chrono::milliseconds patience) {
    const int fd = ::open(lockFile.Native().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    // flock has no time-out of its own: the tries are paced, and the thread sleeps between them.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() { ::close(static_cast<int>(handle_)); }  // the close releases the lock

}  // namespace platform
