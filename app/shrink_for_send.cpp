#include "app/shrink_for_send.h"

#include <array>
#include <atomic>
#include <exception>
#include <optional>
#include <random>
#include <system_error>
#include <thread>

#include "app/file_name_parts.h"
#include "picture/shrink_picture.h"
#include "platform/cp932.h"
#include "platform/file_stream.h"
#include "platform/message_queue.h"

namespace app {

namespace {

// The accepted forms (the check compares byte for byte) of the formats the codecs decode.
constexpr std::array<std::string_view, 14> PictureExtensions = {
    ".jpg", ".jpeg", ".png", ".bmp", ".gif", ".tif", ".tiff", ".JPG", ".JPEG", ".PNG", ".BMP", ".GIF", ".TIF", ".TIFF",
};

bool IsJpegExtension(std::string_view extension) {
    return extension == ".jpg" || extension == ".jpeg" || extension == ".JPG" || extension == ".JPEG";
}

// "12345678 bytes, 6000 x 4000"
std::string SizeAndPixels(std::int64_t bytes, int width, int height) {
    return std::to_string(bytes) + " bytes, " + std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

bool IsShrinkablePicture(std::string_view cp932Name) {
    const std::string extension = ExtractFileExt(cp932Name);
    for (std::string_view picture : PictureExtensions)
        if (extension == picture) return true;
    return false;
}

std::string ShrunkPictureName(const std::string& cp932Name) {
    const std::string extension = ExtractFileExt(cp932Name);
    if (IsJpegExtension(extension)) return cp932Name;
    return cp932Name.substr(0, cp932Name.size() - extension.size()) + ".jpg";
}

TemporaryFile::TemporaryFile(const std::string& bytes) {
    std::random_device random;
    const auto tag = static_cast<unsigned long long>(random()) << 32 | random();
    path_ = std::filesystem::temp_directory_path() / ("milte-post-" + std::to_string(tag) + ".jpg");
    try {
        platform::FileStream file(platform::FilePath(path_), platform::FileStream::Mode::Create);
        file.Write(bytes.data(), bytes.size());
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        throw;
    }
}

TemporaryFile::~TemporaryFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

std::variant<FileToUpload, UploadRefusal> PrepareUpload(const DroppedFile& file) {
    const std::string name = ExtractFileName(file.cp932Path);
    const std::optional<std::int64_t> size = FileSize(file.path);
    if (!size || *size <= MaxFileSize) return FileToUpload{file.path, name, nullptr, ""};
    if (!IsShrinkablePicture(name)) return UploadRefusal{SizeLimitReason()};
    try {
        const picture::ShrunkPicture picture = picture::ShrinkPicture(file.path, MaxFileSize);
        auto shrunk = std::make_shared<TemporaryFile>(picture.jpeg);
        const std::string logLine =
            "shrunk " + name + ": " + SizeAndPixels(*size, picture.originalWidth, picture.originalHeight) + " -> " +
            SizeAndPixels(static_cast<std::int64_t>(picture.jpeg.size()), picture.width, picture.height);
        return FileToUpload{platform::FilePath(shrunk->Path()), ShrunkPictureName(name), std::move(shrunk), logLine};
    } catch (const picture::EPictureRefused& refused) {
        return UploadRefusal{refused.Message()};
    } catch (const platform::Exception& error) {  // the temporary file could not be written
        return UploadRefusal{platform::Cp932("縮小した画像を一時ファイルに書き込めません。") + "[" + error.Message() + "]"};
    }
}

std::variant<FileToUpload, UploadRefusal> PrepareUploadWhileWaiting(const DroppedFile& file) {
    std::optional<std::variant<FileToUpload, UploadRefusal>> outcome;
    std::exception_ptr error;
    std::atomic<bool> done{false};
    const platform::WindowHandle waker = platform::AllocateWindow([](const platform::Message&) {});
    std::thread worker([&] {
        try {
            outcome = PrepareUpload(file);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        platform::PostMessage({waker, platform::WM_USER});  // ends the wait
    });
    try {
        platform::PumpUntil([&] { return done.load(); });
    } catch (...) {
        worker.join();
        platform::DeallocateWindow(waker);
        throw;
    }
    worker.join();
    platform::DeallocateWindow(waker);
    if (error) std::rethrow_exception(error);
    return std::move(*outcome);
}

}  // namespace app
