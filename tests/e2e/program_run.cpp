#include "tests/e2e/program_run.h"

#include <fcntl.h>
#include <pwd.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/cp932.h"
#include "platform/registry.h"
#include "tests/support/testbed.h"

// Last: Xlib defines macros (None, Status, Bool) that other headers use as names.
#include <X11/Xlib.h>

extern char** environ;

namespace e2e {
namespace {

using namespace std::chrono_literals;

// Keyboard focus is one for the whole display: runs answer their dialogs one at a time.
std::mutex& KeyboardMutex() {
    static std::mutex keyboard;
    return keyboard;
}

// The Windows program under test, or nullptr for the Linux one.
const char* WindowsProgram() {
    const char* program = std::getenv("MILTE_E2E_WINDOWS_PROGRAM");
    return program != nullptr && *program != '\0' ? program : nullptr;
}

// Starts a command (no shell), its output dropped and its error output into a file; -1 when it
// could not start.
pid_t StartQuietly(std::vector<std::string> arguments, const std::filesystem::path& errorOutput) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

// Runs a command as StartQuietly does and waits for it; true when it exited with 0.
bool RunQuietly(std::vector<std::string> arguments, const std::filesystem::path& errorOutput) {
    const pid_t pid = StartQuietly(std::move(arguments), errorOutput);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Saves the settings into the Wine prefix's registry, as the Windows program stores them. Wine's
// reg has been seen to fail now and then on a loaded machine: it is tried again, and a last
// failure says what reg said.
void SaveWineSettings(const Settings& settings, const std::filesystem::path& errorOutput) {
    const std::string key = "HKCU\\Software\\Varrowen\\iZDQ";
    if (!settings.stored) {
        RunQuietly({MILTE_WINE_RUN, "reg", "delete", key, "/f"}, errorOutput);  // fails when there is none
        return;
    }
    const auto add = [&](const char* name, const char* type, const std::string& data) {
        for (int attempt = 0; attempt < 3; ++attempt)
            if (RunQuietly({MILTE_WINE_RUN, "reg", "add", key, "/v", name, "/t", type, "/d", data, "/f"}, errorOutput)) return;
        throw std::runtime_error(std::string("wine reg add failed for ") + name + ": " +
                                 testsupport::ReadFileBytes(errorOutput));
    };
    add("NAME", "REG_SZ", platform::Cp932ToUtf8(settings.name));
    add("MAIL1", "REG_SZ", platform::Cp932ToUtf8(settings.mailLocalPart));
    add("MAIL2", "REG_DWORD", std::to_string(static_cast<std::uint32_t>(settings.carrierIndex)));
}

// A Linux path as the Windows program sees it: on drive Z:, the root.
std::string WinePath(const std::filesystem::path& path) {
    std::string windows = "Z:" + path.string();
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

// The local application data folder of the prefix's user.
std::filesystem::path WineLocalAppData() {
    const char* prefix = std::getenv("WINEPREFIX");
    const passwd* user = ::getpwuid(::getuid());
    return std::filesystem::path(prefix != nullptr ? prefix : "") / "drive_c" / "users" /
           (user != nullptr ? user->pw_name : "root") / "AppData" / "Local";
}

// Saves the settings with the program's own store, into the configuration folder given.
void SaveSettings(const std::filesystem::path& configHome, const Settings& settings) {
    static std::mutex environmentMutex;
    std::lock_guard<std::mutex> lock(environmentMutex);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    platform::TRegistry registry;
    registry.OpenKey("\\Software\\Varrowen\\iZDQ", true);
    registry.WriteString("NAME", settings.name);
    registry.WriteString("MAIL1", settings.mailLocalPart);
    registry.WriteInteger("MAIL2", settings.carrierIndex);
    registry.CloseKey();
    if (saved) ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
}

std::vector<std::string> Environment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (!overrides.contains(text.substr(0, text.find('=')))) entries.push_back(text);
    }
    for (const auto& [name, value] : overrides) entries.push_back(name + "=" + value);
    return entries;
}

std::string Output(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
        ::pclose(pipe);
    }
    return output;
}

// True when the child has exited (it is left to be reaped).
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

std::string Unescaped(const std::string& logged) {
    std::string text;
    for (std::size_t i = 0; i < logged.size(); ++i) {
        if (logged[i] == '\\' && i + 1 < logged.size() && logged[i + 1] == 'n') {
            text += '\n';
            ++i;
        } else {
            text += logged[i];
        }
    }
    return text;
}

}  // namespace

ProgramRun::ProgramRun(const Settings& settings, const Servers& servers, const std::filesystem::path& file)
    : ProgramRun(settings, servers, std::vector<std::filesystem::path>{file}) {}

ProgramRun::ProgramRun(const Settings& settings, const Servers& servers, const std::vector<std::filesystem::path>& files) {
    const std::filesystem::path config = home_.path() / "config";
    const std::filesystem::path runtime = home_.path() / "runtime";
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(runtime);
    std::filesystem::create_directories(home_.path() / "tmp");
    ::chmod(runtime.c_str(), 0700);
    errorLog_ = home_.path() / "stderr.log";
    if (WindowsProgram() != nullptr) SaveWineSettings(settings, errorLog_);
    else if (settings.stored) SaveSettings(config, settings);

    std::map<std::string, std::string> variables = {
        {"XDG_CONFIG_HOME", config.string()},
        {"XDG_STATE_HOME", (home_.path() / "state").string()},
        {"XDG_RUNTIME_DIR", runtime.string()},
        {"QT_QPA_PLATFORM", "xcb"},  // a real window on the test's X display
        {"MILTE_UPLOAD_HOST", "127.0.0.1"},
        {"MILTE_FTP_PORT", std::to_string(servers.ftpPort)},
        {"MILTE_HTTP_PORT", std::to_string(servers.httpPort)},
    };
    // A temporary folder of the run's own, to see what the program leaves there; Wine keeps its
    // server's socket under TMPDIR, so the Windows program keeps the prefix's.
    if (WindowsProgram() == nullptr) variables["TMPDIR"] = (home_.path() / "tmp").string();
    for (const auto& [name, value] : servers.overrides) variables[name] = value;
    const std::vector<std::string> environment = Environment(variables);
    sendLog_ = WindowsProgram() != nullptr ? WineLocalAppData() / "MiltePost" / "send.log"
                                           : home_.path() / "state" / "milte-post" / "send.log";
    temporaryFolder_ = WindowsProgram() != nullptr ? WineLocalAppData() / "Temp" : home_.path() / "tmp";
    std::vector<char*> envp;
    for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    std::vector<std::string> command = {MILTE_POST_PROGRAM};
    // Under Wine through the loader of the program's width, so the process started is the program.
    if (const char* windowsProgram = WindowsProgram()) command = {MILTE_WINE_RUN, windowsProgram};
    for (const std::filesystem::path& file : files) command.push_back(WindowsProgram() ? WinePath(file) : file.string());
    if (!servers.hostsFile.empty()) {
        // unshare and sh exec what follows, so the process started is still the program.
        command.insert(command.begin(), {"unshare", "-m", "sh", "-c", "mount --bind \"$0\" /etc/hosts && exec \"$@\"",
                                         servers.hostsFile.string()});
    }
    std::vector<char*> argv;
    for (std::string& argument : command) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    started_ = Clock::now();
    const int failed = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + command[0]);
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0) Kill();
}

RunResult ProgramRun::Finish(const std::function<void(const Dialog&)>& beforeAnswer, std::chrono::seconds limit) {
    RunResult result;
    result.started = started_;
    const auto deadline = started_ + limit;
    while (pid_ > 0) {
        for (const Dialog& dialog : NewDialogs()) {
            result.dialogs.push_back(dialog);
            if (beforeAnswer) beforeAnswer(dialog);
            Answer();
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            result.ended = true;
            result.endedAt = Clock::now();
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() > deadline) {
            Kill();
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    for (const Dialog& dialog : NewDialogs()) result.dialogs.push_back(dialog);  // never answered
    result.errorOutput = testsupport::ReadFileBytes(errorLog_);
    return result;
}

std::vector<Dialog> ProgramRun::AnswerDialogs(std::size_t count, std::chrono::seconds limit) {
    std::vector<Dialog> answered;
    const auto deadline = Clock::now() + limit;
    while (answered.size() < count && Clock::now() < deadline && !HasEnded(pid_)) {
        for (const Dialog& dialog : NewDialogs()) {
            answered.push_back(dialog);
            Answer();
        }
        std::this_thread::sleep_for(20ms);
    }
    return answered;
}

std::string ProgramRun::WaitForWindowTitled(const std::string& caption, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const std::string found = Output("xdotool search --onlyvisible --name '^" + caption + "$' 2>/dev/null");
        if (!found.empty()) return found.substr(0, found.find('\n'));
        std::this_thread::sleep_for(100ms);
    }
    return "";
}

std::string ProgramRun::ProgramPath(const std::filesystem::path& file) {
    return WindowsProgram() != nullptr ? WinePath(file) : file.string();
}

std::vector<Dialog> ProgramRun::NewDialogs() {
    std::istringstream log(testsupport::ReadFileBytes(errorLog_));
    std::vector<Dialog> dialogs;
    std::size_t index = 0;
    const std::string prefix = "dialog: ";
    for (std::string line; std::getline(log, line);) {
        if (log.eof()) break;  // a line still being written
        if (line.rfind(prefix, 0) != 0) continue;
        if (index++ < dialogsSeen_) continue;
        const std::string rest = line.substr(prefix.size());
        const auto colon = rest.find(": ");
        dialogs.push_back({rest.substr(0, colon), colon == std::string::npos ? "" : Unescaped(rest.substr(colon + 2)),
                           Clock::now()});
    }
    dialogsSeen_ += dialogs.size();
    return dialogs;
}

void ProgramRun::Kill() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<std::string> ProgramRun::VisibleWindows() const {
    std::istringstream ids(Output("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) + " --name '^" +
                                  std::string(Title) + "$' 2>/dev/null"));
    std::vector<std::string> windows;
    for (std::string id; std::getline(ids, id);)
        if (!id.empty()) windows.push_back(id);
    return windows;
}

std::string ProgramRun::WaitForWindow(std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (pid_ > 0 && !HasEnded(pid_) && Clock::now() < deadline) {
        const std::vector<std::string> windows = VisibleWindows();
        if (!windows.empty()) return windows.back();
        std::this_thread::sleep_for(20ms);
    }
    return {};
}

ClipboardFiles::ClipboardFiles(const std::vector<std::filesystem::path>& files) {
    std::string uris;
    for (const std::filesystem::path& file : files) uris += "file://" + file.string() + "\r\n";
    const auto list = folder_.Write("uri-list", uris);
    // -quiet keeps xclip in the foreground, a child this object ends.
    pid_ = StartQuietly({"xclip", "-quiet", "-selection", "clipboard", "-t", "text/uri-list", "-i", list.string()},
                        "/dev/null");
    if (pid_ < 0) throw std::runtime_error("cannot start xclip");
    std::this_thread::sleep_for(300ms);  // it owns the clipboard once it has read the list
}

ClipboardFiles::~ClipboardFiles() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

void ProgramRun::PressKey(const std::string& window, const std::string& key) {
    std::lock_guard<std::mutex> lock(KeyboardMutex());
    (void)!std::system(("xdotool windowfocus --sync " + window + " key " + key + " 2>/dev/null").c_str());
}

void ProgramRun::Type(const std::string& window, const std::string& text) {
    std::lock_guard<std::mutex> lock(KeyboardMutex());
    (void)!std::system(("xdotool windowfocus --sync " + window + " type --delay 30 '" + text + "' 2>/dev/null").c_str());
}

// The close box sends the window manager's request to close; with none on the display, the test
// sends it itself.
void ProgramRun::CloseWindow(const std::string& window) {
    Display* display = ::XOpenDisplay(nullptr);
    if (display == nullptr) throw std::runtime_error("no X display");
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = std::stoul(window);
    request.xclient.message_type = ::XInternAtom(display, "WM_PROTOCOLS", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(::XInternAtom(display, "WM_DELETE_WINDOW", False));
    request.xclient.data.l[1] = CurrentTime;
    ::XSendEvent(display, request.xclient.window, False, NoEventMask, &request);
    ::XCloseDisplay(display);
}

// Return in the dialog's window, as a person would press it; again if the press was lost.
void ProgramRun::Answer() {
    std::lock_guard<std::mutex> lock(KeyboardMutex());
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        const std::vector<std::string> windows = VisibleWindows();
        if (windows.empty()) {
            if (HasEnded(pid_)) return;
            std::this_thread::sleep_for(20ms);
            continue;
        }
        const std::string window = windows.back();
        (void)!std::system(("xdotool windowfocus --sync " + window + " key " + nextKeys_ + " 2>/dev/null").c_str());
        nextKeys_ = "Return";
        for (int i = 0; i < 50; ++i) {
            const std::vector<std::string> now = VisibleWindows();
            if (std::find(now.begin(), now.end(), window) == now.end()) return;
            std::this_thread::sleep_for(20ms);
        }
    }
}

std::vector<std::filesystem::path> ProgramRun::LeftTemporaryFiles() const {
    std::vector<std::filesystem::path> left;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(temporaryFolder_, error))
        if (entry.path().filename().string().rfind("milte-post-", 0) == 0) left.push_back(entry.path());
    return left;
}

std::string ProgramRun::SendLogText() const { return testsupport::ReadFileBytes(sendLog_); }

std::string ProgramRun::LastSendLogged() const {
    const std::string log = SendLogText();
    const auto last = log.rfind("==== ");
    return last == std::string::npos ? "" : log.substr(last);
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

::testing::AssertionResult IsFailure(const std::string& text, const std::string& reason, const std::string& detail,
                                     const std::string& first) {
    const std::string expected = first + "\n\n" + reason + "[";
    const auto detailStart = expected.size();
    const auto detailEnd = text.find("]\n\n", detailStart);
    const auto logLine = text.find("\n\n送信の記録: ", detailEnd);
    if (text.compare(0, expected.size(), expected) != 0 || detailEnd == std::string::npos ||
        text.substr(detailStart, detailEnd - detailStart).find(detail) == std::string::npos ||
        logLine == std::string::npos || text.find('\n', logLine + 2) != std::string::npos ||
        !text.ends_with("send.log"))
        return ::testing::AssertionFailure() << "the message is\n" << text;
    return ::testing::AssertionSuccess();
}

std::string SuccessText(const std::string& address, const std::string& fileName) {
    return address + " 宛てに「" + fileName +
           "」を送信しました。\n\n【ご注意】\n・ファイルの破損、非対応フォーマットについてはサポート致しかねます。\n"
           "・サーバーの状況により送信が延滞する場合や、予告なしにサービスを停止させていただく場合があります。\n\n"
           "あらかじめご了承ください。";
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

std::uint16_t ClosedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);  // never listened: connections are refused
    return ntohs(address.sin_port);
}

void SaveScreenshot(const std::string& window, const std::filesystem::path& png) {
    if (std::system(("import -window " + window + " '" + png.string() + "' 2>/dev/null").c_str()) != 0)
        throw std::runtime_error("no screenshot of window " + window);
}

std::size_t ColouredPixels(const std::filesystem::path& png) {
    const std::string rgb = Output("convert '" + png.string() + "' -depth 8 rgb:- 2>/dev/null");
    std::size_t coloured = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const auto [low, high] = std::minmax({static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
                                              static_cast<unsigned char>(rgb[i + 2])});
        if (high - low > 60) ++coloured;
    }
    return coloured;
}

}  // namespace e2e
