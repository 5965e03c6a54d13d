#pragma once
// Files that hold what is the user's own (their name and mail address in the send log), readable
// by them alone: folders 0700 and files 0600 on POSIX systems; on Windows what the per-user
// folder they live in grants (%LOCALAPPDATA% is the user's).

#include <string>

#include "platform/file_path.h"

namespace platform {

// Creates the folder (and its parents) if need be, and makes it the user's alone; false when it
// could not.
bool MakePrivateFolder(const FilePath& folder);
// Writes the bytes to a new file, the user's alone, on the disk before it returns; false when the
// file exists already or could not be written whole.
bool WritePrivateFile(const FilePath& file, const std::string& bytes);

}  // namespace platform
