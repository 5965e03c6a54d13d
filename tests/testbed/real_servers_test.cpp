// The test bed's servers do what the client tests rely on, with curl as the client: FTP uploads
// (active and passive) arrive byte for byte, Shift-JIS names are stored raw, nginx records
// requests exactly, tinyproxy reaches nginx.

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/testbed.h"

namespace testsupport {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs curl with these arguments; returns its exit status.
int Curl(const std::vector<std::string>& arguments) {
    std::string command = "curl --silent --show-error --max-time 20";
    for (const auto& argument : arguments) command += " " + ShellQuoted(argument);
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string PercentEncoded(std::string_view bytes) {
    static const char* const hex = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += hex[byte >> 4];
        encoded += hex[byte & 15];
    }
    return encoded;
}

// Every byte value, and CR LF and lone LF runs that an ASCII-mode transfer would rewrite.
std::string UploadContent() {
    std::string content;
    for (int round = 0; round < 700; ++round) {
        for (int byte = 0; byte < 256; ++byte) content += static_cast<char>(byte);
        content += "\r\n\n\r";
    }
    return content;
}

// "表示テスト.txt" in CP932; 0x5C ('\') is the second byte of 表.
const std::string ShiftJisName = "\x95\x5C\x8E\xA6\x83\x65\x83\x58\x83\x67.txt";

std::string FtpUrl(const FtpServer& server, std::string_view path) {
    return "ftp://" + server.user + ":" + server.password + "@" + server.host + ":" +
           std::to_string(server.port) + "/" + std::string(path);
}

enum class DataMode { Active, Passive };

struct FtpCase {
    FtpServerKind server;
    DataMode mode;
};

std::string CaseName(const ::testing::TestParamInfo<FtpCase>& info) {
    return std::string(info.param.server == FtpServerKind::Vsftpd ? "vsftpd" : "pyftpdlib") +
           (info.param.mode == DataMode::Active ? "_active" : "_passive");
}

class CurlFtpUpload : public TestbedTest, public ::testing::WithParamInterface<FtpCase> {
protected:
    TempDir local_;

    const FtpServer& server() const {
        return GetParam().server == FtpServerKind::Vsftpd ? bed().vsftpd : bed().pyftpdlib;
    }
    // PORT and PASV (not EPRT/EPSV): the forms the program's client uses.
    std::vector<std::string> ModeArguments() const {
        if (GetParam().mode == DataMode::Active) return {"--ftp-port", "-", "--disable-eprt"};
        return {"--ftp-pasv", "--disable-epsv"};
    }
    int Upload(const std::filesystem::path& file, std::string_view urlPath) const {
        std::vector<std::string> arguments = ModeArguments();
        arguments.insert(arguments.end(), {"--upload-file", file.string(), FtpUrl(server(), urlPath)});
        return Curl(arguments);
    }
};

TEST_P(CurlFtpUpload, StoresTheBytesUnchangedAndLogsTheDialogue) {
    const std::string content = UploadContent();
    const std::string name = UniqueName("upload", ".bin");
    LogTail log(server().log);

    ASSERT_EQ(Upload(local_.Write("source.bin", content), name), 0);

    EXPECT_EQ(ReadFileBytes(server().root / name), content);
    const auto commands = FtpCommands(server().kind, log.text());
    EXPECT_THAT(commands, Contains("USER " + server().user));
    EXPECT_THAT(commands, Contains("TYPE I"));
    EXPECT_THAT(commands, Contains("STOR " + name));
    EXPECT_THAT(commands, Contains(StartsWith(GetParam().mode == DataMode::Active ? "PORT 127,0,0,1,"
                                                                                 : "PASV")));
    EXPECT_THAT(FtpReplies(server().kind, log.text()), Contains(StartsWith("226 ")));
}

TEST_P(CurlFtpUpload, StoresAShiftJisNameAsItsRawBytes) {
    const std::string name = UniqueName("sjis") + ShiftJisName;
    LogTail log(server().log);

    ASSERT_EQ(Upload(local_.Write("a.txt", "Shift-JIS"), PercentEncoded(name)), 0);

    EXPECT_EQ(ReadFileBytes(server().root / name), "Shift-JIS");
    if (server().kind == FtpServerKind::Pyftpdlib) {
        // vsftpd's log shows these bytes as '?'.
        EXPECT_THAT(FtpCommands(server().kind, log.text()), Contains("STOR " + name));
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, CurlFtpUpload,
                         ::testing::Values(FtpCase{FtpServerKind::Vsftpd, DataMode::Active},
                                           FtpCase{FtpServerKind::Vsftpd, DataMode::Passive},
                                           FtpCase{FtpServerKind::Pyftpdlib, DataMode::Active},
                                           FtpCase{FtpServerKind::Pyftpdlib, DataMode::Passive}),
                         CaseName);

class CurlHttp : public TestbedTest {
protected:
    // Where curl is told to put the answer's body.
    std::filesystem::path Answer() const { return local_.path() / "answer"; }

    TempDir local_;
};

TEST_F(CurlHttp, NginxRecordsAnHttp10PostWithItsRawRequestLineAndBody) {
    const std::string query = "/ftp.php?file=" + ShiftJisName + "&name=" + UniqueName("n");
    const std::string body = "a=1&b=\"quoted\\\"\r\n\x01\x95\x5C";
    LogTail requests(bed().nginx.requestLog);
    LogTail requestLines(bed().nginx.requestLineLog);

    ASSERT_EQ(Curl({"--http1.0", "--data-binary", "@" + local_.Write("body", body).string(), "--output",
                    Answer().string(), bed().nginx.Url(query)}),
              0);

    EXPECT_EQ(ReadFileBytes(Answer()), "OK\n");
    const auto records = WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].status, "200");
    EXPECT_EQ(records[0].requestLine, "POST " + query + " HTTP/1.0");
    EXPECT_THAT(records[0].head, StartsWith("POST " + query + " HTTP/1.0\r\n"));
    EXPECT_THAT(records[0].head, HasSubstr("\r\nContent-Length: " + std::to_string(body.size()) +
                                           "\r\n"));
    EXPECT_EQ(records[0].head.substr(records[0].head.size() - 4), "\r\n\r\n");
    EXPECT_EQ(records[0].body, body);
    EXPECT_EQ(requestLines.text(), "POST " + query + " HTTP/1.0\n");
}

TEST_F(CurlHttp, NginxServesStaticFilesAndARedirect) {
    const auto file = local_.path() / "bytes.bin";
    const auto head = local_.path() / "head.txt";

    ASSERT_EQ(Curl({"--output", file.string(), bed().nginx.Url("/static/bytes.bin")}), 0);
    ASSERT_EQ(Curl({"--dump-header", head.string(), "--output", "/dev/null",
                    bed().nginx.Url("/redirect")}),
              0);

    EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(bed().nginx.html / "static" / "bytes.bin"));
    EXPECT_EQ(ReadFileBytes(file).size(), 262144u);
    EXPECT_THAT(ReadFileBytes(head), StartsWith("HTTP/1.1 302 "));
    EXPECT_THAT(ReadFileBytes(head), HasSubstr("/static/hello.txt\r\n"));
}

TEST_F(CurlHttp, TinyproxyForwardsToNginx) {
    const std::string target = "/static/hello.txt?" + UniqueName("proxied");
    LogTail requests(bed().nginx.requestLog);
    LogTail proxyLog(bed().proxy.log);

    ASSERT_EQ(Curl({"--proxy", "http://" + bed().proxy.host + ":" + std::to_string(bed().proxy.port),
                    "--output", Answer().string(), bed().nginx.Url(target)}),
              0);

    EXPECT_EQ(ReadFileBytes(Answer()), "Hello from the test bed.\n");
    const auto records = WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].requestLine, "GET " + target + " HTTP/1.1");
    EXPECT_THAT(records[0].head, HasSubstr("\r\nVia: 1.1 tinyproxy"));
    EXPECT_TRUE(proxyLog.WaitFor("GET " + bed().nginx.Url(target)));
}

}  // namespace
}  // namespace testsupport
