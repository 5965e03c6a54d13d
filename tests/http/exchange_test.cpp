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
#include "tests/http/http_test_util.h"
#include "tests/support/script_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/testbed.h"

namespace {

using httptest::MessageOfThrown;
using nmhttp::CmdType;
using testing::ElementsAre;
using testing::HasSubstr;
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

    static std::string UrlOf(const ScriptServer& someServer, const std::string& target) {
        return "http://" + someServer.host() + ":" + std::to_string(someServer.port()) + target;
    }
    std::string Url(const std::string& target) const { return UrlOf(server, target); }
    // Queues one whole exchange on the server: it reads a request's head, sends response, closes.
    void Respond(const std::string& response) { Respond(server, response); }
    static void Respond(ScriptServer& someServer, const std::string& response) {
        ReadHead(someServer.Accept()).Send(response).Close();
    }

    ScriptServer server;  // for the tests that need one server only
    nmhttp::TNMHTTP http;
    std::vector<std::string> events;
    bool stopAtRedirect = false;
};

TEST_F(HttpExchange, SuccessKeepsHeaderBodyAndStatus) {
    Respond("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Two: 2\r\n\r\n0123456789");
    server.Start();
    http.Get(Url("/a/b?x=1"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Two: 2\r\n\r\n");
    EXPECT_EQ(http.Body, "0123456789");
    EXPECT_THAT(events, ElementsAre("success 0"));
    EXPECT_FALSE(http.Connected);
    EXPECT_THAT(server.lines(),
                ElementsAre("GET /a/b?x=1 HTTP/1.0", "Host: 127.0.0.1", httptest::Accept1, httptest::Accept2,
                            httptest::ContentType, ""));
}

TEST_F(HttpExchange, CompletionIsReportedAfterSuccessFromLevelTwo) {
    Respond("HTTP/1.0 200 OK\r\n\r\n");
    Respond("HTTP/1.0 200 OK\r\n\r\n");
    Respond("HTTP/1.0 500 Oops\r\n\r\n");
    server.Start();
    http.OnStatus = [this](platform::TObject*, const std::string& status) { events.push_back(status); };
    http.ReportLevel = 1;
    http.Get(Url("/"));
    EXPECT_THAT(events, ElementsAre("success 0"));
    http.ReportLevel = 2;
    http.Get(Url("/"));
    http.Get(Url("/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("success 0", "success 0", "Transaction Completed", "failure 0"));
}

TEST_F(HttpExchange, NotFoundFiresFailureAndKeepsTheErrorPage) {
    Respond("HTTP/1.1 404 Not Found\r\n\r\n<h1>no</h1>");
    server.Start();
    EXPECT_NO_THROW(http.Head(Url("/missing")));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 404);
    EXPECT_EQ(http.Body, "<h1>no</h1>");
    EXPECT_THAT(events, ElementsAre("failure 2"));
}

TEST_F(HttpExchange, UnauthorizedFiresFailureThenAuthenticationOnce) {
    ReadHead(server.Accept()).SendLine("HTTP/1.0 401 Unauthorized").SendLine("").Close();
    server.Start();
    http.Get(Url("/private"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("failure 0", "authentication"));
}

TEST_F(HttpExchange, StatusWithoutReasonPhraseStillCounts) {
    Respond("HTTP/1.0 404\r\n\r\n");
    Respond("HTTP/1.0 200\nServer: lf-only\n\n");
    server.Start();
    http.Get(Url("/"));
    EXPECT_EQ(http.ReplyNumber, 404);
    http.Get(Url("/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Header, "HTTP/1.0 200\nServer: lf-only\n\n");
    EXPECT_THAT(events, ElementsAre("failure 0", "success 0"));
}

TEST_F(HttpExchange, ServerClosingWithoutAByteIsAnEmptySuccess) {
    ReadHead(server.Accept()).Close();
    server.Start();
    http.Get(Url("/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ReplyNumber, 0);
    EXPECT_EQ(http.Header, "");
    EXPECT_EQ(http.Body, "");
    EXPECT_THAT(events, ElementsAre("success 0"));
}

TEST_F(HttpExchange, BodyRunsToTheCloseWhateverContentLengthSays) {
    Respond("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n" + std::string(20, 'b'));
    server.Start();
    http.Get(Url("/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.Body, std::string(20, 'b'));
}

// A server that never ends its answer: a flood of 64 MiB, far beyond any limit of the client.
constexpr std::size_t FloodLimit = 64 << 20;

TEST_F(HttpExchange, AHeadThatNeverEndsIsRefusedAtItsLimit) {
    ReadHead(server.Accept()).SendLine("HTTP/1.0 200 OK").Flood("X-More: " + std::string(990, 'h') + "\r\n", FloodLimit)
        .Close();
    server.Start();
    EXPECT_EQ(MessageOfThrown<platform::Exception>([&] { http.Get(Url("/")); }),
              "Response header longer than 307200 bytes");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_LT(server.flooded(), FloodLimit);
    EXPECT_LE(http.Header.size(), nmhttp::MaxResponseHeadLength);
    EXPECT_FALSE(http.Connected);
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(HttpExchange, ABodyBeyondMaxBodyLengthFailsAndOneWithinItPasses) {
    Respond("HTTP/1.0 200 OK\r\n\r\n" + std::string(1000, 'b'));
    ReadHead(server.Accept()).Send("HTTP/1.0 200 OK\r\n\r\n").Flood(std::string(16384, 'b'), FloodLimit).Close();
    server.Start();
    http.MaxBodyLength = 1000;
    http.Get(Url("/exact"));
    EXPECT_EQ(http.Body, std::string(1000, 'b'));
    EXPECT_EQ(MessageOfThrown<platform::Exception>([&] { http.Get(Url("/endless")); }),
              "Response body longer than 1000 bytes");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_LT(server.flooded(), FloodLimit);
    EXPECT_FALSE(http.Connected);
    EXPECT_THAT(events, ElementsAre("success 0"));
}

TEST_F(HttpExchange, RedirectToAnotherHostStaysAPostAndKeepsTheCookieForItsOwnHost) {
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
    EXPECT_THAT(lines, testing::Not(testing::Contains(testing::StartsWith("Cookie"))));  // not to another host
    EXPECT_THAT(lines, testing::Contains("Content-Length: 5"));
    EXPECT_EQ(second.received().substr(second.received().size() - 5), "a%3D1");

    // Later requests: the cookie goes back to the host that set it, and only there.
    ScriptServer again;
    Respond(again, "HTTP/1.0 200 OK\r\n\r\n");
    Respond(again, "HTTP/1.0 200 OK\r\n\r\n");
    again.Start();
    http.Get(UrlOf(again, "/back"));
    http.Get("http://localhost:" + std::to_string(again.port()) + "/elsewhere");
    EXPECT_THAT(again.Finish(), IsEmpty());
    const auto later = again.lines();
    EXPECT_EQ(std::count(later.begin(), later.end(), "Cookie: id=7; path=/"), 1);
    const auto cookie = std::find(later.begin(), later.end(), "Cookie: id=7; path=/");
    EXPECT_LT(cookie, std::find(later.begin(), later.end(), "GET /elsewhere HTTP/1.0"));  // in the first
}

TEST_F(HttpExchange, AHeadCutShortByTheCloseIsAFailureNeverASuccess) {
    for (const std::string cutShort : {"HTTP/1.0 200 OK\r\nContent-Ty", "HTTP/1.0 200 OK\r\n", "HTTP/1.0 2"}) {
        SCOPED_TRACE(cutShort);
        ScriptServer closing;
        Respond(closing, cutShort);
        closing.Start();
        events.clear();
        EXPECT_EQ(MessageOfThrown([&] { http.Post(UrlOf(closing, "/ftp.php"), ""); }),
                  "Connection closed inside the response head");
        EXPECT_THAT(closing.Finish(), IsEmpty());
        EXPECT_THAT(events, IsEmpty());
        EXPECT_FALSE(http.Connected);
    }
}

TEST_F(HttpExchange, CookieOfAnOrdinaryResponseStaysInResponseCookie) {
    Respond("HTTP/1.0 200 OK\r\nset-cookie:   s=1  \r\n\r\n");
    server.Start();
    http.Get(Url("/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(http.ResponseCookie, "s=1");
    EXPECT_EQ(http.HeaderInfo.Cookie, "");
}

TEST_F(HttpExchange, RelativeLocationsStayOnTheSameServerAndPort) {
    Respond("HTTP/1.0 301 Moved\r\nLocation: next\r\n\r\n");
    Respond("HTTP/1.0 302 Found\r\nLOCATION:/dir//page?q=1\r\n\r\n");
    Respond("HTTP/1.0 200 OK\r\n\r\n");
    server.Start();
    http.Get(Url("/start"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    const std::vector<std::string> lines = server.lines();
    EXPECT_THAT(lines, testing::Contains("GET /next HTTP/1.0"));
    EXPECT_THAT(lines, testing::Contains("GET /dir//page?q=1 HTTP/1.0"));  // "//" in a path names no host
    EXPECT_EQ(http.URL, Url("/dir//page?q=1"));
    EXPECT_THAT(events, ElementsAre("redirect", "redirect", "success 0"));
}

TEST_F(HttpExchange, LongLocationIsFollowedWhole) {
    const std::string target = "/notify?mail=" + std::string(400, 'm') + "@example.jp";
    Respond("HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n");
    Respond("HTTP/1.0 200 OK\r\n\r\n");
    server.Start();
    http.Get(Url("/"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(server.lines(), testing::Contains("GET " + target + " HTTP/1.0"));
}

TEST_F(HttpExchange, RedirectLoopEndsAtTheCap) {
    for (int i = 0; i <= nmhttp::MaxRedirects; ++i) {
        Respond("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n");
    }
    server.Start();
    EXPECT_EQ(MessageOfThrown<platform::Exception>([&] { http.Get(Url("/")); }), "Too many redirects (more than 20)");
    EXPECT_THAT(server.Finish(), IsEmpty());
    const auto lines = server.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "GET /again HTTP/1.0"), nmhttp::MaxRedirects);
    EXPECT_EQ(events.size(), 21u);
    EXPECT_FALSE(http.Connected);
}

TEST_F(HttpExchange, OtherRedirectStatusesAndHandledEndTheOperation) {
    Respond("HTTP/1.0 303 See Other\r\nLocation: /other\r\n\r\n");
    Respond("HTTP/1.0 299 Odd\r\nLocation: /elsewhere\r\n\r\n");
    Respond("HTTP/1.0 302 Found\r\nSet-Cookie: c=1\r\nLocation: /x\r\n\r\n");
    Respond("HTTP/1.0 302 Found\r\n\r\n");  // nowhere to go
    server.Start();
    http.Get(Url("/a"));
    EXPECT_THAT(events, ElementsAre("redirect"));
    EXPECT_EQ(http.URL, Url("/a"));
    http.Get(Url("/b"));
    EXPECT_THAT(events, ElementsAre("redirect"));
    EXPECT_EQ(http.URL, Url("/b"));  // 299 is no redirect: its Location is not taken
    stopAtRedirect = true;
    http.Get(Url("/c"));
    EXPECT_EQ(http.HeaderInfo.Cookie, "c=1");  // taken before the handler could stop
    stopAtRedirect = false;
    http.Get(Url("/d"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(events, ElementsAre("redirect", "redirect", "redirect"));
    EXPECT_EQ(http.URL, Url("/d"));
}

TEST_F(HttpExchange, ResponseHeadArrivingInRandomPiecesIsAssembled) {
    const std::string head =
        "HTTP/1.1 302 Found\r\nServer: pieces\r\nSet-Cookie: k=v; a=b\r\nLocation: /final\r\n"
        "X-Long: " + std::string(300, 'x') + "\r\n\r\n";
    std::mt19937 random(20240607);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ScriptServer piecewise;  // a fresh server each round
        ReadHead(piecewise.Accept());
        for (std::size_t at = 0; at < head.size();) {
            const std::size_t piece = std::uniform_int_distribution<std::size_t>(1, 40)(random);
            piecewise.Send(head.substr(at, piece)).Stall(std::chrono::milliseconds(random() % 3));
            at += piece;
        }
        piecewise.Send("moved").Close();
        ReadHead(piecewise.Accept()).Send("HTTP/1.0 200 OK\r\n\r\nfinal").Close();
        piecewise.Start();
        events.clear();
        stopAtRedirect = true;
        http.Get(UrlOf(piecewise, "/"));
        EXPECT_EQ(http.Header, head);
        EXPECT_EQ(http.Body, "moved");
        EXPECT_EQ(http.Location, "/final");
        EXPECT_EQ(http.ResponseCookie, "k=v; a=b");
        EXPECT_EQ(http.ReplyNumber, 302);
        stopAtRedirect = false;
        http.Get(UrlOf(piecewise, "/"));  // the same response, now followed
        EXPECT_THAT(piecewise.Finish(), IsEmpty());
        EXPECT_EQ(http.Body, "final");
    }
}

TEST_F(HttpExchange, LineBreaksInURLOrHeaderValuesAreRefusedBeforeSending) {
    server.Start();  // nothing scripted: any connection would be a fault
    const auto refusal = [&](const std::function<void()>& request) {
        return MessageOfThrown<platform::Exception>(request);
    };
    const auto refused = HasSubstr("contains CR, LF or NUL");
    EXPECT_THAT(refusal([&] { http.Get(Url("/a\r\nX-Injected: 1")); }), refused);
    EXPECT_THAT(refusal([&] { http.Get(Url("/a\nb")); }), refused);
    http.HeaderInfo.Cookie = "id=1\r\nX-Injected: 1";
    EXPECT_THAT(refusal([&] { http.Get(Url("/")); }), refused);
    http.HeaderInfo.Cookie.clear();
    EXPECT_THAT(refusal([&] { http.Copy(Url("/"), "/d\rX: y"); }), refused);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.received(), "");
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(HttpExchange, LineBreakInARedirectTargetStopsBeforeTheNextRequest) {
    Respond("HTTP/1.0 302 Found\r\nLocation: /a\rX-Injected: 1\r\n\r\n");
    server.Start();
    EXPECT_THROW(http.Get(Url("/")), platform::Exception);
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
    ReadHead(server.Accept())
        .Run([&](Connection& c) { EXPECT_EQ(c.ReadExactly(data.size()), data); })
        .Send("HTTP/1.0 201 Created\r\n\r\n")
        .Close();
    server.Start();
    http.Put(Url("/blob"), data);
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_THAT(server.lines(), testing::Contains("Content-Length: 70000"));
    EXPECT_THAT(events, ElementsAre("success 4"));
}

TEST_F(HttpExchange, LinkSendsItsValueAndNoData) {
    Respond("HTTP/1.0 204 No Content\r\n\r\n");
    server.Start();
    http.Link(Url("/r"), "<http://a/>; rel=\"x\"");
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(server.lines().at(0), "LINK /r HTTP/1.0");
    EXPECT_EQ(server.lines().at(5), "Link: <http://a/>; rel=\"x\"");
    EXPECT_EQ(server.lines().at(6), "");
    EXPECT_EQ(server.received().substr(server.received().size() - 4), "\r\n\r\n");
}

TEST_F(HttpExchange, FileModesSendAndReceiveThroughFiles) {
    testsupport::TempDir dir;
    const std::string upload = dir.Write("send.dat", std::string("file\0data", 9)).string();
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
    http.Put(Url("/f"), upload);
    EXPECT_EQ(testsupport::ReadFileBytes(http.Header), "HTTP/1.0 200 OK\r\nX: y\r\n\r\n");
    EXPECT_EQ(testsupport::ReadFileBytes(http.Body), "body bytes");
    http.Get(Url("/empty"));  // the header file is made even for nothing
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_TRUE(std::filesystem::exists(http.Header));
    EXPECT_EQ(testsupport::ReadFileBytes(http.Header), "");
    EXPECT_THAT(server.lines(), testing::Contains("Content-Length: 9"));
}

TEST_F(HttpExchange, AbortDuringTheBodyEndsWithAnExceptionAndCloses) {
    ReadHead(server.Accept())
        .Send("HTTP/1.0 200 OK\r\n\r\nfirst")
        .WaitForPeerClose();  // never closes on its own
    server.Start();
    http.OnPacketRecvd = [this](platform::TObject*) { http.Abort(); };
    EXPECT_EQ(MessageOfThrown<psock::EAbortError>([&] { http.Get(Url("/slow")); }), "Socket capture aborted");
    EXPECT_FALSE(http.Connected);
    EXPECT_EQ(http.Body, "first");
    EXPECT_THAT(events, IsEmpty());
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(HttpExchange, ResetMidHeadOrMidBodyIsAFailureNeverASuccess) {
    const std::vector<std::string> cuts = {"HTTP/1.0 200 OK\r\nContent-Ty",
                                           "HTTP/1.0 200 OK\r\n\r\n" + std::string(50'000, 'b')};
    for (const std::string& cut : cuts) {
        ScriptServer resetting;
        ReadHead(resetting.Accept()).Send(cut).Reset();
        resetting.Start();
        events.clear();
        EXPECT_EQ(MessageOfThrown<psock::ESockError>([&] { http.Get(UrlOf(resetting, "/")); }),
                  "10054:Connection reset by peer");
        EXPECT_THAT(events, IsEmpty());
        EXPECT_FALSE(http.Connected);
        EXPECT_THAT(resetting.Finish(), IsEmpty());
    }
}

TEST_F(HttpExchange, SilentServerEndsByTheTimeOut) {
    ReadHead(server.Accept()).WaitForPeerClose();
    server.Start();
    http.TimeOut = 300;
    EXPECT_THROW(http.Get(Url("/")), psock::EAbortError);
    EXPECT_FALSE(http.Connected);
    EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST_F(HttpExchange, AboutToSendMayAddLinesBeforeEveryPass) {
    Respond("HTTP/1.0 302 Found\r\nLocation: /2\r\n\r\n");
    Respond("HTTP/1.0 200 OK\r\n\r\n");
    server.Start();
    int calls = 0;
    http.OnAboutToSend = [&](platform::TObject*) {
        ++calls;
        http.RequestHeader.SetHeader("X-Pass", std::to_string(calls));
    };
    http.Get(Url("/1"));
    EXPECT_THAT(server.Finish(), IsEmpty());
    EXPECT_EQ(calls, 2);
    EXPECT_THAT(server.lines(), testing::Contains("X-Pass: 2"));
}

}  // namespace
