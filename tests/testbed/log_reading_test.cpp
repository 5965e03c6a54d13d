// Reading the servers' logs: the formats start.sh configures, fed as text.

#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/testbed.h"

namespace testsupport {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ParseNginxRequests, UndoesNginxJsonEscapingAndKeepsRawBytes) {
    // 表 is 95 5C in CP932: nginx writes its second byte escaped, as a backslash.
    const std::string log =
        R"({"status":"200","request_line":"POST /ftp.php?file=)" "\x95" R"(\\ HTTP/1.0",)"
        R"("head":"POST /ftp.php?file=)" "\x95" R"(\\ HTTP/1.0\r\nHost: x\r\n\r\n",)"
        R"("body":"q=\"a\\b\"\u0001\t\u001F)" "\x7F\xFF" R"("})" "\n"
        R"({"status":"400","request_line":"","head":"","body":""})" "\n"
        "not a record\n"
        R"({"status":"200","request_line":"GET / HTTP/1.1","head":"","body":""})";  // no LF yet

    const auto records = ParseNginxRequests(log);

    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].status, "200");
    EXPECT_EQ(records[0].requestLine, "POST /ftp.php?file=\x95\x5C HTTP/1.0");
    EXPECT_EQ(records[0].head, "POST /ftp.php?file=\x95\x5C HTTP/1.0\r\nHost: x\r\n\r\n");
    EXPECT_EQ(records[0].body, "q=\"a\\b\"\x01\t\x1F\x7F\xFF");
    EXPECT_EQ(records[1].status, "400");
}

TEST(FtpCommands, ReadsPyftpdlibsDialogueLog) {
    const std::string log =
        "* connect 127.0.0.1:40000\n< 220 ready.\n> USER zdq\n< 331 ok\n"
        "> STOR \x95\x5C.txt\n< 125 Data connection already open.\n< 226 done\n* disconnect\n";

    EXPECT_THAT(FtpCommands(FtpServerKind::Pyftpdlib, log),
                ElementsAre("USER zdq", "STOR \x95\x5C.txt"));
    EXPECT_THAT(FtpReplies(FtpServerKind::Pyftpdlib, log),
                ElementsAre("220 ready.", "331 ok", "125 Data connection already open.",
                            "226 done"));
}

TEST(FtpCommands, ReadsVsftpdsProtocolLog) {
    const std::string log =
        "Tue Dec  8 17:18:11 2026 [pid 6336] CONNECT: Client \"127.0.0.1\"\n"
        "Tue Dec  8 17:18:11 2026 [pid 6336] FTP response: Client \"127.0.0.1\", \"220 (vsFTPd 3.0.3)\"\n"
        "Tue Dec  8 17:18:11 2026 [pid 6336] FTP command: Client \"127.0.0.1\", \"USER zdq\"\n"
        "Tue Dec  8 17:18:11 2026 [pid 6335] [zdq] OK LOGIN: Client \"127.0.0.1\"\n"
        "Tue Dec  8 17:18:11 2026 [pid 6337] [zdq] FTP response: Client \"127.0.0.1\", \"257 \"/\" is the current directory\"\n"
        "Tue Dec  8 17:18:11 2026 [pid 6337] [zdq] FTP command: Client \"127.0.0.1\", \"STOR a, \"b\"\"\n";

    EXPECT_THAT(FtpCommands(FtpServerKind::Vsftpd, log), ElementsAre("USER zdq", "STOR a, \"b\""));
    EXPECT_THAT(FtpReplies(FtpServerKind::Vsftpd, log),
                ElementsAre("220 (vsFTPd 3.0.3)", "257 \"/\" is the current directory"));
}

TEST(LogTail, SeesOnlyWhatWasAppendedAfterIt) {
    TempDir dir;
    const auto file = dir.Write("log", "old line\n");
    LogTail tail(file);
    EXPECT_THAT(tail.text(), IsEmpty());

    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        out << "new line\n";
    }

    EXPECT_EQ(tail.text(), "new line\n");
    EXPECT_TRUE(tail.WaitFor("new"));
    EXPECT_FALSE(tail.WaitFor("old", std::chrono::milliseconds{50}));
}

TEST(UniqueName, NeverRepeats) {
    const std::string first = UniqueName("x", ".txt");
    const std::string second = UniqueName("x", ".txt");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(0, 2), "x-");
    EXPECT_EQ(first.substr(first.size() - 4), ".txt");
}

}  // namespace
}  // namespace testsupport
