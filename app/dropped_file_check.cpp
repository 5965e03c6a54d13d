#include "app/dropped_file_check.h"

#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/file_name_parts.h"
#include "platform/cp932.h"
#include "platform/file_stream.h"
#include "platform/runtime.h"

namespace app {
namespace {

// Compared byte for byte: a mixed-case form such as ".Jpg" is not accepted.
constexpr std::array<std::string_view, 32> AcceptedExtensions = {
    ".ai",  ".bmp",  ".dcm",  ".neps", ".gif",  ".jpg",  ".jpeg", ".pcx",  ".pdf",  ".pict", ".pct",
    ".png", ".ps",   ".psd",  ".tif",  ".tiff", ".AI",   ".BMP",  ".DCM",  ".NEPS", ".GIF",  ".JPG",
    ".JPEG", ".PCX", ".PDF",  ".PICT", ".PCT",  ".PNG",  ".PS",   ".PSD",  ".TIF",  ".TIFF",
};

bool IsExistingFile(const std::string& cp932Path) {
    std::error_code error;
    // NativePath gives UTF-8; a path made from plain chars would take the system's code page.
    const std::string native = platform::NativePath(cp932Path);
    const std::u8string utf8(native.begin(), native.end());
    auto status = std::filesystem::status(std::filesystem::path(utf8), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// Control characters would break the FTP command line and the notification URL.
bool HasControlCharacter(std::string_view cp932Name) {
    for (unsigned char byte : cp932Name)
        if (byte < 0x20 || byte == 0x7F) return true;
    return false;
}

// nullopt when the file cannot be opened for reading; then the size refuses nothing.
std::optional<std::int64_t> FileSize(const std::string& cp932Path) {
    try {
        platform::FileStream file(cp932Path, platform::FileStream::Mode::Read);
        return file.Size();
    } catch (const platform::Exception&) {
        return std::nullopt;
    }
}

}  // namespace

DroppedFile DroppedFileFromUtf8(const char* utf8Path) {
    if (utf8Path == nullptr || *utf8Path == '\0') return {};
    if (auto cp932 = platform::Utf8ToCp932(utf8Path)) return {*cp932, true};
    return {platform::Cp932(utf8Path), false};
}

bool IsAcceptedExtension(std::string_view extension) {
    for (std::string_view accepted : AcceptedExtensions)
        if (extension == accepted) return true;
    return false;
}

DropCheck CheckDroppedFile(const DroppedFile& file, const std::string& destination, const RefusalMessage& refuse) {
    if (destination.empty()) return DropCheck::Ignored;
    // A name that cannot be written in CP932 or carries control characters cannot be sent.
    const std::string unsendableName = platform::Cp932("ファイル名かフォルダ名に送信できない文字が含まれています。");
    if (!file.fitsCp932) {
        refuse(unsendableName);
        return DropCheck::Refused;
    }
    if (!IsExistingFile(file.cp932Path)) return DropCheck::Ignored;
    if (HasControlCharacter(ExtractFileName(file.cp932Path))) {
        refuse(unsendableName);
        return DropCheck::Refused;
    }

    bool refused = false;
    const std::string extension = ExtractFileExt(file.cp932Path);
    if (!IsAcceptedExtension(extension)) {
        refuse(extension + platform::Cp932("形式のファイルは非対応です。"));
        refused = true;
    }
    // The size is checked also after a refused extension, so both reasons are told.
    auto size = FileSize(file.cp932Path);
    if (size && *size > MaxFileSize) {
        refuse(platform::Cp932("送信できるファイルは最大 5MB までです。"));
        refused = true;
    }
    return refused ? DropCheck::Refused : DropCheck::Accepted;
}

}  // namespace app
