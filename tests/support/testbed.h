#pragma once
// Access to the test bed of real servers that scripts/test.sh starts (scripts/testbed/start.sh):
// vsftpd and pyftpdlib (FTP, active and passive), nginx (HTTP) and tinyproxy in front of nginx,
// all on 127.0.0.1. The bed describes itself in MILTE_TB_* environment variables. A test that
// needs it and does not find it fails, telling how to start it; it never skips.
//
// The servers and their logs are shared by every test of a run: name uploaded files with
// UniqueName() and read logs through a LogTail made before the client acts.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

enum class FtpServerKind { Vsftpd, Pyftpdlib };

struct FtpServer {
    FtpServerKind kind = FtpServerKind::Vsftpd;
    std::string name;  // "vsftpd" or "pyftpdlib"
    std::string host;
    std::uint16_t port = 0;
    std::string user;
    std::string password;
    std::filesystem::path root;  // the user's "/": STOR x stores root / "x"; root / "upload" exists
    std::filesystem::path log;   // the control dialogue; read with FtpCommands / FtpReplies
};

struct HttpServer {
    std::string host;
    std::uint16_t port = 0;
    // The document root: "/static/hello.txt" is html / "static/hello.txt". Also served:
    // "/ftp.php" (200, body "OK\n", any method), "/echo" (answers with the request head and
    // body it received) and "/redirect" (302 to /static/hello.txt). Static files:
    // hello.txt ("Hello from the test bed.\n") and bytes.bin (bytes 0-255 repeated, 262144).
    std::filesystem::path html;
    std::filesystem::path requestLog;      // every request; read with ParseNginxRequests
    std::filesystem::path requestLineLog;  // every request line, raw bytes, one per line

    // "http://127.0.0.1:PORT" + target ("/ftp.php?file=a").
    std::string Url(std::string_view target) const;
};

struct ProxyServer {
    std::string host;
    std::uint16_t port = 0;
    std::filesystem::path log;
};

struct Testbed {
    std::filesystem::path dir;
    FtpServer vsftpd;
    FtpServer vsftpd6;  // another vsftpd on ::1, with the same root
    FtpServer pyftpdlib;
    HttpServer nginx;   // also listens on [::1], at the same port
    ProxyServer proxy;  // tinyproxy; forwards to nginx (adds Via, sends Connection: close)

    // Reads the MILTE_TB_* variables; without a bed, nullopt and the missing names in missing.
    static std::optional<Testbed> FromEnvironment(std::string* missing = nullptr);
};

// The bed, or null after recording a failure that says to run scripts/test.sh:
//     const Testbed* bed = RequireTestbed();
//     ASSERT_NE(bed, nullptr);
const Testbed* RequireTestbed();

// Fixture for tests that need the bed: SetUp fails without it, so the body does not run.
class TestbedTest : public ::testing::Test {
protected:
    void SetUp() override;
    const Testbed& bed() const { return *bed_; }

private:
    const Testbed* bed_ = nullptr;
};

// A name no other test, and no earlier run on the same bed, uses: stem-XXXXXXXX-N + suffix.
std::string UniqueName(std::string_view stem, std::string_view suffix = "");

// The file's bytes; empty when it does not exist.
std::string ReadFileBytes(const std::filesystem::path& file);

// What a log gains from the moment the tail is made.
class LogTail {
public:
    explicit LogTail(std::filesystem::path file);
    std::string text() const;
    // Waits until the new text contains needle, at most timeout; returns whether it did.
    bool WaitFor(std::string_view needle,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds{5000}) const;

private:
    std::filesystem::path file_;
    std::uintmax_t start_;
};

// The command lines (without CR LF) and reply lines in an FTP server's log text, in order.
// pyftpdlib's log holds the raw bytes. vsftpd's shows bytes outside printable ASCII as '?' and
// the password as "PASS <password>"; compare stored file names on disk instead.
std::vector<std::string> FtpCommands(FtpServerKind kind, std::string_view logText);
std::vector<std::string> FtpReplies(FtpServerKind kind, std::string_view logText);

// One request as nginx received it.
struct HttpRequestRecord {
    std::string status;       // the status nginx answered with, "200"
    std::string requestLine;  // raw, without CR LF
    std::string head;         // raw: request line and header lines, each with CR LF, then CR LF
    std::string body;         // raw; recorded for /ftp.php and /echo only
    std::string client;       // the client's address, "127.0.0.1" or "::1"
};
// The records of the request log's text: one JSON object per line, fields "status",
// "request_line", "head", "body", "client", written by nginx's escape=json (\" \\ \n \r \t \b \f \u00XX,
// all other bytes raw). A line that does not parse is skipped.
std::vector<HttpRequestRecord> ParseNginxRequests(std::string_view logText);
// Waits until the tail holds count records (at most timeout; nginx writes its log just after
// answering) and returns those there are.
std::vector<HttpRequestRecord> WaitForNginxRequests(
    const LogTail& tail, std::size_t count,
    std::chrono::milliseconds timeout = std::chrono::milliseconds{5000});

}  // namespace testsupport
