// Servers that stop answering or stop reading: the send gives up after its 30 s without progress
// and tells the user, instead of waiting invisibly for ever; a notification answer dripped too
// slowly to end meets the notification's own 30 s. The five cases wait side by side, started a
// few seconds apart so that no two of their messages come up at the same moment: the keys that
// answer a message go to the window that came up last, which would then be the wrong one.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/program_run.h"
#include "tests/e2e/scripted_ftp.h"
#include "tests/support/testbed.h"

namespace {

using namespace std::chrono_literals;
using e2e::ProgramRun;
using e2e::RunResult;
using testsupport::Connection;
using testsupport::ScriptServer;

constexpr auto StallLimit = 30s;
// Longer than the program's bound and the starts after it, so only the program can end these
// dialogues.
constexpr testsupport::Milliseconds ServerPatience{120'000};
// Between one run's start and the next: messages of different runs come at least this far apart.
constexpr auto StartInterval = 5s;

// The data connection of an upload, opened with a receive buffer so small that a
// server that never reads it holds the client's data back almost at once.
struct StalledDataConnection {
    static constexpr int ReceiveBuffer = 4096;

    int socket = -1;
    std::atomic<long long> received{-1};

    // After the client has given up: what it had sent in all.
    void DrainAndClose() {
        timeval patience{10, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        char buffer[65536];
        long long total = 0;
        for (ssize_t got; (got = ::recv(socket, buffer, sizeof buffer, 0)) > 0;) total += got;
        received = total;
        ::close(socket);
    }
};

// The last dialog is the failure message, shown the send's bound after from (give or take).
::testing::AssertionResult FailureAfterTheBound(const RunResult& result, e2e::Clock::time_point from) {
    if (result.dialogs.empty() || !e2e::IsFailure(result.dialogs.back().text, "サーバーからの応答が途絶えました。"))
        return ::testing::AssertionFailure() << "the failure message never came";
    const auto after = std::chrono::duration_cast<std::chrono::seconds>(result.dialogs.back().shown - from);
    if (after >= StallLimit - 1s && after < StallLimit + 15s) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the failure message came after " << after.count() << " s";
}

class SendStall : public testsupport::TestbedTest {};

TEST_F(SendStall, EveryWaitWithoutProgressEndsInTheFailureMessageAfterTheBound) {
    testsupport::TempDir folder;
    const auto makeFile = [&](const std::string& name, std::size_t size) { return folder.Write(name, std::string(size, 'x')); };

    // A server that accepts and never greets.
    ScriptServer silent(ServerPatience);
    silent.Accept().WaitForPeerClose();
    silent.Start();

    // A server that never answers the STOR, in active mode.
    const std::string quietName = testsupport::UniqueName("quiet", ".jpg");
    ScriptServer quiet(ServerPatience);
    e2e::RefusePassive(e2e::ScriptLogIn(quiet)).ExpectLine().SendLine("200 port").ExpectLine("STOR " + quietName)
        .WaitForPeerClose();
    quiet.Start();

    // A server that stops reading the data connection of a passive upload; the file is close to
    // the size limit, far more than the socket buffers hold.
    const std::string stuckName = testsupport::UniqueName("stuck", ".jpg");
    const std::size_t stuckSize = 4'900'000;
    auto data = std::make_shared<StalledDataConnection>();
    ScriptServer stuck(ServerPatience);
    e2e::ScriptLogIn(stuck)
        .Run([data, stuckName](Connection& control) {
            data->socket = e2e::OpenPassiveDataConnection(control, stuckName, StalledDataConnection::ReceiveBuffer);
        })
        .WaitForPeerClose()
        .Run([data](Connection&) { data->DrainAndClose(); });
    stuck.Start();

    // A notification script that never answers, and one that drips its answer a byte at a time,
    // too often to stall; the uploads go to vsftpd.
    const std::string unheardName = testsupport::UniqueName("unheard", ".jpg");
    ScriptServer script(ServerPatience);
    script.Accept().ExpectLine().WaitForPeerClose();
    script.Start();
    const std::string drippedName = testsupport::UniqueName("dripped", ".jpg");
    ScriptServer drip(ServerPatience);
    drip.Accept().ExpectLine().Send("HTTP/1.0 200 OK\r\n\r\n").Flood("x", 40, 2s).Close();
    drip.Start();

    // Each run is answered from its start on; the runs whose send fails outright go first, the
    // notification cases, with a success message early on, after them.
    const e2e::Settings settings{"Taro", "taro", 0};
    std::vector<std::unique_ptr<ProgramRun>> runs;
    const auto start = [&](e2e::Servers servers, const std::filesystem::path& file) {
        if (!runs.empty()) std::this_thread::sleep_for(StartInterval);
        runs.push_back(std::make_unique<ProgramRun>(settings, servers, file));
        return std::async(std::launch::async, [&run = *runs.back()] { return run.Finish({}, 90s); });
    };
    const std::uint16_t nginx = bed().nginx.port;
    auto silentResult = start({silent.port(), nginx}, makeFile("silent.jpg", 1000));
    auto quietResult = start({quiet.port(), nginx}, makeFile(quietName, 1000));
    auto stuckResult = start({stuck.port(), nginx}, makeFile(stuckName, stuckSize));
    auto unheardResult = start({bed().vsftpd.port, script.port()}, makeFile(unheardName, 1000));
    auto drippedResult = start({bed().vsftpd.port, drip.port()}, makeFile(drippedName, 1000));

    for (auto* future : {&silentResult, &quietResult, &stuckResult}) {
        const RunResult result = future->get();
        ASSERT_TRUE(result.ended) << result.errorOutput;
        EXPECT_EQ(result.dialogs.size(), 1u);
        EXPECT_TRUE(FailureAfterTheBound(result, result.started)) << result.errorOutput;
    }
    for (auto [future, name] : {std::pair{&unheardResult, unheardName}, std::pair{&drippedResult, drippedName}}) {
        const RunResult result = future->get();
        ASSERT_TRUE(result.ended) << result.errorOutput;
        ASSERT_EQ(result.dialogs.size(), 2u);
        EXPECT_EQ(result.dialogs[0].text, e2e::SuccessText("taro@" + e2e::CarrierDomain, name));
        EXPECT_TRUE(FailureAfterTheBound(result, result.dialogs[0].shown));  // counted from the dismissal
    }

    for (ScriptServer* server : {&silent, &quiet, &stuck, &script, &drip}) EXPECT_THAT(server->Finish(), testing::IsEmpty());
    EXPECT_LT(drip.flooded(), 40u);  // the program hung up before the answer was over
    // The client was held in the middle of the data, not waiting for a reply after it.
    EXPECT_GE(data->received.load(), 0);
    EXPECT_LT(data->received.load(), static_cast<long long>(stuckSize));
    EXPECT_EQ(script.lines().at(0).rfind("POST /ftp.php?file=" + unheardName, 0), 0u);
}

}  // namespace
