#pragma once
// One run of the real milte-post program on the X display of the test (xvfb-run), started as the
// shell starts it for a dropped file, with its own settings store and its send pointed at test
// servers. The user is played by the keyboard: each dialog is answered with Return once the
// test has looked at it. What the user was shown comes from the program's "dialog:" lines.
//
// With MILTE_E2E_WINDOWS_PROGRAM naming milte-post.exe, the runs are of that program under Wine
// (the prefix in WINEPREFIX), its settings in the prefix's registry and its file a Z: path.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

// The settings as the settings window saves them; texts in CP932.
struct Settings {
    std::string name;
    std::string mailLocalPart;
    int carrierIndex = 0;  // MAIL2: 0 = the carrier domain, -1 = none
    bool stored = true;    // false: the store holds nothing, as before the first save
};

// Where the send goes (MILTE_UPLOAD_HOST, MILTE_FTP_PORT, MILTE_HTTP_PORT).
struct Servers {
    std::uint16_t ftpPort = 0;
    std::uint16_t httpPort = 0;
    // Variables set otherwise, for the settings the ports cannot say: another host, a mistyped
    // port.
    std::map<std::string, std::string> overrides = {};
    // When set, the program sees this file as /etc/hosts: it runs in a mount namespace of its
    // own (unshare -m) with the file mounted there, so a test name can have the addresses the
    // test needs while the system's lookup stays the one users have.
    std::filesystem::path hostsFile = {};
};

struct Dialog {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8, line feeds as they were shown
    Clock::time_point shown;
};

struct RunResult {
    bool ended = false;  // false: it was still running at the limit and has been killed
    int exitCode = -1;
    std::vector<Dialog> dialogs;
    Clock::time_point started;
    Clock::time_point endedAt;  // when the end was seen (20 ms polls)
    std::string errorOutput;
};

class ProgramRun {
public:
    // Saves the settings, then starts the program with the file (its UTF-8 path) as argument 1,
    // or with the files as its arguments.
    ProgramRun(const Settings& settings, const Servers& servers, const std::filesystem::path& file);
    ProgramRun(const Settings& settings, const Servers& servers, const std::vector<std::filesystem::path>& files);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Answers every dialog (first calling beforeAnswer with it) until the program ends or the
    // limit passes: with Return, or with the keys AnswerWith gave for the next one. Safe to call
    // for several runs on several threads at once.
    RunResult Finish(const std::function<void(const Dialog&)>& beforeAnswer = {},
                     std::chrono::seconds limit = std::chrono::seconds{60});

    // Answers the dialogs that come until count have, or the limit passes; the program goes on
    // (a send from its open window). Returns them.
    std::vector<Dialog> AnswerDialogs(std::size_t count, std::chrono::seconds limit);
    // A visible window of any program with this caption (UTF-8), waiting up to limit; empty when
    // none came.
    static std::string WaitForWindowTitled(const std::string& caption, std::chrono::seconds limit);
    // A file's path as the program names it (a Z: path for the Windows program).
    static std::string ProgramPath(const std::filesystem::path& file);
    // The keys (xdotool key names) that answer the next dialog instead of Return: "Tab Return"
    // presses a question's second button.
    void AnswerWith(const std::string& keys) { nextKeys_ = keys; }
    // The program's temporary files ("milte-post-*") left in its temporary folder.
    std::vector<std::filesystem::path> LeftTemporaryFiles() const;

    // The run's visible windows captioned with the application title (X window ids).
    std::vector<std::string> VisibleWindows() const;
    // Waits up to limit for such a window to appear; empty when none did.
    std::string WaitForWindow(std::chrono::seconds limit);
    // Presses a key (an xdotool key name) in the window, as a person would.
    static void PressKey(const std::string& window, const std::string& key);
    // Types ASCII text into the window's focused control.
    static void Type(const std::string& window, const std::string& text);
    // Asks the window to close, as its close box does.
    static void CloseWindow(const std::string& window);

    // The program's log of its sends, as UTF-8 text. The Windows program's runs share their
    // prefix's log.
    std::string SendLogText() const;
    // Its entry of the last send.
    std::string LastSendLogged() const;

private:
    std::vector<Dialog> NewDialogs();
    void Answer();
    void Kill();

    testsupport::TempDir home_;
    std::filesystem::path errorLog_;
    std::filesystem::path sendLog_;
    std::filesystem::path temporaryFolder_;
    std::string nextKeys_ = "Return";
    std::size_t dialogsSeen_ = 0;
    pid_t pid_ = -1;
    Clock::time_point started_;
};

// Files copied to the display's clipboard, as a file manager copies them (text/uri-list, which
// Wine offers the Windows program as CF_HDROP), for as long as this lives: xclip holds them.
class ClipboardFiles {
public:
    explicit ClipboardFiles(const std::vector<std::filesystem::path>& files);
    ~ClipboardFiles();
    ClipboardFiles(const ClipboardFiles&) = delete;
    ClipboardFiles& operator=(const ClipboardFiles&) = delete;

private:
    testsupport::TempDir folder_;
    pid_t pid_ = -1;
};

// The carrier domain the settings' MAIL2 index 0 stands for.
inline const std::string CarrierDomain = MILTE_CARRIER_DOMAIN;

// The UTF-8 success message the program shows for a send to address of the file.
std::string SuccessText(const std::string& address, const std::string& fileName);
inline constexpr const char FailureText[] = "インターネットに接続できません。";
// The first line of a message.
std::string FirstLine(const std::string& text);
// The failure message says first, then, after a blank line, reason with a detail in brackets
// that holds detail; its last line names the send log.
::testing::AssertionResult IsFailure(const std::string& text, const std::string& reason, const std::string& detail = "",
                                     const std::string& first = FailureText);
inline constexpr const char Title[] = "ミルテ・ポスト";

// Bytes that look like a file's, the same for the same size.
std::string RandomBytes(std::size_t size);

// A loopback port nothing listens on (a server that is down).
std::uint16_t ClosedPort();

// Saves a picture of the window as a PNG file.
void SaveScreenshot(const std::string& window, const std::filesystem::path& png);
// The pixels of a picture that are clearly coloured rather than white, grey or black: the filled
// part of a progress bar, say.
std::size_t ColouredPixels(const std::filesystem::path& png);

}  // namespace e2e
