// Uploads to the real servers of the test bed, vsftpd (on 127.0.0.1 and on ::1) and pyftpdlib, in
// active and passive mode: every file arrives byte for byte, and a Japanese name is stored as its
// CP932 bytes.

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "tests/ftp/ftp_test_util.h"
#include "tests/support/testbed.h"

namespace {

using ftptest::EventLog;
using ftptest::Pattern;
using nmftp::TNMFTP;
using testsupport::FtpServer;
using testsupport::FtpServerKind;

struct BedCase {
    FtpServerKind kind;
    bool passive;
    bool ipv6 = false;
};

std::string Describe(const BedCase& c) {
    return std::string(c.kind == FtpServerKind::Vsftpd ? "Vsftpd" : "Pyftpdlib") + (c.ipv6 ? "IPv6" : "") +
           (c.passive ? "Passive" : "Active");
}
std::string CaseName(const testing::TestParamInfo<BedCase>& info) { return Describe(info.param); }
[[maybe_unused]] void PrintTo(const BedCase& c, std::ostream* out) { *out << Describe(c); }

// A client logged in to the case's server, in the case's mode, in its "upload" folder.
class FtpUploadTestbed : public testsupport::TestbedTest, public testing::WithParamInterface<BedCase> {
protected:
    void SetUp() override {
        TestbedTest::SetUp();
        if (HasFatalFailure()) return;
        log.Attach(ftp);
        ftp.Host = server().host;
        ftp.Port = server().port;
        ftp.UserID = server().user;
        ftp.Password = server().password;
        ftp.Passive = GetParam().passive;
        ftp.Connect();
        ftp.Mode(2);
        ftp.ChangeDir("upload");
    }
    const FtpServer& server() const {
        if (GetParam().ipv6) return bed().vsftpd6;
        return GetParam().kind == FtpServerKind::Vsftpd ? bed().vsftpd : bed().pyftpdlib;
    }
    std::string StoredAs(const std::filesystem::path& remote) const {
        return testsupport::ReadFileBytes(server().root / "upload" / remote);
    }

    testsupport::TempDir dir;
    EventLog log;
    TNMFTP ftp;  // destroyed first: its handlers write to log
};

TEST_P(FtpUploadTestbed, FilesArriveByteForByte) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{150'000}, std::size_t{5'000'000}}) {
        SCOPED_TRACE(size);
        const std::string content = Pattern(size);
        const std::string remote = testsupport::UniqueName("upload", ".bin");
        const std::string local = dir.Write("local.bin", content).string();
        log.events.clear();
        ftp.Upload(local, remote);
        EXPECT_EQ(log.Count("success:9"), 1u);
        EXPECT_FALSE(log.Has("failure:9"));
        EXPECT_EQ(log.bytesSent, static_cast<std::int64_t>(size));
        const std::string stored = StoredAs(remote);
        EXPECT_EQ(stored.size(), size);
        EXPECT_TRUE(stored == content) << "the stored bytes differ";
    }
}

TEST_P(FtpUploadTestbed, JapaneseNameIsStoredAsCp932) {
    // "表" and "ソ" end in the byte of "\": the name part must survive them.
    const std::string utf8Name = testsupport::UniqueName("ソフト表の写真", ".jpg");
    const std::string content = Pattern(30'000);
    const std::filesystem::path onDisk = dir.Write(utf8Name, content);
    const auto local = platform::Utf8ToCp932(onDisk.string());
    const auto cp932Name = platform::Utf8ToCp932(utf8Name);
    ASSERT_TRUE(local && cp932Name);
    ftp.Upload(*local, "");  // the name part of the local path
    EXPECT_EQ(log.Count("success:9"), 1u);
    EXPECT_TRUE(log.Has("status:STOR " + *local));
    EXPECT_TRUE(StoredAs(std::filesystem::path(*cp932Name)) == content)
        << "no file under the CP932 name, or other bytes";
}

class FtpUploadTestbedIPv6 : public testsupport::TestbedTest {
protected:
    void SetUp() override {
        TestbedTest::SetUp();
        if (HasFatalFailure()) return;
        ftp.Host = bed().vsftpd6.host;
        ftp.Port = bed().vsftpd6.port;
        ftp.UserID = bed().vsftpd6.user;
        ftp.Password = bed().vsftpd6.password;
        ftp.Connect();
        ftp.Mode(2);
    }
    testsupport::TempDir dir;
    TNMFTP ftp;
};

INSTANTIATE_TEST_SUITE_P(Servers, FtpUploadTestbed,
                         testing::Values(BedCase{FtpServerKind::Vsftpd, false}, BedCase{FtpServerKind::Vsftpd, true},
                                         BedCase{FtpServerKind::Pyftpdlib, false},
                                         BedCase{FtpServerKind::Pyftpdlib, true},
                                         BedCase{FtpServerKind::Vsftpd, false, true},
                                         BedCase{FtpServerKind::Vsftpd, true, true}),
                         CaseName);

// On an IPv6 control connection the data port goes by "EPSV" and "EPRT": "PASV" and "PORT" have
// no IPv6 form.
TEST_F(FtpUploadTestbedIPv6, UsesTheExtendedCommands) {
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string remote = testsupport::UniqueName("v6", ".bin");
        const std::string local = dir.Write("local.bin", Pattern(10'000)).string();
        testsupport::LogTail dialogue(bed().vsftpd6.log);
        ftp.Passive = passive;
        ftp.Upload(local, remote);
        const auto commands = testsupport::FtpCommands(FtpServerKind::Vsftpd, dialogue.text());
        ASSERT_EQ(commands.size(), 2u) << dialogue.text();
        if (passive) EXPECT_EQ(commands[0], "EPSV");
        else EXPECT_TRUE(commands[0].starts_with("EPRT |2|::1|") && commands[0].ends_with("|")) << commands[0];
        EXPECT_EQ(commands[1], "STOR " + remote);
        EXPECT_EQ(testsupport::ReadFileBytes(bed().vsftpd6.root / remote), Pattern(10'000));
    }
}

}  // namespace
