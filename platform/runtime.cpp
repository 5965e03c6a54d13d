#include "platform/runtime.h"

#include <cstdio>

namespace platform {

void HandleException(const std::exception& error) {
    if (ApplicationExceptionHandler()) {
        ApplicationExceptionHandler()(error);
        return;
    }
    std::fprintf(stderr, "%s\n", error.what());
}

}  // namespace platform
