// The HTTP client against the test bed's nginx, directly and through tinyproxy.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "net/http/nmhttp.h"
#include "tests/http/http_test_util.h"
#include "tests/support/testbed.h"

namespace {

using httptest::StandardLinesOnTheWire;
using testsupport::HttpRequestRecord;
using testsupport::LogTail;
using testsupport::WaitForNginxRequests;

class HttpAgainstNginx : public testsupport::TestbedTest {
protected:
    void SetUp() override {
        TestbedTest::SetUp();
        http.TimeOut = 10000;
    }

    // The one request nginx records while action runs.
    HttpRequestRecord RecordOf(const std::function<void()>& action) {
        const LogTail tail(bed().nginx.requestLog);
        action();
        const auto records = WaitForNginxRequests(tail, 1);
        EXPECT_EQ(records.size(), 1u);
        return records.empty() ? HttpRequestRecord{} : records.front();
    }
    // A request head to nginx up to its own lines: the request line, Host and the standard lines.
    std::string StandardHead(const std::string& requestLine) const {
        return requestLine + "\r\nHost: " + bed().nginx.host + "\r\n" + StandardLinesOnTheWire();
    }

    nmhttp::TNMHTTP http;
};

TEST_F(HttpAgainstNginx, GetSendsExactlyTheStandardHead) {
    const auto record = RecordOf([&] { http.Get(bed().nginx.Url("/echo?x=1")); });
    const std::string head = StandardHead("GET /echo?x=1 HTTP/1.0") + "\r\n";
    EXPECT_EQ(record.head, head);
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Body, head);  // the echo of what nginx received
    EXPECT_THAT(http.Header, testing::StartsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_THAT(http.Header, testing::EndsWith("\r\n\r\n"));
}

TEST_F(HttpAgainstNginx, NotificationPostWithEmptyDataSendsLengthZeroAndNoBody) {
    const std::string target = "/ftp.php?file=photo.jpg&name=taro&mail=taro@example.jp";
    bool succeeded = false;
    http.OnSuccess = [&](nmhttp::CmdType cmd) { succeeded = cmd == nmhttp::CmdType::Post; };
    const auto record = RecordOf([&] { http.Post(bed().nginx.Url(target), ""); });
    EXPECT_EQ(record.head, StandardHead("POST " + target + " HTTP/1.0") + "Content-Length: 0\r\n\r\n");
    EXPECT_EQ(record.body, "");
    EXPECT_EQ(http.Body, "OK\n");
    EXPECT_TRUE(succeeded);
}

TEST_F(HttpAgainstNginx, PostDataIsFormEncoded) {
    const auto record = RecordOf([&] { http.Post(bed().nginx.Url("/ftp.php"), "a b&c"); });
    EXPECT_THAT(record.head, testing::HasSubstr("\r\nContent-Length: 7\r\n\r\n"));
    EXPECT_EQ(record.body, "a+b%26c");
}

TEST_F(HttpAgainstNginx, RawCp932BytesInTheQueryArriveUnencoded) {
    const std::string name = "\x95\x5C\x8E\xA6";  // "表示"
    const auto record = RecordOf([&] { http.Post(bed().nginx.Url("/ftp.php?name=" + name), ""); });
    EXPECT_EQ(record.requestLine, "POST /ftp.php?name=" + name + " HTTP/1.0");
    EXPECT_EQ(record.status, "200");
}

TEST_F(HttpAgainstNginx, BinaryBodyArrivesWholeInStringAndFileMode) {
    std::string expected;
    for (int round = 0; round < 1024; ++round) {
        for (int value = 0; value < 256; ++value) {
            expected += static_cast<char>(value);
        }
    }
    http.Get(bed().nginx.Url("/static/bytes.bin"));
    EXPECT_EQ(http.Body.size(), expected.size());
    EXPECT_TRUE(http.Body == expected);
    const std::string file = testing::TempDir() + testsupport::UniqueName("body", ".bin");
    http.InputFileMode = true;
    http.Body = file;
    http.Get(bed().nginx.Url("/static/bytes.bin"));
    EXPECT_TRUE(testsupport::ReadFileBytes(file) == expected);
    std::filesystem::remove(file);
}

TEST_F(HttpAgainstNginx, FollowsTheServersRedirect) {
    int redirects = 0;
    http.OnRedirect = [&](bool&) { ++redirects; };
    http.Get(bed().nginx.Url("/redirect"));
    EXPECT_EQ(redirects, 1);
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Body, "Hello from the test bed.\n");
}

TEST_F(HttpAgainstNginx, ThroughTinyproxyTheRequestLineCarriesTheWholeURL) {
    const std::string url = bed().nginx.Url("/echo?via=proxy");
    const LogTail proxyLog(bed().proxy.log);
    http.Proxy = bed().proxy.host;
    http.ProxyPort = bed().proxy.port;
    const auto record = RecordOf([&] { http.Get(url); });
    EXPECT_TRUE(proxyLog.WaitFor("GET " + url + " HTTP/1.0")) << proxyLog.text();
    EXPECT_EQ(record.requestLine, "GET /echo?via=proxy HTTP/1.0");
    EXPECT_THAT(record.head, testing::HasSubstr("Via: 1.0 tinyproxy"));
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Body, record.head);
}

}  // namespace
