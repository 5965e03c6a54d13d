// Whole exchanges of the HTTP client with a scripted loopback server: status classes and events,
// redirects and cookies, broken and slow servers, file modes, Abort and refused requests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "net/http/nmhttp.h"
#include "tests/support/script_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/testbed.h"

namespace {

using nmhttp::CmdType;
using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::Connection;
using testsupport::ScriptServer;

// Reads the request's header block, up to its empty line.
ScriptServer& ReadHead(ScriptServer& server) {
    return server.Run([](Connection& connection) {
        while (!connection.ReadLine().empty()) {
        }
    });
}

// The operations and events of one client, recorded in the order they happened.
class HttpExchange : public testing::Test {
protected:
    void SetUp() override {
        http.TimeOut = 5000;  // a client fault must not hang the test
        http.OnSuccess = [this](CmdType cmd) { events.push_back("success " + std::to_string(int(cmd))); };
        http.OnFailure = [this](CmdType cmd) { events.push_back("failure " + std::to_string(int(cmd))); };
        http.OnRedirect = [this](bool& handled) {
            events.push_back("redirect");
            handled = stopAtRedirect;
        };
        http.OnAuthenticationNeeded = [this](platform::TObject*) { events.push_back("authentication"); };
    }

    static std::string UrlOf(const ScriptServer& server, const std::string& target) {
        return "http://" + server.host() + ":" + std::to_string(server.port()) + target;
    }

    nmhttp::TNMHTTP http;
    std::vector<std::string> events;
    bool stopAtRedirect = false;
};

TEST_F(HttpExchange, SuccessKeepsHeaderBodyAndStatus) {
    ScriptServer server;
    ReadHead(server.Accept())
        .Send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Two: 2\r\n\r\n0123456789")
        .Close();
    server.Start();
    http.Get(UrlOf(server, "/a/b?x=1"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Two: 2\r\n\r\n");
    EXPECT_EQ(http.Body, "0123456789");
    EXPECT_THAT(events, ElementsAre("success 0"));
    EXPECT_FALSE(http.Connected);
    EXPECT_THAT(server.lines(),
                ElementsAre("GET /a/b?x=1 HTTP/1.0", "Host: 127.0.0.1",
                            "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff",
                            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript",
                            "Content-type: application/x-www-form-urlencoded", ""));
}

TEST_F(HttpExchange, CompletionIsReportedAfterSuccessFromLevelTwo) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 500 Oops\r\n\r\n").Close();
    server.Start();
    http.OnStatus = [this](platform::TObject*, const std::string& status) { events.push_back(status); };
    http.ReportLevel = 1;
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(events, ElementsAre("success 0"));
    http.ReportLevel = 2;
    http.Get(UrlOf(server, "/"));
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("success 0", "success 0", "Transaction Completed", "failure 0"));
}

TEST_F(HttpExchange, NotFoundFiresFailureAndKeepsTheErrorPage) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.1 404 Not Found\r\n\r\n<h1>no</h1>").Close();
    server.Start();
    EXPECT_NO_THROW(http.Head(UrlOf(server, "/missing")));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 404);
    EXPECT_EQ(http.Body, "<h1>no</h1>");
    EXPECT_THAT(events, ElementsAre("failure 2"));
}

TEST_F(HttpExchange, UnauthorizedFiresFailureThenAuthenticationOnce) {
    ScriptServer server;
    ReadHead(server.Accept()).SendLine("HTTP/1.0 401 Unauthorized").SendLine("").Close();
    server.Start();
    http.Get(UrlOf(server, "/private"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("failure 0", "authentication"));
}

TEST_F(HttpExchange, StatusWithoutReasonPhraseStillCounts) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 404\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 200\nServer: lf-only\n\n").Close();
    server.Start();
    http.Get(UrlOf(server, "/"));
    EXPECT_EQ(http.ReplyNumber, 404);
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Header, "HTTP/1.0 200\nServer: lf-only\n\n");
    EXPECT_THAT(events, ElementsAre("failure 0", "success 0"));
}

TEST_F(HttpExchange, ServerClosingWithoutAByteIsAnEmptySuccess) {
    ScriptServer server;
    ReadHead(server.Accept()).Close();
    server.Start();
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 0);
    EXPECT_EQ(http.Header, "");
    EXPECT_EQ(http.Body, "");
    EXPECT_THAT(events, ElementsAre("success 0"));
}

TEST_F(HttpExchange, BodyRunsToTheCloseWhateverContentLengthSays) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n").Send(std::string(20, 'b')).Close();
    server.Start();
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.Body, std::string(20, 'b'));
}

TEST_F(HttpExchange, RedirectToAnotherHostCarriesTheCookieAndStaysAPost) {
    ScriptServer second;
    ReadHead(second.Accept()).Run([](Connection& c) { c.ReadExactly(5); }).Send("HTTP/1.0 200 OK\r\n\r\ndone").Close();
    second.Start();
    ScriptServer first;
    ReadHead(first.Accept())
        .Run([](Connection& c) { c.ReadExactly(5); })
        .Send("HTTP/1.0 302 Found\r\nSet-Cookie: id=7; path=/\r\nLocation: http://localhost:" +
              std::to_string(second.port()) + "/x\r\n\r\nmoved")
        .Close();
    first.Start();

    http.Post(UrlOf(first, "/form"), "a=1");
    EXPECT_THAT(first.Finish(), IsEmpty());
    EXPECT_THAT(second.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("redirect", "success 3"));
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Body, "done");
    EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\r\n\r\n");
    EXPECT_EQ(http.URL, "http://localhost:" + std::to_string(second.port()) + "/x");
    EXPECT_EQ(http.HeaderInfo.Cookie, "id=7; path=/");
    const auto lines = second.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "POST /x HTTP/1.0");
    EXPECT_EQ(lines[1], "Host: localhost");
    EXPECT_THAT(lines, testing::Contains("Cookie: id=7; path=/"));
    EXPECT_THAT(lines, testing::Contains("Content-Length: 5"));
    EXPECT_EQ(second.received().substr(second.received().size() - 5), "a%3D1");
}

TEST_F(HttpExchange, CookieOfAnOrdinaryResponseStaysInResponseCookie) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\nset-cookie:   s=1  \r\n\r\n").Close();
    server.Start();
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ResponseCookie, "s=1");
    EXPECT_EQ(http.HeaderInfo.Cookie, "");
}

TEST_F(HttpExchange, RelativeLocationsStayOnTheSameServerAndPort) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 301 Moved\r\nLocation: next\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\nLOCATION:/dir//page?q=1\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Close();
    server.Start();
    http.Get(UrlOf(server, "/start"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    const std::vector<std::string> lines = server.lines();
    EXPECT_THAT(lines, testing::Contains("GET /next HTTP/1.0"));
    EXPECT_THAT(lines, testing::Contains("GET /dir//page?q=1 HTTP/1.0"));  // "//" in a path names no host
    EXPECT_EQ(http.URL, UrlOf(server, "/dir//page?q=1"));
    EXPECT_THAT(events, ElementsAre("redirect", "redirect", "success 0"));
}

TEST_F(HttpExchange, LongLocationIsFollowedWhole) {
    const std::string target = "/notify?mail=" + std::string(400, 'm') + "@example.jp";
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Close();
    server.Start();
    http.Get(UrlOf(server, "/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(server.lines(), testing::Contains("GET " + target + " HTTP/1.0"));
}

TEST_F(HttpExchange, RedirectLoopEndsAtTheCap) {
    ScriptServer server;
    for (int i = 0; i <= nmhttp::MaxRedirects; ++i) {
        ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n").Close();
    }
    server.Start();
    try {
        http.Get(UrlOf(server, "/"));
        ADD_FAILURE() << "no exception";
    } catch (const platform::Exception& error) {
        EXPECT_EQ(error.Message(), "Too many redirects (more than 20)");
    }
    EXPECT_THAT(server.Finish(), IsEmpty());
    const auto lines = server.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "GET /again HTTP/1.0"), nmhttp::MaxRedirects);
    EXPECT_EQ(events.size(), 21u);
    EXPECT_FALSE(http.Connected);
}

TEST_F(HttpExchange, OtherRedirectStatusesAndHandledEndTheOperation) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 303 See Other\r\nLocation: /other\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 299 Odd\r\nLocation: /elsewhere\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\nSet-Cookie: c=1\r\nLocation: /x\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\n\r\n").Close();  // nowhere to go
    server.Start();
    http.Get(UrlOf(server, "/a"));
    EXPECT_THAT(events, ElementsAre("redirect"));
    EXPECT_EQ(http.URL, UrlOf(server, "/a"));
    http.Get(UrlOf(server, "/b"));
    EXPECT_THAT(events, ElementsAre("redirect"));
    EXPECT_EQ(http.URL, UrlOf(server, "/b"));  // 299 is no redirect: its Location is not taken
    stopAtRedirect = true;
    http.Get(UrlOf(server, "/c"));
    EXPECT_EQ(http.HeaderInfo.Cookie, "c=1");  // taken before the handler could stop
    stopAtRedirect = false;
    http.Get(UrlOf(server, "/d"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("redirect", "redirect", "redirect"));
    EXPECT_EQ(http.URL, UrlOf(server, "/d"));
}

TEST_F(HttpExchange, ResponseHeadArrivingInRandomPiecesIsAssembled) {
    const std::string head =
        "HTTP/1.1 302 Found\r\nServer: pieces\r\nSet-Cookie: k=v; a=b\r\nLocation: /final\r\n"
        "X-Long: " + std::string(300, 'x') + "\r\n\r\n";
    std::mt19937 random(20240607);
    for (int round = 0; round < 5; ++round) {
        ScriptServer server;
        ReadHead(server.Accept());
        for (std::size_t at = 0; at < head.size();) {
            const std::size_t piece = std::uniform_int_distribution<std::size_t>(1, 40)(random);
            server.Send(head.substr(at, piece)).Stall(std::chrono::milliseconds(random() % 3));
            at += piece;
        }
        server.Send("moved").Close();
        ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\nfinal").Close();
        server.Start();
        events.clear();
        stopAtRedirect = true;
        http.Get(UrlOf(server, "/"));
        EXPECT_EQ(http.Header, head) << "round " << round;
        EXPECT_EQ(http.Body, "moved");
        EXPECT_EQ(http.Location, "/final");
        EXPECT_EQ(http.ResponseCookie, "k=v; a=b");
        EXPECT_EQ(http.ReplyNumber, 302);
        stopAtRedirect = false;
        http.Get(UrlOf(server, "/"));  // the same response, now followed
        EXPECT_THAT(server.Finish(), IsEmpty()) << "round " << round;
        EXPECT_EQ(http.Body, "final");
    }
}

TEST_F(HttpExchange, LineBreaksInURLOrHeaderValuesAreRefusedBeforeSending) {
    ScriptServer server;
    server.Start();  // nothing scripted: any connection would be a fault
    const auto refused = [&](const std::function<void()>& request) {
        try {
            request();
        } catch (const platform::Exception& error) {
            return std::string(error.what()).find("contains CR, LF or NUL") != std::string::npos;
        }
        return false;
    };
    EXPECT_TRUE(refused([&] { http.Get(UrlOf(server, "/a\r\nX-Injected: 1")); }));
    EXPECT_TRUE(refused([&] { http.Get(UrlOf(server, "/a\nb")); }));
    http.HeaderInfo.Cookie = "id=1\r\nX-Injected: 1";
    EXPECT_TRUE(refused([&] { http.Get(UrlOf(server, "/")); }));
    http.HeaderInfo.Cookie.clear();
    EXPECT_TRUE(refused([&] { http.Copy(UrlOf(server, "/"), "/d\rX: y"); }));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "");
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(HttpExchange, LineBreakInARedirectTargetStopsBeforeTheNextRequest) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\nLocation: /a\rX-Injected: 1\r\n\r\n").Close();
    server.Start();
    EXPECT_THROW(http.Get(UrlOf(server, "/")), platform::Exception);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.lines().size(), 6u);  // the first request only
}

TEST_F(HttpExchange, ThroughAProxyTheWholeURLGoesFirstThenTheProxyLines) {
    ScriptServer proxy;
    ReadHead(proxy.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Close();
    proxy.Start();
    http.Proxy = proxy.host();
    http.ProxyPort = proxy.port();
    http.Get("http://origin.invalid/page?x=1");
    EXPECT_THAT(proxy.Finish(), IsEmpty());
    const auto lines = proxy.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "GET http://origin.invalid/page?x=1 HTTP/1.0");
    EXPECT_EQ(lines[1], "Proxy-Connection: Keep-Alive");
    EXPECT_EQ(lines[2], "Host: origin.invalid");
}

TEST_F(HttpExchange, DataWithNulBytesAndBeyondOneBufferIsSentWhole) {
    std::string data(70000, 'd');
    data[10] = '\0';
    ScriptServer server;
    ReadHead(server.Accept())
        .Run([&](Connection& c) { EXPECT_EQ(c.ReadExactly(data.size()), data); })
        .Send("HTTP/1.0 201 Created\r\n\r\n")
        .Close();
    server.Start();
    http.Put(UrlOf(server, "/blob"), data);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(server.lines(), testing::Contains("Content-Length: 70000"));
    EXPECT_THAT(events, ElementsAre("success 4"));
}

TEST_F(HttpExchange, LinkSendsItsValueAndNoData) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 204 No Content\r\n\r\n").Close();
    server.Start();
    http.Link(UrlOf(server, "/r"), "<http://a/>; rel=\"x\"");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.lines().at(0), "LINK /r HTTP/1.0");
    EXPECT_EQ(server.lines().at(5), "Link: <http://a/>; rel=\"x\"");
    EXPECT_EQ(server.lines().at(6), "");
    EXPECT_EQ(server.received().substr(server.received().size() - 4), "\r\n\r\n");
}

TEST_F(HttpExchange, FileModesSendAndReceiveThroughFiles) {
    testsupport::TempDir dir;
    const std::string upload = dir.Write("send.dat", std::string("file\0data", 9)).string();
    ScriptServer server;
    ReadHead(server.Accept())
        .Run([](Connection& c) { EXPECT_EQ(c.ReadExactly(9), std::string("file\0data", 9)); })
        .Send("HTTP/1.0 200 OK\r\nX: y\r\n\r\nbody bytes")
        .Close();
    ReadHead(server.Accept()).Close();
    server.Start();
    http.OutputFileMode = true;
    http.InputFileMode = true;
    http.Header = (dir.path() / "head.txt").string();
    http.Body = (dir.path() / "body.htm").string();
    http.Put(UrlOf(server, "/f"), upload);
    EXPECT_EQ(testsupport::ReadFileBytes(http.Header), "HTTP/1.0 200 OK\r\nX: y\r\n\r\n");
    EXPECT_EQ(testsupport::ReadFileBytes(http.Body), "body bytes");
    http.Get(UrlOf(server, "/empty"));  // the header file is made even for nothing
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(std::filesystem::exists(http.Header));
    EXPECT_EQ(testsupport::ReadFileBytes(http.Header), "");
    EXPECT_THAT(server.lines(), testing::Contains("Content-Length: 9"));
}

TEST_F(HttpExchange, AbortDuringTheBodyEndsWithAnExceptionAndCloses) {
    ScriptServer server;
    ReadHead(server.Accept())
        .Send("HTTP/1.0 200 OK\r\n\r\nfirst")
        .WaitForPeerClose();  // never closes on its own
    server.Start();
    http.OnPacketRecvd = [this](platform::TObject*) { http.Abort(); };
    try {
        http.Get(UrlOf(server, "/slow"));
        ADD_FAILURE() << "no exception";
    } catch (const psock::EAbortError& error) {
        EXPECT_STREQ(error.what(), "Socket capture aborted");
    }
    EXPECT_FALSE(http.Connected);
    EXPECT_EQ(http.Body, "first");
    EXPECT_THAT(events, IsEmpty());
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(HttpExchange, SilentServerEndsByTheTimeOut) {
    ScriptServer server;
    ReadHead(server.Accept()).WaitForPeerClose();
    server.Start();
    http.TimeOut = 300;
    EXPECT_THROW(http.Get(UrlOf(server, "/")), psock::EAbortError);
    EXPECT_FALSE(http.Connected);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(HttpExchange, AboutToSendMayAddLinesBeforeEveryPass) {
    ScriptServer server;
    ReadHead(server.Accept()).Send("HTTP/1.0 302 Found\r\nLocation: /2\r\n\r\n").Close();
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Close();
    server.Start();
    int calls = 0;
    http.OnAboutToSend = [&](platform::TObject*) {
        ++calls;
        http.RequestHeader.SetHeader("X-Pass", std::to_string(calls));
    };
    http.Get(UrlOf(server, "/1"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(calls, 2);
    EXPECT_THAT(server.lines(), testing::Contains("X-Pass: 2"));
}

}  // namespace
