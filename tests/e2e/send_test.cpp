// Sends of a dropped file by the real program, seen from the servers' side: the file vsftpd
// stored, the FTP dialogue in its log, the notification nginx received, and the dialogs the
// user had to answer.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/cp932.h"
#include "tests/e2e/address_translator.h"
#include "tests/e2e/program_run.h"
#include "tests/e2e/scripted_ftp.h"
#include "tests/support/testbed.h"

namespace {

using e2e::RandomBytes;

using namespace std::chrono_literals;
using e2e::Dialog;
using e2e::ProgramRun;
using e2e::RunResult;
using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::FtpServerKind;
using testsupport::LogTail;

using e2e::CarrierDomain;

std::vector<std::string> Texts(const RunResult& result) {
    std::vector<std::string> texts;
    for (const Dialog& dialog : result.dialogs) texts.push_back(dialog.text);
    return texts;
}

// The query of a request line, decoded as a script decodes it: "+" is a space, "%HH" a byte.
std::map<std::string, std::string> DecodedQuery(const std::string& requestLine) {
    const auto start = requestLine.find('?') + 1;
    const std::string query = requestLine.substr(start, requestLine.rfind(' ') - start);
    std::map<std::string, std::string> values;
    std::size_t from = 0;
    while (from <= query.size()) {
        const std::size_t end = std::min(query.find('&', from), query.size());
        const std::string pair = query.substr(from, end - from);
        const std::size_t equals = pair.find('=');
        std::string value;
        for (std::size_t i = equals + 1; i < pair.size(); ++i) {
            if (pair[i] == '+') value += ' ';
            else if (pair[i] == '%' && i + 2 < pair.size()) {
                value += static_cast<char>(std::stoi(pair.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else value += pair[i];
        }
        values[pair.substr(0, equals)] = value;
        from = end + 1;
    }
    return values;
}

class Send : public testsupport::TestbedTest {
protected:
    e2e::Servers Bed() const { return {bed().vsftpd.port, bed().nginx.port}; }

    std::filesystem::path MakeFile(const std::string& utf8Name, std::size_t size = 300'000) {
        return folder_.Write(utf8Name, RandomBytes(size));
    }

    // vsftpd stored the file under its CP932 name, byte for byte.
    ::testing::AssertionResult StoredUnchanged(const std::string& utf8Name, const std::filesystem::path& file) const {
        const std::string stored = testsupport::ReadFileBytes(bed().vsftpd.root / platform::Cp932(utf8Name));
        if (stored == testsupport::ReadFileBytes(file)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "vsftpd holds " << stored.size() << " other bytes under " << utf8Name;
    }

    RunResult SendOverIPv4(const std::filesystem::path& file, const std::string& name, const std::string& whyNotIPv6);

    testsupport::TempDir folder_;
};

TEST_F(Send, UploadsTheFileThenNotifiesTheScriptAfterTheSuccessMessage) {
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    const auto file = MakeFile(name);
    LogTail ftpLog(bed().vsftpd.log);
    LogTail requests(bed().nginx.requestLog);

    ProgramRun run({"Taro", "taro.y", 0}, Bed(), file);
    std::size_t postsWhileTheMessageWasUp = 99;
    const RunResult result = run.Finish([&](const Dialog&) {
        std::this_thread::sleep_for(500ms);  // a notification sent too early would be in by now
        postsWhileTheMessageWasUp = testsupport::ParseNginxRequests(requests.text()).size();
    });

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro.y@" + CarrierDomain, name)));
    EXPECT_EQ(result.dialogs[0].caption, e2e::Title);
    EXPECT_EQ(postsWhileTheMessageWasUp, 0u);
    EXPECT_THAT(result.errorOutput, testing::Not(testing::HasSubstr("progress:")));  // over within the second
    EXPECT_TRUE(StoredUnchanged(name, file));

    const auto commands = testsupport::FtpCommands(FtpServerKind::Vsftpd, ftpLog.text());
    ASSERT_EQ(commands.size(), 6u) << ftpLog.text();
    EXPECT_EQ(commands[0], "USER zdq");
    EXPECT_EQ(commands[1], "PASS <password>");  // vsftpd hides it; the scripted log-ins check it
    EXPECT_EQ(commands[2], "TYPE I");
    EXPECT_EQ(commands[3], "CWD ./");
    EXPECT_EQ(commands[4], "PASV");  // the data connection goes out from the client
    EXPECT_EQ(commands[5], "STOR " + name);  // and no QUIT: the session is left open

    const auto records = testsupport::WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    const std::string requestLine =
        "POST /ftp.php?file=" + name + "&name=Taro&mail=taro.y@" + CarrierDomain + " HTTP/1.0";
    EXPECT_EQ(records[0].requestLine, requestLine);
    EXPECT_EQ(records[0].body, "");
    EXPECT_EQ(records[0].status, "200");

    // The send's dialogue is in the log, without the password.
    const std::string log = run.SendLogText();
    for (const std::string& line : {std::string("ftp: USER zdq"), std::string("ftp: PASS ****"), "ftp: STOR " + name, "http: " + requestLine,
                                    std::string("http: HTTP/1.1 200 OK"), std::string("send: sent")})
        EXPECT_THAT(log, testing::HasSubstr(line + "\n"));
    EXPECT_THAT(log, testing::ContainsRegex("ftp: 227 Entering Passive Mode"));
    EXPECT_THAT(log, testing::Not(testing::HasSubstr("Qm7tR2xw")));
}

// MILTE_UPLOAD_HOST may be an IPv6 literal: the upload goes by "EPSV", the notification over IPv6
// with the literal in brackets, and the log names the server so.
TEST_F(Send, AnIPv6ServerGetsTheFileByEpsvAndTheNotificationOverIPv6) {
    const std::string name = testsupport::UniqueName("ipv6", ".jpg");
    const auto file = MakeFile(name);
    LogTail ftpLog(bed().vsftpd6.log);
    LogTail requests(bed().nginx.requestLog);

    ProgramRun run({"Taro", "taro", 0}, {bed().vsftpd6.port, bed().nginx.port, {{"MILTE_UPLOAD_HOST", "::1"}}}, file);
    const RunResult result = run.Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + CarrierDomain, name)));
    EXPECT_TRUE(StoredUnchanged(name, file));
    EXPECT_THAT(testsupport::FtpCommands(FtpServerKind::Vsftpd, ftpLog.text()),
                ElementsAre("USER zdq", "PASS <password>", "TYPE I", "CWD ./", "EPSV", "STOR " + name));
    const auto records = testsupport::WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].client, "::1");
    EXPECT_EQ(records[0].status, "200");
    EXPECT_THAT(records[0].head, testing::HasSubstr("\r\nHost: [::1]\r\n"));
    EXPECT_THAT(run.SendLogText(), testing::HasSubstr("send: FTP [::1]:" + std::to_string(bed().vsftpd6.port) + "\n"));
}

// A port of ::1 that never answers a connect: a listener whose queue is full, so the system
// drops further handshakes, as a broken path drops them.
class UnansweringIPv6Port {
public:
    explicit UnansweringIPv6Port(std::uint16_t port) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        const auto* at = reinterpret_cast<const sockaddr*>(&address);
        listener_ = ::socket(AF_INET6, SOCK_STREAM, 0);
        if (::bind(listener_, at, sizeof address) != 0 || ::listen(listener_, 0) != 0)
            throw std::runtime_error("cannot listen on [::1]:" + std::to_string(port));
        for (int i = 0; i < 3; ++i) {
            fillers_.push_back(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(fillers_.back(), at, sizeof address);
        }
        std::this_thread::sleep_for(50ms);
    }
    ~UnansweringIPv6Port() {
        for (int filler : fillers_) ::close(filler);
        ::close(listener_);
    }
    UnansweringIPv6Port(const UnansweringIPv6Port&) = delete;
    UnansweringIPv6Port& operator=(const UnansweringIPv6Port&) = delete;

private:
    int listener_ = -1;
    std::vector<int> fillers_;
};

// A send to a name with an IPv6 address (tried first) and an IPv4 one, as a hosts file of the
// program's own has it, where only vsftpd's IPv4 address works: the file goes over IPv4, and the
// log says why the IPv6 address was left.
RunResult Send::SendOverIPv4(const std::filesystem::path& file, const std::string& name,
                             const std::string& whyNotIPv6) {
    e2e::Servers servers = Bed();
    servers.overrides = {{"MILTE_UPLOAD_HOST", "dual.milte.test"}};
    servers.hostsFile = folder_.Write("hosts", "::1 dual.milte.test\n127.0.0.1 dual.milte.test\n");
    LogTail ftpLog(bed().vsftpd.log);  // vsftpd listens on 127.0.0.1 only

    ProgramRun run({"Taro", "taro", 0}, servers, file);
    const RunResult result = run.Finish();

    EXPECT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + CarrierDomain, name)));
    EXPECT_THAT(testsupport::FtpCommands(FtpServerKind::Vsftpd, ftpLog.text()),
                ElementsAre("USER zdq", "PASS <password>", "TYPE I", "CWD ./", "PASV", "STOR " + name));
    EXPECT_THAT(run.SendLogText(),
                testing::HasSubstr("ftp: [::1]:" + std::to_string(bed().vsftpd.port) + " " + whyNotIPv6 + "\n"));
    EXPECT_TRUE(StoredUnchanged(name, file));
    return result;
}

// A refusal costs nothing: the send is over within the second, without the progress window that a
// send still under way then shows.
TEST_F(Send, ANameWhoseIPv6AddressRefusesIsSentOverIPv4AtOnce) {
    const std::string name = testsupport::UniqueName("dual", ".jpg");
    const RunResult result = SendOverIPv4(MakeFile(name), name, "failed: 10061:Connection refused");
    EXPECT_THAT(result.errorOutput, testing::Not(testing::HasSubstr("progress:")));
}

// Silence costs a quarter of a second, not the time-out: the log line says the bound, not the
// time-out, left the IPv6 address.
TEST_F(Send, ANameWhoseIPv6AddressNeverAnswersIsSentOverIPv4After250Ms) {
    const std::string name = testsupport::UniqueName("silent", ".jpg");
    UnansweringIPv6Port silent(bed().vsftpd.port);
    SendOverIPv4(MakeFile(name), name, "not connected within 250 ms");
}

// Behind a router that hides the client's address, a server refuses the data port of an active
// upload (curl shows it); the program's passive upload goes through.
TEST_F(Send, AServerThatRefusesTheClientsDataPortGetsTheFileInPassiveMode) {
    const std::string name = testsupport::UniqueName("routed", ".png");
    const auto file = MakeFile(name, 100'000);
    e2e::AddressTranslator router(bed().vsftpd.port);
    const std::string url = "ftp://127.0.0.1:" + std::to_string(router.port()) + "/";
    const std::string curlActive = "curl -s -S --max-time 20 --ftp-port 127.0.0.1 -u zdq:Qm7tR2xw -T '" +
                                   file.string() + "' " + url + "active-" + name + " 2>/dev/null";
    EXPECT_NE(std::system(curlActive.c_str()), 0) << "the server took an active upload from behind the router";
    LogTail ftpLog(bed().vsftpd.log);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {router.port(), bed().nginx.port}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + CarrierDomain, name)));
    EXPECT_TRUE(StoredUnchanged(name, file));
    EXPECT_THAT(testsupport::FtpCommands(FtpServerKind::Vsftpd, ftpLog.text()),
                ElementsAre("USER zdq", "PASS <password>", "TYPE I", "CWD ./", "PASV", "STOR " + name));
}

TEST_F(Send, JapaneseNamesGoOutAsRawCp932Bytes) {
    // "〜" (WAVE DASH) comes back from CP932 as "～" (FULLWIDTH TILDE): the file must still be
    // read from its own name. The message shows the name the service got, so with "～".
    const std::string name = testsupport::UniqueName("写真〜", ".jpg");
    const std::string nameShown = platform::Cp932ToUtf8(platform::Cp932(name));
    const auto file = MakeFile(name, 20'000);
    LogTail requests(bed().nginx.requestLineLog);

    const RunResult result = ProgramRun({platform::Cp932("山田花子"), "hanako", 0}, Bed(), file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("hanako@" + CarrierDomain, nameShown)));
    EXPECT_TRUE(StoredUnchanged(name, file));
    ASSERT_TRUE(requests.WaitFor("HTTP/1.0"));
    EXPECT_EQ(requests.text(), "POST /ftp.php?file=" + platform::Cp932(name) + "&name=" + platform::Cp932("山田花子") +
                                   "&mail=hanako@" + CarrierDomain + " HTTP/1.0\n");
}

TEST_F(Send, SpacesAmpersandsAndPlusesReachTheScriptUnchanged) {
    const std::string name = testsupport::UniqueName("a b&c+d#e%f", ".jpg");
    const auto file = MakeFile(name, 20'000);
    const std::string userName = platform::Cp932("山田 a&b+c %41");
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({userName, "x+y", 0}, Bed(), file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("x+y@" + CarrierDomain, name)));
    EXPECT_TRUE(StoredUnchanged(name, file));
    const auto records = testsupport::WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].status, "200");  // a raw space would have been refused with 400
    const auto query = DecodedQuery(records[0].requestLine);
    EXPECT_EQ(query.size(), 3u);
    EXPECT_EQ(query.at("file"), platform::Cp932(name));
    EXPECT_EQ(query.at("name"), userName);
    EXPECT_EQ(query.at("mail"), "x+y@" + CarrierDomain);
}

// (A carrier the list lacks is no destination at all: settings_test.cpp.)
TEST_F(Send, AnEmptyNameLeavesItsPlaceEmpty) {
    const std::string name = testsupport::UniqueName("doc", ".pdf");
    const auto file = MakeFile(name, 1000);
    LogTail requests(bed().nginx.requestLineLog);

    const RunResult result = ProgramRun({"", "solo", 0}, Bed(), file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("solo@" + CarrierDomain, name)));
    ASSERT_TRUE(requests.WaitFor("HTTP/1.0"));
    EXPECT_EQ(requests.text(), "POST /ftp.php?file=" + name + "&name=&mail=solo@" + CarrierDomain + " HTTP/1.0\n");
}

TEST_F(Send, AnUploadServerThatIsDownGivesTheFailureMessageOnly) {
    const auto file = MakeFile(testsupport::UniqueName("photo", ".png"), 1000);
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {e2e::ClosedPort(), bed().nginx.port}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.dialogs.size(), 1u);
    EXPECT_TRUE(e2e::IsFailure(result.dialogs[0].text, "サーバーに接続できませんでした。", "Connection Failed"));
    std::this_thread::sleep_for(300ms);
    EXPECT_THAT(requests.text(), IsEmpty());
}

TEST_F(Send, ARefusedStorGivesTheFailureMessageAndNoNotification) {
    const std::string name = testsupport::UniqueName("photo", ".gif");
    const auto file = MakeFile(name, 1000);
    testsupport::ScriptServer ftp;
    e2e::RefusePassive(e2e::ScriptLogIn(ftp)).ExpectLine().SendLine("200 port").ExpectLine("STOR " + name)
        .SendLine("553 not allowed").WaitForPeerClose();
    ftp.Start();
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {ftp.port(), bed().nginx.port}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(ftp.Finish(), IsEmpty());
    ASSERT_EQ(result.dialogs.size(), 1u);
    EXPECT_TRUE(e2e::IsFailure(result.dialogs[0].text, "サーバーがファイルの受け取りを拒否しました。", "553 not allowed"));
    EXPECT_THAT(ftp.lines().at(5), testing::StartsWith("PORT 127,0,0,1,"));  // after the refused PASV
    EXPECT_THAT(requests.text(), IsEmpty());
}

// The failures that are neither a refusal nor a stall, each with the line that says what failed.
TEST_F(Send, EachFailureSaysWhatFailed) {
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    const auto file = MakeFile(name, 1000);
    const e2e::Settings taro{"Taro", "taro", 0};
    const std::uint16_t nginx = bed().nginx.port;

    // A host name no lookup can find (a label longer than any), without asking any name server.
    const RunResult unknownHost =
        ProgramRun(taro, {bed().vsftpd.port, nginx, {{"MILTE_UPLOAD_HOST", std::string(64, 'a') + ".invalid"}}}, file)
            .Finish();
    ASSERT_EQ(unknownHost.dialogs.size(), 1u) << unknownHost.errorOutput;
    EXPECT_TRUE(e2e::IsFailure(unknownHost.dialogs[0].text, "サーバーが見つかりませんでした。", ".invalid"));

    testsupport::ScriptServer refusing;
    refusing.Accept().SendLine("220 scripted").ExpectLine("USER zdq").SendLine("331 password")
        .ExpectLine("PASS Qm7tR2xw").SendLine("530 Login incorrect.").ExpectLine("QUIT").SendLine("221 bye")
        .WaitForPeerClose();
    refusing.Start();
    const RunResult refused = ProgramRun(taro, {refusing.port(), nginx}, file).Finish();
    EXPECT_THAT(refusing.Finish(), IsEmpty());
    ASSERT_EQ(refused.dialogs.size(), 1u) << refused.errorOutput;
    EXPECT_TRUE(e2e::IsFailure(refused.dialogs[0].text, "サーバーへのログインが拒否されました。", "530 Login incorrect."));

    // The file goes away while the program logs in.
    const std::string goneName = testsupport::UniqueName("gone", ".jpg");
    const auto gone = MakeFile(goneName, 1000);
    testsupport::ScriptServer deleting;
    deleting.Accept().SendLine("220 scripted").ExpectLine("USER zdq").SendLine("331 password")
        .ExpectLine("PASS Qm7tR2xw").SendLine("230 in").ExpectLine("TYPE I").SendLine("200 binary")
        .ExpectLine("CWD ./").Run([gone](testsupport::Connection&) { std::filesystem::remove(gone); })
        .SendLine("250 here").WaitForPeerClose();
    deleting.Start();
    const RunResult unreadable = ProgramRun(taro, {deleting.port(), nginx}, gone).Finish();
    EXPECT_THAT(deleting.Finish(), IsEmpty());
    ASSERT_EQ(unreadable.dialogs.size(), 1u) << unreadable.errorOutput;
    EXPECT_TRUE(e2e::IsFailure(unreadable.dialogs[0].text, "移動や削除をされていないか、確認してください。", "",
                               "ファイル「" + goneName + "」を読み込めませんでした。"));
    EXPECT_EQ(deleting.lines().size(), 4u);  // not a word of the transfer reached the server

    const RunResult badPort = ProgramRun(taro, {0, nginx, {{"MILTE_FTP_PORT", "2l"}}}, file).Finish();
    ASSERT_EQ(badPort.dialogs.size(), 1u) << badPort.errorOutput;
    EXPECT_TRUE(e2e::IsFailure(badPort.dialogs[0].text, "環境変数の値を確認してください。", "MILTE_FTP_PORT",
                               "送信先のポート番号の設定が正しくありません。"));
}

TEST_F(Send, ANotificationServerThatIsDownFollowsTheSuccessWithTheFailure) {
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    const auto file = MakeFile(name, 5000);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {bed().vsftpd.port, e2e::ClosedPort()}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 2u);
    EXPECT_EQ(result.dialogs[0].text, e2e::SuccessText("taro@" + CarrierDomain, name));
    EXPECT_TRUE(e2e::IsFailure(result.dialogs[1].text, "リンク付きメールの送信依頼に失敗しました。", "Connection Failed"));
    EXPECT_TRUE(StoredUnchanged(name, file));  // nothing is undone
}

// A scripted notification script that takes the request for name and answers with response;
// the test adds the rest of the answer.
testsupport::ScriptServer& TakeNotification(testsupport::ScriptServer& http, const std::string& name,
                                            const std::string& response) {
    return http.Accept()
        .ExpectLine("POST /ftp.php?file=" + name + "&name=Taro&mail=taro@" + CarrierDomain + " HTTP/1.0")
        .Run([](testsupport::Connection& connection) {
            while (!connection.ReadLine().empty()) {
            }
        })
        .Send(response);
}

TEST_F(Send, ANotificationAnsweredWithAnErrorStatusIsAFailure) {
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    const auto file = MakeFile(name, 5000);
    testsupport::ScriptServer http;
    TakeNotification(http, name, "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n").Close();
    http.Start();

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {bed().vsftpd.port, http.port()}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(http.Finish(), IsEmpty());
    ASSERT_EQ(result.dialogs.size(), 2u);
    EXPECT_EQ(result.dialogs[0].text, e2e::SuccessText("taro@" + CarrierDomain, name));
    EXPECT_TRUE(e2e::IsFailure(result.dialogs[1].text, "リンク付きメールの送信依頼に失敗しました。",
                               "HTTP/1.0 500 Internal Server Error"));
}

TEST_F(Send, ANotificationAnswerThatNeverEndsIsAFailure) {
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    const auto file = MakeFile(name, 5000);
    const std::size_t floodLimit = 256 << 20;
    testsupport::ScriptServer http;
    TakeNotification(http, name, "HTTP/1.0 200 OK\r\n\r\n").Flood(std::string(16384, 'b'), floodLimit).Close();
    http.Start();

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {bed().vsftpd.port, http.port()}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(http.Finish(), IsEmpty());
    ASSERT_EQ(result.dialogs.size(), 2u);
    EXPECT_TRUE(e2e::IsFailure(result.dialogs[1].text, "リンク付きメールの送信依頼に失敗しました。", "longer than"));
    EXPECT_LT(http.flooded(), floodLimit);  // the program hung up, rather than taking it all
}

}  // namespace
