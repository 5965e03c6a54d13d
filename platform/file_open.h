#pragma once
// Inside the platform: opening a file stream's file, the system's part of FileStream.

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/file_stream.h"

namespace platform {

// Opens for reading or creates; throws EFOpenError or EFCreateError naming cp932Name.
std::FILE* OpenFile(const std::filesystem::path& path, FileStream::Mode mode, const std::string& cp932Name);

}  // namespace platform
