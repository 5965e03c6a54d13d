// The pieces of a send that need no server: the notification and link URLs, where the send
// goes, the progress window's contents, the watchdog that ends a send that has stopped making
// progress, and the log of the last sends.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>
#include <vector>
#include <string>

#include "app/build_constants.h"
#include "app/send_log.h"
#include "app/send_progress.h"
#include "app/send_server.h"
#include "app/send_watchdog.h"
#include "app/service_urls.h"
#include "platform/cp932.h"
#include "platform/file_lock.h"
#include "platform/message_queue.h"
#include "tests/app/test_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/testbed.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(NotifyUrl, PutsThePartsInOrderWithCp932BytesRaw) {
    EXPECT_EQ(app::NotifyUrl("milte.example.jp", "photo.jpg", "Taro", "taro.y", "docomo.ne.jp"),
              "http://milte.example.jp/ftp.php?file=photo.jpg&name=Taro&mail=taro.y@docomo.ne.jp");
    const std::string name = platform::Cp932("表示・ソフト");  // trail bytes 0x5C and 0x7C among them
    EXPECT_EQ(app::NotifyUrl("h:8080", platform::Cp932("写真.jpg"), name, "a", ""),
              "http://h:8080/ftp.php?file=" + platform::Cp932("写真.jpg") + "&name=" + name + "&mail=a@");
}

TEST(NotifyUrl, EncodesExactlyTheBytesAScriptWouldMisread) {
    EXPECT_EQ(app::QueryValue("a b#c%d&e+f"), "a%20b%23c%25d%26e%2Bf");
    EXPECT_EQ(app::QueryValue(std::string("\t\x01\x1F\x7F\0", 5)), "%09%01%1F%7F%00");
    EXPECT_EQ(app::QueryValue("!\"$'()*,-./:;<=>?@[\\]^_`{|}~"), "!\"$'()*,-./:;<=>?@[\\]^_`{|}~");
    EXPECT_EQ(app::NotifyUrl("h", "a&b.jpg", "x y", "m+n", "d#"),
              "http://h/ftp.php?file=a%26b.jpg&name=x%20y&mail=m%2Bn@d%23");
    // No CP932 trail byte lies in 0x20-0x2B: every double-byte character passes whole.
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail : {0x40, 0x5C, 0x7E, 0x80, 0xFC}) {
            const std::string character{static_cast<char>(lead), static_cast<char>(trail)};
            EXPECT_EQ(app::QueryValue(character), character);
        }
    }
}

TEST(InformationLinks, NameTheProgramByItsFileWithoutTheExtension) {
    EXPECT_EQ(app::ProgramBaseName("/usr/bin/milte-post"), "milte-post");
    EXPECT_EQ(app::ProgramBaseName("/opt/x.y/my.post.exe"), "my.post");  // only the last dot goes
    EXPECT_EQ(app::ProgramBaseName("/opt/x.y/renamed"), "renamed");
    EXPECT_EQ(app::InformationUrl(platform::Cp932("/opt/ミルテ表.bin")),
              std::string("http://") + app::InfoHost + "/info.php?pf=w&sn=" + platform::Cp932("ミルテ表"));
    EXPECT_EQ(app::ServiceSiteUrl(), std::string("http://") + app::UploadHost);
}

TEST(SendServer, IsTheServiceUnlessTheEnvironmentNamesAnother) {
    ScopedEnvironment environment;
    environment.Set("MILTE_UPLOAD_HOST", nullptr);
    environment.Set("MILTE_FTP_PORT", nullptr);
    environment.Set("MILTE_HTTP_PORT", nullptr);
    app::SendServer server = app::SendServerFromEnvironment();
    EXPECT_EQ(server.host, app::UploadHost);
    EXPECT_EQ(server.ftpPort, 21);
    EXPECT_EQ(server.httpPort, 80);

    environment.Set("MILTE_UPLOAD_HOST", "127.0.0.1");
    environment.Set("MILTE_FTP_PORT", "2121");
    environment.Set("MILTE_HTTP_PORT", "65535");
    server = app::SendServerFromEnvironment();
    EXPECT_EQ(server.host, "127.0.0.1");
    EXPECT_EQ(server.ftpPort, 2121);
    EXPECT_EQ(server.httpPort, 65535);
}

TEST(SendServer, AMistypedPortFailsTheSendRatherThanReachTheService) {
    ScopedEnvironment environment;
    for (const char* bad : {"", "0", "65536", "21a", "-1", "99999999999"}) {
        environment.Set("MILTE_FTP_PORT", bad);
        EXPECT_THROW(app::SendServerFromEnvironment(), std::exception) << bad;
    }
}

TEST(ProgressContents, TellTheStepAndTheBytesSentOfTheFileSize) {
    using app::SendStep;
    const std::string name = platform::Cp932("写真.jpg");
    EXPECT_EQ(app::ProgressContents(name, SendStep::Connecting, 0, 4'900'000),
              (app::ProgressWindowContents{name, platform::Cp932("接続しています…"), 0, platform::Cp932("0 / 4,900,000 バイト")}));
    EXPECT_EQ(app::ProgressContents(name, SendStep::Uploading, 1'225'000, 4'900'000),
              (app::ProgressWindowContents{name, platform::Cp932("送信しています…"), 250,
                                           platform::Cp932("1,225,000 / 4,900,000 バイト")}));
    EXPECT_EQ(app::ProgressContents(name, SendStep::Notifying, 999, 999).activity, platform::Cp932("通知しています…"));
    EXPECT_EQ(app::ProgressContents(name, SendStep::Notifying, 999, 999).barPosition, 1000);
    EXPECT_EQ(app::ProgressContents(name, SendStep::Uploading, 0, 0).bytes, platform::Cp932("0 / 0 バイト"));
    // A file that grew while it was sent does not push the bar past its end.
    EXPECT_EQ(app::ProgressContents(name, SendStep::Uploading, 5'000'001, 4'900'000).barPosition, 1000);
}

// Passes over the message queue, as a waiting component does, for the given time.
void PumpFor(std::chrono::milliseconds duration) {
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        platform::WaitMessage(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
        platform::ProcessMessages();
    }
}

TEST(SendWatchdog, CallsOnStallOnlyAfterTheLimitWithoutProgress) {
    int stalls = 0;
    app::SendWatchdog watchdog(150ms, [&] { ++stalls; });
    watchdog.Start();
    for (int i = 0; i < 8; ++i) {  // 400 ms, with progress every 50 ms
        PumpFor(50ms);
        watchdog.Feed();
    }
    EXPECT_EQ(stalls, 0);
    EXPECT_FALSE(watchdog.Expired());

    const auto lastProgress = Clock::now();
    platform::PumpUntil([&] { return stalls > 0; });
    EXPECT_GE(Clock::now() - lastProgress, 150ms);
    EXPECT_TRUE(watchdog.Expired());
}

TEST(SendWatchdog, KeepsCancellingAfterExpiryUntilStoppedOrStartedAfresh) {
    int stalls = 0;
    app::SendWatchdog watchdog(50ms, [&] { ++stalls; });
    watchdog.Start();
    platform::PumpUntil([&] { return stalls > 0; });
    // A wait that follows the cancelled one (a good-bye to the silent server) is cancelled too.
    platform::PumpUntil([&] { return stalls >= 3; });
    watchdog.Stop();
    const int stopped = stalls;
    PumpFor(200ms);
    EXPECT_EQ(stalls, stopped);

    watchdog.Start();
    EXPECT_FALSE(watchdog.Expired());
    PumpFor(20ms);
    EXPECT_EQ(stalls, stopped);  // the full limit again, not the short re-cancel interval
}

TEST(SendWatchdog, StoppedWhileTheUserReadsAMessage) {
    int stalls = 0;
    app::SendWatchdog watchdog(50ms, [&] { ++stalls; });
    watchdog.Start();
    watchdog.Stop();
    watchdog.Feed();  // progress reported while stopped does not start it again
    PumpFor(200ms);
    EXPECT_EQ(stalls, 0);
    EXPECT_FALSE(watchdog.Running());
}

// A thousand sends later the log holds the newest of them, each whole, within its bound.
TEST(SendLog, KeepsTheNewestSendsWholeWithinItsBound) {
    testsupport::TempDir folder;
    const platform::FilePath file(folder.path() / "state" / "send.log");
    for (int send = 0; send < 1000; ++send) {
        app::SendLog log(file);
        log.Begin("send " + std::to_string(send));
        for (int line = 0; line < 30 + send % 20; ++line)
            log.Add("ftp", "line " + std::to_string(line) + " of send " + std::to_string(send) + std::string(40, '.'));
        log.Add("send", "end of send " + std::to_string(send));
        ASSERT_TRUE(log.Write());
    }
    const std::string text = testsupport::ReadFileBytes(file.Native());
    EXPECT_LE(text.size(), app::SendLog::MaxFileSize);
    EXPECT_GT(text.size(), app::SendLog::MaxFileSize - 4096);  // no more dropped than one send's room
    const auto entries = app::SendLogEntries(text);
    ASSERT_GT(entries.size(), 50u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int send = 1000 - static_cast<int>(entries.size() - i);
        EXPECT_EQ(entries[i].rfind("==== ", 0), 0u);
        EXPECT_NE(entries[i].find(" send " + std::to_string(send) + "\n"), std::string::npos);
        EXPECT_TRUE(entries[i].ends_with(" send: end of send " + std::to_string(send) + "\n")) << entries[i];
    }
}

TEST(SendLog, CutsOffAFloodOfLinesAndNeverFailsASend) {
    testsupport::TempDir folder;
    app::SendLog log(platform::FilePath(folder.path() / "send.log"));
    log.Begin("flood");
    for (int line = 0; line < 5000; ++line) log.Add("ftp", "220-" + std::string(2000, 'x'));
    ASSERT_TRUE(log.Write());
    const std::string text = testsupport::ReadFileBytes(folder.path() / "send.log");
    EXPECT_LE(text.size(), app::SendLog::MaxEntrySize + 100);
    EXPECT_THAT(text, testing::ContainsRegex("log: [0-9]+ more lines left out\n$"));

    // A log that cannot be written: its folder is a file.
    folder.Write("taken", "a file");
    app::SendLog blocked(platform::FilePath(folder.path() / "taken" / "send.log"));
    blocked.Begin("blocked");
    blocked.Add("ftp", "220 ready");
    EXPECT_FALSE(blocked.Write());
    EXPECT_FALSE(app::SendLog(platform::FilePath{}).Write());
}

// Two copies of the program that end their sends together: each entry lands, whole. The log and
// its folder are the user's alone, and a reply line cannot put control characters into it.
TEST(SendLog, TwoWritersAtOnceLoseNoEntryInAFileOfTheUsersAlone) {
    testsupport::TempDir folder;
    const platform::FilePath file(folder.path() / "state" / "send.log");
    constexpr int WritesEach = 40;
    std::vector<std::vector<app::SendLog>> writers(2);
    for (int writer = 0; writer < 2; ++writer)
        for (int send = 0; send < WritesEach; ++send) {
            app::SendLog& log = writers[writer].emplace_back(file);
            log.Begin("writer " + std::to_string(writer) + " send " + std::to_string(send));
            log.Add("ftp", "226 \x1b[2J stored\t" + std::string(1, '\0') + "\x7f");
        }
    std::vector<std::thread> threads;
    std::atomic<int> failed{0};
    for (auto& logs : writers)
        threads.emplace_back([&logs, &failed] {
            for (app::SendLog& log : logs)
                if (!log.Write()) ++failed;
        });
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(failed, 0);
    const std::string text = testsupport::ReadFileBytes(file.Native());
    EXPECT_EQ(app::SendLogEntries(text).size(), 2u * WritesEach);
    for (int writer = 0; writer < 2; ++writer)
        for (int send = 0; send < WritesEach; ++send)
            EXPECT_NE(text.find(" writer " + std::to_string(writer) + " send " + std::to_string(send) + "\n"),
                      std::string::npos);
    EXPECT_THAT(text, testing::HasSubstr(" ftp: 226 \\x1B[2J stored\t\\x00\\x7F\n"));
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(file.Native()).permissions() & perms::all, perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(file.Native().parent_path()).permissions() & perms::all, perms::owner_all);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.Native().parent_path()), {}), 2)
        << "the log and its lock file, no temporary file left";
}

// A write that cannot have the lock within its patience is skipped, and the log stays as it was.
TEST(SendLog, AWriteThatCannotHaveTheLockIsSkipped) {
    testsupport::TempDir folder;
    app::SendLog log(platform::FilePath(folder.path() / "send.log"));
    const auto held = platform::FileLock::Take(log.LockFile(), 0ms);
    ASSERT_NE(held, nullptr);
    log.Begin("waits");
    log.Add("send", "sent");
    EXPECT_FALSE(log.Write());
    EXPECT_FALSE(std::filesystem::exists(log.File().Native()));
}

}  // namespace
