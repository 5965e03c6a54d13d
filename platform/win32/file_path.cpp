#include "platform/file_path.h"

#include "platform/win32/wide_text.h"

// File names here are UTF-16, converted from and to code page 932 explicitly.
namespace platform {

FilePath FilePath::FromCp932(std::string_view cp932Path) { return FilePath(win32::WideFromCp932(cp932Path)); }

std::optional<std::string> FilePath::ToCp932() const { return win32::Cp932FromWide(native_.native()); }

std::string FilePath::Cp932ForMessage() const { return win32::Cp932FromWideReplacing(native_.native()); }

}  // namespace platform
