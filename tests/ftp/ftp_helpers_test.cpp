// The pure pieces of the FTP client: command classification, reply codes, the passive port, the
// name part of a path, and the refusal of lines that would break the control dialogue.

#include <gtest/gtest.h>

#include "net/ftp/nmftp.h"
#include "platform/cp932.h"

namespace nmftp {
namespace {

TEST(FtpClassify, FirstWordDecidesCaseSensitively) {
    EXPECT_EQ(ClassifyCommand("CWD ./"), cmdChangeDir);
    EXPECT_EQ(ClassifyCommand("CWD"), cmdChangeDir);
    EXPECT_EQ(ClassifyCommand("MKD a"), cmdMakeDir);
    EXPECT_EQ(ClassifyCommand("DELE a"), cmdDelete);
    EXPECT_EQ(ClassifyCommand("RMD a"), cmdRemoveDir);
    EXPECT_EQ(ClassifyCommand("cwd ./"), cmdDoCommand);
    EXPECT_EQ(ClassifyCommand("CWDX a"), cmdDoCommand);
    EXPECT_EQ(ClassifyCommand("PWD"), cmdPrintDir);
    EXPECT_EQ(ClassifyCommand("PWD "), cmdDoCommand);
    EXPECT_EQ(ClassifyCommand("TYPE I"), cmdDoCommand);
    EXPECT_EQ(static_cast<int>(cmdUpload), 9);
}

TEST(FtpReplyCode, LeadingDigitsOnly) {
    EXPECT_EQ(ReplyCode("220 ready\r\n"), 220);
    EXPECT_EQ(ReplyCode("331-more\r\n"), 331);
    EXPECT_EQ(ReplyCode("hello 220\r\n"), 0);
    EXPECT_EQ(ReplyCode(""), 0);
    EXPECT_EQ(ReplyCode("99999999999 eleven digits, ten read\r\n"), 0);  // above 32 bits
    EXPECT_THROW(ReplyCode("40000 too big\r\n"), platform::ERangeError);
}

TEST(FtpPassivePort, TakesTheLastTwoNumbers) {
    EXPECT_EQ(PassivePort("227 Entering Passive Mode (127,0,0,1,19,137).\r\n"), 5001);
    EXPECT_EQ(PassivePort("227 =(10,9,8,7, 4, 1)\r\n"), 1025);
    EXPECT_THROW(PassivePort("227 Entering Passive Mode 127,0,0,1,19,137\r\n"), platform::Exception);
    EXPECT_THROW(PassivePort("227 (127,0,0,1,x,137)\r\n"), platform::Exception);
    EXPECT_EQ(PassivePort("227 (0,0,0,0,255,255)\r\n"), 65535);
    // Each number must fit a byte: bigger ones overflowed or wrapped to another port.
    for (const char* numbers : {"8388608,1", "999,999", "1,256", "-1,5"}) {
        SCOPED_TRACE(numbers);
        EXPECT_THROW(PassivePort(std::string("227 (127,0,0,1,") + numbers + ")\r\n"), platform::ERangeError);
    }
}

TEST(FtpExtendedPassivePort, TakesThePortBetweenTheDelimiters) {
    EXPECT_EQ(ExtendedPassivePort("229 Entering Extended Passive Mode (|||6446|)\r\n"), 6446);
    EXPECT_EQ(ExtendedPassivePort("229 (!!!65535!)"), 65535);  // any printable delimiter
    for (const char* reply : {"229 Entering Extended Passive Mode |||6446|", "229 (|||6446|", "229 (||6446|)",
                              "229 (|1|::1|6446|)", "229 (|||x|)", "229 (|||+21|)", "229 (|||)", "229 (   21 )"}) {
        EXPECT_THROW(ExtendedPassivePort(reply), platform::EConvertError) << reply;
    }
    for (const char* reply : {"229 (|||0|)", "229 (|||65536|)", "229 (|||99999999999|)"}) {
        EXPECT_THROW(ExtendedPassivePort(reply), platform::ERangeError) << reply;
    }
}

TEST(FtpFileNamePart, LastSeparatorRespectingDoubleByteCharacters) {
    EXPECT_EQ(FileNamePart("C:\\data\\photo.jpg"), "photo.jpg");
    EXPECT_EQ(FileNamePart("C:photo.jpg"), "photo.jpg");
    EXPECT_EQ(FileNamePart("/tmp/x/photo.jpg"), "photo.jpg");
    EXPECT_EQ(FileNamePart("photo.jpg"), "photo.jpg");
    // The second byte of "表" is "\": it does not split the name.
    const std::string table = platform::Cp932("表.jpg");
    ASSERT_EQ(table.substr(0, 2), "\x95\x5c");
    EXPECT_EQ(FileNamePart("C:\\" + table), table);
    EXPECT_EQ(FileNamePart("/tmp/" + platform::Cp932("ソ表") + ".png"), platform::Cp932("ソ表") + ".png");
}

TEST(FtpCommandLine, LineBreaksAndNulAreRefused) {
    EXPECT_NO_THROW(CheckCommandLine("STOR a b.jpg"));
    EXPECT_THROW(CheckCommandLine("STOR a\r\nDELE b"), platform::Exception);
    EXPECT_THROW(CheckCommandLine("STOR a\nDELE b"), platform::Exception);
    EXPECT_THROW(CheckCommandLine("STOR a\r"), platform::Exception);
    EXPECT_THROW(CheckCommandLine(std::string("STOR a\0b", 8)), platform::Exception);
}

}  // namespace
}  // namespace nmftp
