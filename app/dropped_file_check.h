#pragma once
// The check on a file dropped on the program's icon: whether it is sent, refused with messages,
// or ignored without a word.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_path.h"

namespace app {

// Argument 1 of the command line. The file is opened by its own path; its CP932 text names it on
// the wire and in messages (the two may name different files: see platform/file_path.h).
struct DroppedFile {
    platform::FilePath path;  // empty: there is no argument
    std::string cp932Path;
    bool fitsCp932 = true;    // false: the path has characters CP932 cannot write, and cp932Path
                              // holds a stand-in
};

// Argument 1 as the system gives it (empty when there is none).
DroppedFile DroppedFileFromPath(platform::FilePath path);

enum class DropCheck { Ignored, Refused, Accepted };

inline constexpr std::int64_t MaxFileSize = 5'000'000;

// Shows one refusal message (the caller beeps first).
using RefusalMessage = std::function<void(const std::string& cp932Text)>;

// destination: the local part of the destination address; empty means not set.
DropCheck CheckDroppedFile(const DroppedFile& file, const std::string& destination, const RefusalMessage& refuse);

bool IsAcceptedExtension(std::string_view extension);

// nullopt when the file cannot be opened for reading (then the size check refuses nothing).
std::optional<std::int64_t> FileSize(const platform::FilePath& path);

}  // namespace app
