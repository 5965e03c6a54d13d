#include "app/send_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <utility>

#include "platform/cp932.h"
#include "platform/file_lock.h"
#include "platform/private_files.h"
#include "platform/state_folder.h"

namespace app {
namespace {

// Marks the first line of an entry; no dialogue line can begin with it, as each begins with
// its time.
constexpr std::string_view EntryMark = "==== ";

// "2026-12-09 11:30:40" or "11:30:40.123", in local time.
std::string TimeText(bool withDate) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[32] = {};
    // The program has one thread: localtime's shared result is safe here.
    std::strftime(text, sizeof text, withDate ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S", std::localtime(&seconds));
    if (withDate) return text;
    char fraction[8] = {};
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
    return std::string(text) + fraction;
}

// Control characters other than TAB as "\xNN": a hostile server's reply cannot put escape
// sequences or NULs into the file. No byte of a double-byte character is one of them.
std::string Printable(const std::string& text) {
    std::string printable;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((byte >= 0x20 && byte != 0x7F) || ch == '\t') {
            printable += ch;
        } else {
            char escaped[8] = {};
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            printable += escaped;
        }
    }
    return printable;
}

// One line of the file: no line ends inside it, nothing that controls a terminal, and no longer
// than the bound.
std::string OneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& ch : text)
        if (ch == '\n' || ch == '\r') ch = ' ';
    text = Printable(text);
    if (text.size() > SendLog::MaxLineLength) {
        // Cut in CP932, before the conversion, so no character is split.
        std::size_t cut = 0;
        while (cut < SendLog::MaxLineLength) cut += platform::IsLeadByte(text[cut]) ? 2 : 1;
        text = text.substr(0, std::min(cut, text.size())) + " ...";
    }
    return text;
}

// The file's name with an ASCII suffix, in the same folder.
platform::FilePath Beside(const platform::FilePath& file, const std::string& suffix) {
    std::filesystem::path name = file.Native();
    name += suffix;
    return platform::FilePath(name);
}

std::string RandomHex() {
    std::random_device random;
    char text[20] = {};
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

SendLog::SendLog(platform::FilePath file) : file_(std::move(file)) {}

SendLog SendLog::OfThisUser() {
    const platform::FilePath folder = platform::LocalStateFolder();
    if (folder.Empty()) return SendLog(platform::FilePath{});
    return SendLog(platform::FilePath(folder.Native() / "send.log"));
}

void SendLog::Begin(const std::string& cp932Heading) {
    entry_ = std::string(EntryMark) + TimeText(true) + " " + platform::Cp932ToUtf8(OneLine(cp932Heading)) + "\n";
    linesLeftOut_ = 0;
}

void SendLog::Add(const std::string& source, const std::string& cp932Line) {
    const std::string line = TimeText(false) + " " + source + ": " + platform::Cp932ToUtf8(OneLine(cp932Line)) + "\n";
    if (entry_.size() + line.size() > MaxEntrySize) {
        ++linesLeftOut_;
        return;
    }
    entry_ += line;
}

bool SendLog::Write() {
    if (file_.Empty() || entry_.empty()) return false;
    std::string entry = entry_;
    if (linesLeftOut_ > 0) entry += TimeText(false) + " log: " + std::to_string(linesLeftOut_) + " more lines left out\n";
    entry_.clear();

    if (!platform::MakePrivateFolder(platform::FilePath(file_.Native().parent_path()))) return false;
    // Copies of the program that end their sends together take turns at the read and replace.
    const auto lock = platform::FileLock::Take(LockFile(), LockPatience);
    if (!lock) return false;
    std::vector<std::string> entries = SendLogEntries(ReadWhole(file_.Native()));
    entries.push_back(std::move(entry));
    // The newest entries that fit, older ones dropped whole.
    std::size_t kept = 0;
    std::size_t size = 0;
    while (kept < entries.size() && size + entries[entries.size() - 1 - kept].size() <= MaxFileSize)
        size += entries[entries.size() - 1 - kept++].size();
    std::string text;
    for (std::size_t i = entries.size() - kept; i < entries.size(); ++i) text += entries[i];

    // Written beside the log under a name of this write's own, then put in its place: a send cut
    // off halfway leaves the old log.
    const platform::FilePath fresh(Beside(file_, "." + RandomHex() + ".new"));
    std::error_code error;
    if (platform::WritePrivateFile(fresh, text)) std::filesystem::rename(fresh.Native(), file_.Native(), error);
    else error = std::make_error_code(std::errc::io_error);
    if (error) std::filesystem::remove(fresh.Native(), error);
    return !error;
}

platform::FilePath SendLog::LockFile() const { return Beside(file_, ".lock"); }

std::vector<std::string> SendLogEntries(const std::string& text) {
    std::vector<std::string> entries;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at;
        do {
            const std::size_t lineEnd = text.find('\n', end);
            end = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        } while (end < text.size() && text.compare(end, EntryMark.size(), EntryMark) != 0);
        std::string entry = text.substr(at, end - at);
        if (entry.back() != '\n') entry += '\n';
        // Whatever stands before the first mark is no entry of ours.
        if (entry.compare(0, EntryMark.size(), EntryMark) == 0) entries.push_back(std::move(entry));
        at = end;
    }
    return entries;
}

}  // namespace app
