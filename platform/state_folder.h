#pragma once
// Where the program keeps what belongs to this user on this machine alone (the log of its
// sends): %LOCALAPPDATA%\MiltePost on Windows; elsewhere $XDG_STATE_HOME/milte-post, or
// ~/.local/state/milte-post when that is not set. The folder may not exist yet.

#include "platform/file_path.h"

namespace platform {

// Empty when the system names no such place for this user.
FilePath LocalStateFolder();

}  // namespace platform
