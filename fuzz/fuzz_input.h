#pragma once
// What every fuzz target shares: the input as a byte string, and the checks that stop a run like
// a crash does, so libFuzzer keeps the input that broke one.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Stops the run when what should hold of every input does not.
inline void Check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The text cut after every LF, each piece keeping its LF (the last piece may have none).
inline std::vector<std::string> LinesOf(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

// A folder of the target's own for the files its runs write, made on first use under TMPDIR.
// libFuzzer ends without running exit handlers, so whoever runs the target removes TMPDIR after
// it (scripts/test.sh does, and puts it in memory-backed storage, as runs write files thousands
// of times).
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "milte-fuzz.XXXXXX").string();
        Check(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace fuzz
