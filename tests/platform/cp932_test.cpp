#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file_stream.h"
#include "platform/runtime.h"

namespace {

TEST(Cp932, ConvertsBothWaysWithTheBytesTheSystemUses) {
    EXPECT_EQ(platform::Cp932("表"), "\x95\x5C");
    EXPECT_EQ(platform::Cp932ToUtf8("\x95\x5C"), "表");
    EXPECT_EQ(platform::Utf8ToCp932("～"), std::optional<std::string>("\x81\x60"));
    EXPECT_EQ(platform::Utf8ToCp932("ミルテ・ポスト"), std::optional<std::string>(platform::Cp932("ミルテ・ポスト")));
    EXPECT_EQ(platform::Cp932ToUtf8(platform::Cp932("ミルテ・ポスト")), "ミルテ・ポスト");
}

TEST(Cp932, CharactersWithoutACp932FormAreRefusedOrReplaced) {
    EXPECT_EQ(platform::Utf8ToCp932("a😀b"), std::nullopt);
    EXPECT_EQ(platform::Cp932("a😀b"), "a?b");
    EXPECT_EQ(platform::Utf8ToCp932("\xFF"), std::nullopt);  // not UTF-8
    EXPECT_EQ(platform::Cp932ToUtf8("a\x81"), "a\xEF\xBF\xBD");
}

TEST(FileStream, ReadsAndCreatesFilesByCp932Name) {
    const auto dir = std::filesystem::temp_directory_path() / "milte-file-stream-test";
    std::filesystem::create_directories(dir);
    const std::string name = platform::Cp932((dir / u8"写真.jpg").string());
    {
        platform::FileStream out(name, platform::FileStream::Mode::Create);
        out.Write("hello", 5);
    }
    {
        platform::FileStream in(name, platform::FileStream::Mode::Read);
        char buffer[8];
        EXPECT_EQ(in.Size(), 5);
        EXPECT_EQ(in.Read(buffer, sizeof buffer), 5u);
        EXPECT_EQ(in.Position(), 5);
    }
    EXPECT_TRUE(std::filesystem::exists(dir / u8"写真.jpg"));
    try {
        platform::FileStream folder(platform::Cp932(dir.string()), platform::FileStream::Mode::Read);
        FAIL() << "a folder opened as a file";
    } catch (const platform::EFOpenError& error) {
        EXPECT_EQ(error.Message(), platform::Cp932("ファイル " + dir.string() + " は開けません"));
    }
    EXPECT_THROW(platform::FileStream(name + "/x", platform::FileStream::Mode::Create), platform::EFCreateError);
    std::filesystem::remove_all(dir);
}

TEST(FileStream, OpensAFileByItsOwnPathAndNamesItInCp932) {
    const auto dir = std::filesystem::temp_directory_path() / "milte-file-path-test";
    std::filesystem::create_directories(dir);
    const platform::FilePath wave(dir / "写真〜1.jpg");  // WAVE DASH: no round trip through glibc's CP932
    std::ofstream(wave.Native()) << "wave";
    EXPECT_EQ(wave.ToCp932(), platform::Cp932((dir / "写真〜1.jpg").string()));
    EXPECT_EQ(platform::FileStream(wave, platform::FileStream::Mode::Read).Size(), 4);

    const platform::FilePath emoji(dir / "a😀.jpg");
    EXPECT_EQ(emoji.ToCp932(), std::nullopt);
    try {
        platform::FileStream missing(emoji, platform::FileStream::Mode::Read);
        FAIL() << "a missing file opened";
    } catch (const platform::EFOpenError& error) {
        EXPECT_EQ(error.Message(), platform::Cp932("ファイル " + (dir / "a?.jpg").string() + " は開けません"));
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
