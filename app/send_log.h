#pragma once
// The log of the last sends, for the user or whoever helps them to see what went wrong: each
// send's dialogue with the servers (the FTP commands and replies, the notification's request
// line and status, what the send decided), each line timestamped. A send's entry is kept in
// memory while it runs and appended to the file when it ends; the file keeps the newest entries
// within MaxFileSize, older sends dropped whole. The file and its folder are the user's alone;
// copies of the program take turns at it under a lock. Lines are CP932 inside the program and UTF-8 in
// the file. The password never reaches the log: the FTP client reports "PASS " without it.
//
// A log that cannot be written is passed over without a word: it never fails or holds up a send.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_path.h"

namespace app {

class SendLog {
public:
    static constexpr std::size_t MaxFileSize = 256 * 1024;
    // One entry's share: a server that answers with thousands of lines is cut off here.
    static constexpr std::size_t MaxEntrySize = 64 * 1024;
    static constexpr std::size_t MaxLineLength = 400;
    // How long a write waits for another copy of the program to finish its own; then it is skipped.
    static constexpr std::chrono::milliseconds LockPatience{1000};

    // file: the log file; an empty path keeps no log.
    explicit SendLog(platform::FilePath file);
    // send.log in the user's local state folder.
    static SendLog OfThisUser();

    // Starts a new entry with a heading (CP932).
    void Begin(const std::string& cp932Heading);
    // A line of the dialogue; source names who said it ("ftp", "http", "send").
    void Add(const std::string& source, const std::string& cp932Line);
    // Appends the entry to the file, dropping older entries beyond the bound. False when the
    // log could not be written (or there is none).
    bool Write();

    const platform::FilePath& File() const { return file_; }
    // The file whose lock the writes take.
    platform::FilePath LockFile() const;

private:
    std::string Stamped(const std::string& text) const;

    platform::FilePath file_;
    std::string entry_;  // UTF-8
    std::size_t linesLeftOut_ = 0;
};

// The entries of a log file's text, oldest first; each ends with a line feed.
std::vector<std::string> SendLogEntries(const std::string& text);

}  // namespace app
