// Sends of a dropped file by the real program, seen from the servers' side: the file vsftpd
// stored, the FTP dialogue in its log, the notification nginx received, and the dialogs the
// user had to answer.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <map>
#include <random>
#include <thread>

#include "platform/cp932.h"
#include "tests/e2e/program_run.h"
#include "tests/e2e/scripted_ftp.h"
#include "tests/support/testbed.h"

namespace {

using namespace std::chrono_literals;
using e2e::Dialog;
using e2e::ProgramRun;
using e2e::RunResult;
using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::FtpServerKind;
using testsupport::LogTail;

using e2e::CarrierDomain;

std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

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
    EXPECT_THAT(commands[4], testing::StartsWith("PORT 127,0,0,1,"));
    EXPECT_EQ(commands[5], "STOR " + name);  // and no QUIT: the session is left open

    const auto records = testsupport::WaitForNginxRequests(requests, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].requestLine, "POST /ftp.php?file=" + name + "&name=Taro&mail=taro.y@" + CarrierDomain + " HTTP/1.0");
    EXPECT_EQ(records[0].body, "");
    EXPECT_EQ(records[0].status, "200");
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

TEST_F(Send, AnEmptyNameAndNoCarrierLeaveTheirPlacesEmpty) {
    const std::string name = testsupport::UniqueName("doc", ".pdf");
    const auto file = MakeFile(name, 1000);
    LogTail requests(bed().nginx.requestLineLog);

    const RunResult result = ProgramRun({"", "solo", -1}, Bed(), file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("solo@", name)));
    ASSERT_TRUE(requests.WaitFor("HTTP/1.0"));
    EXPECT_EQ(requests.text(), "POST /ftp.php?file=" + name + "&name=&mail=solo@ HTTP/1.0\n");
}

TEST_F(Send, AnUploadServerThatIsDownGivesTheFailureMessageOnly) {
    const auto file = MakeFile(testsupport::UniqueName("photo", ".png"), 1000);
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {e2e::ClosedPort(), bed().nginx.port}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(Texts(result), ElementsAre(e2e::FailureText));
    std::this_thread::sleep_for(300ms);
    EXPECT_THAT(requests.text(), IsEmpty());
}

TEST_F(Send, ARefusedStorGivesTheFailureMessageAndNoNotification) {
    const std::string name = testsupport::UniqueName("photo", ".gif");
    const auto file = MakeFile(name, 1000);
    testsupport::ScriptServer ftp;
    e2e::ScriptLogIn(ftp).ExpectLine().SendLine("200 port").ExpectLine("STOR " + name).SendLine("553 not allowed")
        .WaitForPeerClose();
    ftp.Start();
    LogTail requests(bed().nginx.requestLog);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {ftp.port(), bed().nginx.port}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(ftp.Finish(), IsEmpty());
    EXPECT_THAT(Texts(result), ElementsAre(e2e::FailureText));
    EXPECT_THAT(requests.text(), IsEmpty());
}

TEST_F(Send, ANotificationServerThatIsDownFollowsTheSuccessWithTheFailure) {
    const std::string name = testsupport::UniqueName("photo", ".jpg");
    const auto file = MakeFile(name, 5000);

    const RunResult result = ProgramRun({"Taro", "taro", 0}, {bed().vsftpd.port, e2e::ClosedPort()}, file).Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + CarrierDomain, name), e2e::FailureText));
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
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + CarrierDomain, name), e2e::FailureText));
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
    EXPECT_THAT(Texts(result), ElementsAre(e2e::SuccessText("taro@" + CarrierDomain, name), e2e::FailureText));
    EXPECT_LT(http.flooded(), floodLimit);  // the program hung up, rather than taking it all
}

}  // namespace
