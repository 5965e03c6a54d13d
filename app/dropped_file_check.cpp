#include "app/dropped_file_check.h"

#include <array>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "app/file_name_parts.h"
#include "app/shrink_for_send.h"
#include "platform/cp932.h"
#include "platform/file_stream.h"
#include "platform/runtime.h"

namespace app {
namespace {

// Compared byte for byte: a mixed-case form such as ".Jpg" is not accepted. ".eps" is the format
// the list of supported formats names; ".neps" was accepted for it before and stays accepted.
constexpr std::array<std::string_view, 34> AcceptedExtensions = {
    ".ai",  ".bmp", ".dcm",  ".eps",  ".neps", ".gif",  ".jpg",  ".jpeg", ".pcx", ".pdf",  ".pict", ".pct",
    ".png", ".ps",  ".psd",  ".tif",  ".tiff", ".AI",   ".BMP",  ".DCM",  ".EPS", ".NEPS", ".GIF",  ".JPG",
    ".JPEG", ".PCX", ".PDF", ".PICT", ".PCT",  ".PNG",  ".PS",   ".PSD",  ".TIF", ".TIFF",
};

}  // namespace

std::string ChooserPattern(char separator) {
    std::string pattern;
    for (std::string_view extension : AcceptedExtensions)
        if (extension[1] >= 'a' && extension[1] <= 'z') pattern += (pattern.empty() ? "*" : std::string(1, separator) + "*") + std::string(extension);
    return pattern;
}

namespace {

bool IsExistingFile(const platform::FilePath& path) {
    std::error_code error;
    auto status = std::filesystem::status(path.Native(), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// Control characters would break the FTP command line and the notification URL. A "\" outside
// a double-byte character or a ":" cannot be in a Windows file name (elsewhere they can), and a
// Windows server would read "..\x" or "c:x" in "STOR" or the notification as a path.
bool IsSendableName(std::string_view cp932Name) {
    for (unsigned char byte : cp932Name)
        if (byte < 0x20 || byte == 0x7F) return false;
    return LastDelimiter("\\:", cp932Name) == std::string_view::npos;
}

}  // namespace

std::optional<std::int64_t> FileSize(const platform::FilePath& path) {
    try {
        platform::FileStream file(path, platform::FileStream::Mode::Read);
        return file.Size();
    } catch (const platform::Exception&) {
        return std::nullopt;
    }
}

DroppedFile DroppedFileFromPath(platform::FilePath path) {
    if (path.Empty()) return {};
    auto cp932 = path.ToCp932();
    std::string text = cp932 ? std::move(*cp932) : path.Cp932ForMessage();
    return {std::move(path), std::move(text), cp932.has_value()};
}

bool IsAcceptedExtension(std::string_view extension) {
    for (std::string_view accepted : AcceptedExtensions)
        if (extension == accepted) return true;
    return false;
}

DroppedFiles DroppedFilesFromPaths(const std::vector<platform::FilePath>& paths) {
    DroppedFiles files;
    for (const platform::FilePath& path : paths)
        if (!path.Empty()) files.push_back(DroppedFileFromPath(path));
    return files;
}

bool IsOverSizeLimit(const DroppedFile& file) {
    const auto size = FileSize(file.path);
    return size && *size > MaxFileSize;
}

std::string SizeLimitReason() { return platform::Cp932("送信できるファイルは最大 5MB までです。"); }

DropVerdict JudgeDroppedFile(const DroppedFile& file, const std::string& destination) {
    if (destination.empty()) return {DropCheck::Ignored, {platform::Cp932("送信先が設定されていません。")}};
    // A name that cannot be written in CP932, or that the server would misread, cannot be sent.
    const std::string unsendableName = platform::Cp932("ファイル名かフォルダ名に送信できない文字が含まれています。");
    if (!file.fitsCp932) return {DropCheck::Refused, {unsendableName}};
    if (!IsExistingFile(file.path)) {
        std::error_code error;
        const bool folder = std::filesystem::is_directory(file.path.Native(), error);
        return {DropCheck::Ignored,
                {platform::Cp932(folder ? "フォルダーは送信できません。" : "ファイルが見つかりません。")}};
    }
    if (!IsSendableName(ExtractFileName(file.cp932Path))) return {DropCheck::Refused, {unsendableName}};

    DropVerdict verdict{DropCheck::Accepted, {}};
    const std::string extension = ExtractFileExt(file.cp932Path);
    if (!IsAcceptedExtension(extension)) verdict.reasons.push_back(extension + platform::Cp932("形式のファイルは非対応です。"));
    // The size is checked also after a refused extension, so both reasons are told. A picture
    // over the limit may go shrunk (shrink_for_send.h).
    if (IsOverSizeLimit(file) && !IsShrinkablePicture(ExtractFileName(file.cp932Path)))
        verdict.reasons.push_back(SizeLimitReason());
    if (!verdict.reasons.empty()) verdict.check = DropCheck::Refused;
    return verdict;
}

DropCheck CheckDroppedFile(const DroppedFile& file, const std::string& destination, const RefusalMessage& refuse) {
    const DropVerdict verdict = JudgeDroppedFile(file, destination);
    if (verdict.check == DropCheck::Refused)
        for (const std::string& reason : verdict.reasons) refuse(reason);
    return verdict.check;
}

}  // namespace app
