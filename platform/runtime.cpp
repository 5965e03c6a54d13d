#include "platform/runtime.h"

#include <cstdint>
#include <cstdio>
#include <limits>

#include "platform/cp932.h"

namespace platform {

void HandleException(const std::exception& error) {
    if (ApplicationExceptionHandler()) {
        ApplicationExceptionHandler()(error);
        return;
    }
    std::fprintf(stderr, "%s\n", error.what());
}

int StrToInt(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) i = text.size();
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    const std::size_t firstDigit = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) break;
    }
    const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + (negative ? 1 : 0);
    if (i == firstDigit || i != text.size() || value > limit)
        throw EConvertError("'" + text + "'" + Cp932(" は整数ではありません"));
    return static_cast<int>(negative ? -value : value);
}

}  // namespace platform
