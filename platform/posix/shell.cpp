#include "platform/shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/cp932.h"
#include "platform/system_beep.h"

namespace platform {

void SystemBeep() {
    // Without a toolkit, the terminal's bell is the only one there is.
    if (::isatty(STDERR_FILENO)) (void)!::write(STDERR_FILENO, "\a", 1);
}

bool OpenUrl(const std::string& cp932Url) {
    // xdg-open picks the user's browser. A double fork leaves it to init, so it is neither waited
    // for nor left a zombie; a close-on-exec pipe tells whether it could be started at all.
    const std::string url = Cp932ToUtf8(cp932Url);
    int startReport[2];
    if (::pipe2(startReport, O_CLOEXEC) != 0) return false;
    pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        pid_t browser = ::fork();
        if (browser == 0) {
            ::execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
            (void)!::write(startReport[1], "x", 1);
            ::_exit(127);
        }
        if (browser < 0) ::_exit(1);
        ::close(startReport[1]);
        char failed = 0;
        ::_exit(::read(startReport[0], &failed, 1) == 1 ? 1 : 0);
    }
    ::close(startReport[0]);
    ::close(startReport[1]);
    if (child < 0) return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
