#include "platform/file_path.h"

#include "platform/cp932.h"

// File names here are UTF-8 bytes.
namespace platform {

FilePath FilePath::FromCp932(std::string_view cp932Path) { return FilePath(Cp932ToUtf8(cp932Path)); }

std::optional<std::string> FilePath::ToCp932() const { return Utf8ToCp932(native_.native()); }

std::string FilePath::Cp932ForMessage() const { return Cp932(native_.native()); }

}  // namespace platform
