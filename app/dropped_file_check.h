#pragma once
// The check on a file dropped on the program's icon: whether it is sent, refused with messages,
// or ignored without a word.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The files the program was started with, in the order given; none in settings mode.
using DroppedFiles = std::vector<DroppedFile>;

// Argument 1 as the system gives it (empty when there is none).
DroppedFile DroppedFileFromPath(platform::FilePath path);
// The arguments after the program's name; empty ones are no arguments.
DroppedFiles DroppedFilesFromPaths(const std::vector<platform::FilePath>& paths);

enum class DropCheck { Ignored, Refused, Accepted };

struct DropVerdict {
    DropCheck check = DropCheck::Ignored;
    // CP932, in the order they are told: the refusals, or for an ignored file why (a file of
    // several is not ignored in silence).
    std::vector<std::string> reasons;
};

inline constexpr std::int64_t MaxFileSize = 5'000'000;

// Shows one refusal message (the caller beeps first).
using RefusalMessage = std::function<void(const std::string& cp932Text)>;

// destination: the local part of the destination address; empty means not set.
DropVerdict JudgeDroppedFile(const DroppedFile& file, const std::string& destination);
// The same, each refusal shown as it is found.
DropCheck CheckDroppedFile(const DroppedFile& file, const std::string& destination, const RefusalMessage& refuse);

bool IsAcceptedExtension(std::string_view extension);
// The accepted extensions as a file chooser's pattern, "*.ai" and so on joined by the separator;
// the choosers compare them case-blind.
std::string ChooserPattern(char separator);

// nullopt when the file cannot be opened for reading (then the size check refuses nothing).
std::optional<std::int64_t> FileSize(const platform::FilePath& path);
bool IsOverSizeLimit(const DroppedFile& file);
// The refusal of a file over the limit (CP932).
std::string SizeLimitReason();

}  // namespace app
