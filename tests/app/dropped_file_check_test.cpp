#include "app/dropped_file_check.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/file_name_parts.h"
#include "platform/cp932.h"
#include "tests/support/temp_dir.h"

namespace {

using app::CheckDroppedFile;
using app::DropCheck;
using app::DroppedFile;

const std::string NotSupported = platform::Cp932("形式のファイルは非対応です。");
const std::string TooLarge = platform::Cp932("送信できるファイルは最大 5MB までです。");
const std::string Unsendable = platform::Cp932("ファイル名かフォルダ名に送信できない文字が含まれています。");

class DroppedFileCheck : public ::testing::Test {
protected:
    // A file of the given size (sparse), named in UTF-8; returns its path as argument 1.
    DroppedFile MakeFile(const std::string& utf8Name, std::uintmax_t size = 10) {
        std::filesystem::resize_file(folder_.Write(utf8Name, "x"), size);
        return Dropped(utf8Name);
    }
    // Whatever is (or is not) at this name, as argument 1.
    DroppedFile Dropped(const std::string& utf8Name) const {
        return app::DroppedFileFromPath(platform::FilePath(folder_.path() / utf8Name));
    }

    DropCheck Check(const DroppedFile& file, const std::string& destination = "user") {
        return CheckDroppedFile(file, destination, [this](const std::string& text) { messages_.push_back(text); });
    }

    testsupport::TempDir folder_;
    std::vector<std::string> messages_;
};

TEST_F(DroppedFileCheck, AcceptsTheListedExtensionsInExactlyLowerOrUpperCase) {
    for (const char* name :
         {"photo.JPG", "photo.jpg", "photo.jpeg", "figure.eps", "figure.EPS", "figure.neps", "scan.TIFF", "a.b.pdf"})
        EXPECT_EQ(Check(MakeFile(name)), DropCheck::Accepted) << name;
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DroppedFileCheck, RefusesOtherExtensionsNamingThem) {
    for (const char* name : {"photo.Jpg", "figure.Eps", "archive.tar.gz", "photo.jpg ", "README"})
        EXPECT_EQ(Check(MakeFile(name)), DropCheck::Refused) << name;
    EXPECT_EQ(messages_, (std::vector<std::string>{".Jpg" + NotSupported, ".Eps" + NotSupported,
                                                   ".gz" + NotSupported, ".jpg " + NotSupported, NotSupported}));
}

TEST_F(DroppedFileCheck, ADotInAFolderNameIsNoExtension) {
    std::filesystem::create_directory(folder_.path() / "dir.jpg");
    EXPECT_EQ(Check(MakeFile("dir.jpg/file")), DropCheck::Refused);
    EXPECT_EQ(messages_, std::vector<std::string>{NotSupported});
}

TEST_F(DroppedFileCheck, TheLimitIsFiveMillionBytesForAllButPicturesThatMayGoShrunk) {
    EXPECT_EQ(Check(MakeFile("exact.pdf", 5'000'000)), DropCheck::Accepted);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Check(MakeFile("over.pdf", 5'000'001)), DropCheck::Refused);
    EXPECT_EQ(Check(MakeFile("huge.psd", 3'000'000'000)), DropCheck::Refused);  // beyond 32 bits
    EXPECT_EQ(messages_, (std::vector<std::string>{TooLarge, TooLarge}));
    EXPECT_EQ(Check(MakeFile("over.png", 5'000'001)), DropCheck::Accepted);
    EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(DroppedFileCheck, BothReasonsAreToldInOrder) {
    EXPECT_EQ(Check(MakeFile("big.zip", 6'000'000)), DropCheck::Refused);
    EXPECT_EQ(messages_, (std::vector<std::string>{".zip" + NotSupported, TooLarge}));
}

TEST_F(DroppedFileCheck, IgnoresSilentlyWhatCannotBeSent) {
    EXPECT_EQ(Check(MakeFile("photo.jpg"), ""), DropCheck::Ignored);  // no destination set yet
    std::filesystem::create_directory(folder_.path() / "folder.jpg");
    EXPECT_EQ(Check(Dropped("folder.jpg")), DropCheck::Ignored);
    EXPECT_EQ(Check(Dropped("missing.jpg")), DropCheck::Ignored);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DroppedFileCheck, JapaneseNamesKeepNameAndExtension) {
    DroppedFile file = MakeFile("表示.jpg", 100);
    EXPECT_TRUE(file.fitsCp932);
    EXPECT_EQ(app::ExtractFileName(file.cp932Path), platform::Cp932("表示.jpg"));
    EXPECT_EQ(Check(file), DropCheck::Accepted);
}

TEST_F(DroppedFileCheck, NamesThatComeBackFromCp932AsAnotherNameAreStillFound) {
    // WAVE DASH, MINUS SIGN and DOUBLE VERTICAL LINE come back as their full-width cousins.
    for (const char* name : {"写真〜1.jpg", "a−b.png", "‖.pdf"}) {
        DroppedFile file = MakeFile(name, 100);
        EXPECT_TRUE(file.fitsCp932) << name;
        EXPECT_EQ(app::ExtractFileName(file.cp932Path), platform::Cp932(name));
        EXPECT_EQ(Check(file), DropCheck::Accepted) << name;
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DroppedFileCheck, RefusesNamesThatCannotTravel) {
    // A line feed would split the FTP command; an emoji has no CP932 form; a Windows server
    // would take "\\" and ":" for parts of a path.
    for (const char* name : {"two\nlines.jpg", "tab\there.jpg", "del\x7F.jpg", "..\\..\\evil.jpg", "c:evil.jpg"})
        EXPECT_EQ(Check(MakeFile(name)), DropCheck::Refused) << name;
    DroppedFile emoji = MakeFile("smile\xF0\x9F\x98\x80.jpg");
    EXPECT_FALSE(emoji.fitsCp932);
    EXPECT_EQ(Check(emoji), DropCheck::Refused);
    EXPECT_EQ(Check(emoji, ""), DropCheck::Ignored);
    EXPECT_EQ(messages_, std::vector<std::string>(6, Unsendable));
}

TEST(FileNameParts, SeparatorsInsideDoubleByteCharactersDoNotCount) {
    const std::string path = "C:\\dir\\" + platform::Cp932("表.jpg");  // 表 is 0x95 0x5C
    EXPECT_EQ(app::LastDelimiter("\\:", path), 6u);
    EXPECT_EQ(app::LastDelimiter("\\:.", "C:\\dir.jpg\\file"), 10u);
    EXPECT_EQ(app::LastDelimiter("\\:", "file"), std::string::npos);
    EXPECT_EQ(app::ExtractFileName("/tmp/a.b/c.d.png"), "c.d.png");
    EXPECT_EQ(app::ExtractFileExt("/tmp/a.b/c.d.png"), ".png");
    EXPECT_EQ(app::ExtractFileExt("/tmp/a.b/c"), "");
    EXPECT_EQ(app::DroppedFileFromPath(platform::FilePath()).cp932Path, "");
}

}  // namespace
