#pragma once
// A lock that copies of the program take in turn before they rewrite a file they share (the send
// log): flock on POSIX systems, LockFileEx on Windows, on a lock file of its own that is never
// removed. Held until the object goes.

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/file_path.h"

namespace platform {

class FileLock {
public:
    // Takes the lock on the lock file (created, the user's alone, when missing), waiting at most
    // patience; null when it could not be had in that time or the file could not be opened.
    static std::unique_ptr<FileLock> Take(const FilePath& lockFile, std::chrono::milliseconds patience);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;  // the system's open lock file
};

}  // namespace platform
