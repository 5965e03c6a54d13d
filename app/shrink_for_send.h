#pragma once
// A picture over the size limit, shrunk for the send into a temporary file of the program's own:
// the send asks for each accepted file what to upload and under which name. The original file
// is only read.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "app/dropped_file_check.h"

namespace app {

// The still pictures the system decodes, by the extensions the check accepts for them.
bool IsShrinkablePicture(std::string_view cp932Name);
// The name a shrunk picture goes under: its own when it is a JPEG already (IMG_0001.JPG), else
// its base name with ".jpg" (shot.png: shot.jpg).
std::string ShrunkPictureName(const std::string& cp932Name);

// A file in the system's temporary folder, removed when the object goes, whatever ended the send.
class TemporaryFile {
public:
    // Creates a new, uniquely named file holding the bytes; throws platform::EFCreateError.
    explicit TemporaryFile(const std::string& bytes);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// What goes to the server for one accepted file.
struct FileToUpload {
    platform::FilePath path;  // read for the upload
    std::string cp932Name;    // the name on the server and in the notification
    std::shared_ptr<TemporaryFile> shrunk;  // holds the shrunk picture while the send needs it
    std::string logLine;      // for the send log: sizes and pixels before and after; "" unshrunk
};

// The reason a file cannot go (CP932).
struct UploadRefusal {
    std::string reason;
};

// The file itself when it is within the limit (or its size cannot be read: the upload tells);
// a picture over the limit shrunk to fit; anything else over the limit refused with today's
// reason, and a picture that does not shrink with the reason why.
std::variant<FileToUpload, UploadRefusal> PrepareUpload(const DroppedFile& file);
// The same on a thread of its own, while this thread's message queue goes on: the progress
// window shows and its キャンセル is heard during a shrink.
std::variant<FileToUpload, UploadRefusal> PrepareUploadWhileWaiting(const DroppedFile& file);

}  // namespace app
