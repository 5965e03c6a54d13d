#pragma once
// The check on a file dropped on the program's icon: whether it is sent, refused with messages,
// or ignored without a word.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace app {

// Argument 1 of the command line.
struct DroppedFile {
    std::string cp932Path;   // empty: there is no argument
    bool fitsCp932 = true;   // false: the system's path has characters CP932 cannot write, and
                             // cp932Path holds a stand-in that must not be used to open files
};

// Argument 1 as the system gives it in UTF-8 (nullptr or "" when there is none).
DroppedFile DroppedFileFromUtf8(const char* utf8Path);

enum class DropCheck { Ignored, Refused, Accepted };

inline constexpr std::int64_t MaxFileSize = 5'000'000;

// Shows one refusal message (the caller beeps first).
using RefusalMessage = std::function<void(const std::string& cp932Text)>;

// destination: the local part of the destination address; empty means not set.
DropCheck CheckDroppedFile(const DroppedFile& file, const std::string& destination, const RefusalMessage& refuse);

bool IsAcceptedExtension(std::string_view extension);

}  // namespace app
