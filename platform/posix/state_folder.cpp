#include "platform/state_folder.h"

#include <cstdlib>
#include <string>

namespace platform {

FilePath LocalStateFolder() {
    // An XDG variable that is not an absolute path is to be ignored.
    const char* xdgState = std::getenv("XDG_STATE_HOME");
    if (xdgState != nullptr && xdgState[0] == '/') return FilePath(std::filesystem::path(xdgState) / "milte-post");
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return FilePath(std::filesystem::path(home) / ".local" / "state" / "milte-post");
}

}  // namespace platform
