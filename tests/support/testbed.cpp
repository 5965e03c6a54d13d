#include "tests/support/testbed.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds PollInterval{20};

// Collects MILTE_TB_* values, remembering the names that are not set.
class Environment {
public:
    std::string Text(const char* name) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') {
            missing_ += missing_.empty() ? name : std::string(" ") + name;
            return {};
        }
        return value;
    }
    // The bed names its files by Linux paths. A Windows program under Wine finds Linux's root
    // as drive Z:, so there a path with a root folder but no drive gets that drive.
    std::filesystem::path Path(const char* name) {
        std::filesystem::path path = Text(name);
        const bool systemHasDrives = std::filesystem::path("Z:/").has_root_name();
        if (systemHasDrives && path.has_root_directory() && !path.has_root_name()) path = "Z:" / path;
        return path;
    }
    std::uint16_t Port(const char* name) {
        const std::string text = Text(name);
        return text.empty() ? 0 : static_cast<std::uint16_t>(std::stoul(text));
    }
    const std::string& missing() const { return missing_; }

private:
    std::string missing_;
};

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t end;
    while ((end = text.find('\n', start)) != std::string_view::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;  // a last line without LF is still being written
}

// pyftpdlib's log: "> command", "< reply".
std::vector<std::string> PrefixedLines(std::string_view logText, std::string_view prefix) {
    std::vector<std::string> found;
    for (const std::string_view line : Lines(logText)) {
        if (line.substr(0, prefix.size()) == prefix) {
            found.emplace_back(line.substr(prefix.size()));
        }
    }
    return found;
}

// vsftpd's log: '... [pid N] [user] FTP command: Client "127.0.0.1", "STOR a"'.
std::vector<std::string> VsftpdQuoted(std::string_view logText, std::string_view tag) {
    std::vector<std::string> found;
    for (const std::string_view line : Lines(logText)) {
        const std::size_t at = line.find(tag);
        if (at == std::string_view::npos) continue;
        const std::size_t open = line.find("\", \"", at);
        if (open == std::string_view::npos || line.back() != '"') continue;
        const std::size_t first = open + 4;
        found.emplace_back(line.substr(first, line.size() - 1 - first));
    }
    return found;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a JSON string starting at text[at] == '"'; moves at past its closing quote.
std::optional<std::string> JsonString(std::string_view text, std::size_t& at) {
    if (at >= text.size() || text[at] != '"') return std::nullopt;
    std::string value;
    for (++at; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            ++at;
            return value;
        }
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++at >= text.size()) return std::nullopt;
        switch (text[at]) {
            case '"': value += '"'; break;
            case '\\': value += '\\'; break;
            case '/': value += '/'; break;
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'b': value += '\b'; break;
            case 'f': value += '\f'; break;
            case 'u': {
                // nginx escapes only control bytes this way: \u00XX.
                if (at + 4 >= text.size()) return std::nullopt;
                int code = 0;
                for (int i = 1; i <= 4; ++i) {
                    const int digit = HexDigit(text[at + i]);
                    if (digit < 0) return std::nullopt;
                    code = code * 16 + digit;
                }
                if (code > 0xFF) return std::nullopt;
                value += static_cast<char>(code);
                at += 4;
                break;
            }
            default: return std::nullopt;
        }
    }
    return std::nullopt;
}

// A flat JSON object whose values are all strings.
std::optional<std::map<std::string, std::string>> FlatJsonObject(std::string_view text) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    if (text.empty() || text[at++] != '{') return std::nullopt;
    while (at < text.size()) {
        auto name = JsonString(text, at);
        if (!name || at >= text.size() || text[at++] != ':') return std::nullopt;
        auto value = JsonString(text, at);
        if (!value || at >= text.size()) return std::nullopt;
        fields[*name] = std::move(*value);
        const char next = text[at++];
        if (next == '}') return at == text.size() ? std::optional(fields) : std::nullopt;
        if (next != ',') return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::string HttpServer::Url(std::string_view target) const {
    return "http://" + host + ":" + std::to_string(port) + std::string(target);
}

std::optional<Testbed> Testbed::FromEnvironment(std::string* missing) {
    Environment env;
    Testbed bed;
    bed.dir = env.Path("MILTE_TB_DIR");
    const std::string host = env.Text("MILTE_TB_HOST");
    const std::string user = env.Text("MILTE_TB_FTP_USER");
    const std::string password = env.Text("MILTE_TB_FTP_PASSWORD");

    bed.vsftpd = {FtpServerKind::Vsftpd, "vsftpd", host, env.Port("MILTE_TB_VSFTPD_PORT"), user,
                  password, env.Path("MILTE_TB_VSFTPD_ROOT"), env.Path("MILTE_TB_VSFTPD_LOG")};
    bed.vsftpd6 = {FtpServerKind::Vsftpd, "vsftpd on ::1", "::1", env.Port("MILTE_TB_VSFTPD6_PORT"), user,
                   password, bed.vsftpd.root, env.Path("MILTE_TB_VSFTPD6_LOG")};
    bed.pyftpdlib = {FtpServerKind::Pyftpdlib, "pyftpdlib", host,
                     env.Port("MILTE_TB_PYFTPD_PORT"), user, password,
                     env.Path("MILTE_TB_PYFTPD_ROOT"), env.Path("MILTE_TB_PYFTPD_LOG")};
    bed.nginx = {host, env.Port("MILTE_TB_NGINX_PORT"), env.Path("MILTE_TB_NGINX_HTML"),
                 env.Path("MILTE_TB_NGINX_REQUEST_LOG"),
                 env.Path("MILTE_TB_NGINX_REQUEST_LINE_LOG")};
    bed.proxy = {host, env.Port("MILTE_TB_PROXY_PORT"), env.Path("MILTE_TB_PROXY_LOG")};

    if (!env.missing().empty()) {
        if (missing != nullptr) *missing = env.missing();
        return std::nullopt;
    }
    return bed;
}

const Testbed* RequireTestbed() {
    static std::string missing;
    static const std::optional<Testbed> bed = Testbed::FromEnvironment(&missing);
    if (!bed) {
        ADD_FAILURE() << "This test needs the test bed of real servers, which is not running "
                         "(not set: "
                      << missing
                      << "). Run the tests with scripts/test.sh, or start it with "
                         "scripts/testbed/start.sh DIR and export the variables in DIR/env.";
        return nullptr;
    }
    return &*bed;
}

void TestbedTest::SetUp() {
    bed_ = RequireTestbed();
    ASSERT_NE(bed_, nullptr);
}

std::string UniqueName(std::string_view stem, std::string_view suffix) {
    static const std::string run = [] {
        std::random_device random;
        std::ostringstream hex;
        hex << std::hex << (random() & 0xFFFFFFFFu);
        return hex.str();
    }();
    static std::atomic<unsigned> counter{0};
    return std::string(stem) + "-" + run + "-" + std::to_string(++counter) + std::string(suffix);
}

std::string ReadFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

LogTail::LogTail(std::filesystem::path file) : file_(std::move(file)) {
    std::error_code error;
    start_ = std::filesystem::file_size(file_, error);
    if (error) start_ = 0;
}

std::string LogTail::text() const {
    std::ifstream in(file_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(start_));
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool LogTail::WaitFor(std::string_view needle, std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (text().find(needle) != std::string::npos) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(PollInterval);
    }
}

std::vector<std::string> FtpCommands(FtpServerKind kind, std::string_view logText) {
    return kind == FtpServerKind::Pyftpdlib ? PrefixedLines(logText, "> ")
                                            : VsftpdQuoted(logText, "FTP command: Client \"");
}

std::vector<std::string> FtpReplies(FtpServerKind kind, std::string_view logText) {
    return kind == FtpServerKind::Pyftpdlib ? PrefixedLines(logText, "< ")
                                            : VsftpdQuoted(logText, "FTP response: Client \"");
}

std::vector<HttpRequestRecord> ParseNginxRequests(std::string_view logText) {
    std::vector<HttpRequestRecord> records;
    for (const std::string_view line : Lines(logText)) {
        auto fields = FlatJsonObject(line);
        if (!fields) continue;
        records.push_back({(*fields)["status"], (*fields)["request_line"], (*fields)["head"],
                           (*fields)["body"], (*fields)["client"]});
    }
    return records;
}

std::vector<HttpRequestRecord> WaitForNginxRequests(const LogTail& tail, std::size_t count,
                                                    std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto records = ParseNginxRequests(tail.text());
        if (records.size() >= count || Clock::now() >= deadline) return records;
        std::this_thread::sleep_for(PollInterval);
    }
}

}  // namespace testsupport
