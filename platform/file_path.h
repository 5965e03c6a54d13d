#pragma once
// A file's own path, as the system names it: bytes on POSIX systems, UTF-16 on Windows (a
// std::filesystem::path holds either). Text inside the program is CP932, but CP932 does not
// carry every name there and back: glibc reads WAVE DASH "〜" (U+301C) into CP932 and back out
// as FULLWIDTH TILDE (U+FF5E), so a path re-derived from its CP932 text can name another file or
// none. A file that came from the system is opened by this path; its CP932 text is for the wire
// and for messages only.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

class FilePath {
public:
    FilePath() = default;
    explicit FilePath(std::filesystem::path native) : native_(std::move(native)) {}

    // The path a CP932 text names, for callers that have nothing but the text.
    static FilePath FromCp932(std::string_view cp932Path);

    const std::filesystem::path& Native() const { return native_; }
    bool Empty() const { return native_.empty(); }

    // The path in CP932; nullopt when a character has no CP932 form.
    std::optional<std::string> ToCp932() const;
    // The same for messages: a character without a CP932 form becomes "?".
    std::string Cp932ForMessage() const;

private:
    std::filesystem::path native_;
};

}  // namespace platform
