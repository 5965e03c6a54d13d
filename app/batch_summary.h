#pragma once
// The one message at the end of a send of several files: to which address, the files sent,
// the files refused before the send and why, the files the send did not get through and why.
// Long lists are shortened with a count, so the message stays readable for a hundred files.

#include <cstddef>
#include <string>
#include <vector>

namespace app {

// The most files one send takes; more are refused.
inline constexpr std::size_t MaxBatchFiles = 100;
// The most names a list of the message shows.
inline constexpr std::size_t MaxListedFiles = 10;

struct BatchReport {
    struct File {
        std::string name;    // CP932
        std::string reason;  // CP932
    };
    std::vector<std::string> sent;
    std::vector<File> refused;  // by the check, before the send
    std::vector<File> failed;   // the send did not get them through
};

// The message (CP932); cp932LogPath names the send log when a file failed ("" for none).
std::string BatchSummaryMessage(const std::string& cp932Address, const BatchReport& report,
                                const std::string& cp932LogPath);

}  // namespace app
