#pragma once
// The running program as the system started it: its arguments and the path of its executable,
// both in UTF-8 (a path that CP932 cannot write is then refused where it is converted, the same
// way on every system).

#include <string>
#include <vector>

namespace platform {

// Argument 0 (the program) first. argc and argv are main's; a system whose own command line is
// Unicode reads that instead, so no character is lost to an ANSI code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// The executable's full path; "" when the system cannot tell.
std::string ExecutablePath();

}  // namespace platform
