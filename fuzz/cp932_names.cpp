// File names as the system hands them over: CP932 conversion both ways, the name and extension
// of a path, and the dropped-file check on a file of that name. The input is the name in the
// system's encoding (UTF-8, or any bytes).

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "app/dropped_file_check.h"
#include "app/file_name_parts.h"
#include "fuzz/fuzz_input.h"
#include "net/ftp/nmftp.h"
#include "platform/cp932.h"
#include "platform/file_path.h"

namespace {

void CheckConversions(const std::string& bytes) {
    // Never fails: U+FFFD stands in for what is not CP932.
    fuzz::Check(platform::Cp932ToUtf8(bytes).empty() == bytes.empty(), "every CP932 byte gives text");
    if (const auto cp932 = platform::Utf8ToCp932(bytes)) {
        fuzz::Check(platform::Cp932(bytes) == *cp932, "text that fits converts the same with or without stand-ins");
    }
}

void CheckNameParts(const std::string& cp932Path) {
    const std::string name = app::ExtractFileName(cp932Path);
    const std::string extension = app::ExtractFileExt(cp932Path);
    fuzz::Check(fuzz::EndsWith(cp932Path, name), "the name ends the path");
    fuzz::Check(fuzz::EndsWith(name, extension), "the extension ends the name");
    fuzz::Check(extension.empty() || extension[0] == '.', "an extension begins with its dot");
    fuzz::Check(fuzz::EndsWith(cp932Path, nmftp::FileNamePart(cp932Path)), "the STOR name ends the path");
}

// One file of the given name, checked as if dropped on the icon.
void CheckDroppedFile(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos) {
        return;  // not a file name of this system
    }
    const std::filesystem::path path = fuzz::ScratchFolder() / name;
    std::ofstream(path, std::ios::binary) << "x";
    const app::DroppedFile file = app::DroppedFileFromPath(platform::FilePath(path));
    const auto verdict = app::CheckDroppedFile(file, "mail", [](const std::string& text) {
        fuzz::Check(!text.empty(), "a refusal says why");
    });
    if (verdict == app::DropCheck::Accepted) {
        fuzz::Check(file.fitsCp932 && app::IsAcceptedExtension(app::ExtractFileExt(file.cp932Path)),
                    "only a CP932 name with an accepted extension is sent");
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::Bytes(data, size);
    CheckConversions(bytes);
    CheckNameParts(bytes);
    CheckDroppedFile(bytes);
    return 0;
}
