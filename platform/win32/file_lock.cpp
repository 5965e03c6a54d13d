#include "platform/file_lock.h"

#include <thread>

#include "platform/win32/windows_api.h"

namespace platform {

std::unique_ptr<FileLock> FileLock::Take(const FilePath& lockFile, std::chrono::milliseconds patience) {
    const HANDLE file = ::CreateFileW(lockFile.Native().c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // A waiting LockFileEx has no time-out of its own: the tries are paced, and the thread sleeps
    // between them.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        OVERLAPPED whole = {};
        if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
            return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<std::intptr_t>(file)));
        if (std::chrono::steady_clock::now() >= deadline) {
            ::CloseHandle(file);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FileLock::~FileLock() { ::CloseHandle(reinterpret_cast<HANDLE>(handle_)); }  // the close releases the lock

}  // namespace platform
