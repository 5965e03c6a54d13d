// What the send uploads for a file: the file itself within the limit, a picture over it shrunk
// into a temporary file that goes when the send is done with it, anything else refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <variant>

#include "app/shrink_for_send.h"
#include "platform/cp932.h"
#include "platform/picture_codec.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_pictures.h"
#include "tests/support/testbed.h"

namespace {

app::DroppedFile Dropped(const std::filesystem::path& path) { return app::DroppedFileFromPath(platform::FilePath(path)); }

// A stored PNG of noise: about 5.8 MB, over the limit.
std::string LargePng() {
    platform::Pixels pixels = platform::MakePixels(1600, 1200, 3);
    std::mt19937 random(5);
    for (auto& byte : pixels.bytes) byte = static_cast<std::uint8_t>(random() % 64 + 96);
    return testsupport::PngFile(pixels);
}

TEST(ShrinkForSend, APictureOverTheLimitGoesShrunkFromATemporaryFileThatGoesWithIt) {
    testsupport::TempDir dir;
    const std::string png = LargePng();
    ASSERT_GT(png.size(), 5'000'000u);
    const auto original = dir.Write("shot.png", png);
    std::filesystem::path temporary;
    {
        auto outcome = app::PrepareUpload(Dropped(original));
        ASSERT_TRUE(std::holds_alternative<app::FileToUpload>(outcome));
        const auto& upload = std::get<app::FileToUpload>(outcome);
        EXPECT_EQ(upload.cp932Name, "shot.jpg");
        temporary = upload.path.Native();
        EXPECT_NE(temporary, original);
        ASSERT_TRUE(std::filesystem::exists(temporary));
        EXPECT_LE(std::filesystem::file_size(temporary), 5'000'000u);
        platform::PictureDecoder decoder(upload.path);
        EXPECT_EQ(decoder.Header().width, 1600);
        EXPECT_NE(upload.logLine.find("shot.png: " + std::to_string(png.size()) + " bytes, 1600 x 1200 -> "),
                  std::string::npos)
            << upload.logLine;
    }
    EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_EQ(testsupport::ReadFileBytes(original), png);
}

TEST(ShrinkForSend, AFileWithinTheLimitGoesAsItIs) {
    testsupport::TempDir dir;
    const auto path = dir.Write("small.png", testsupport::PngFile(platform::MakePixels(8, 8, 3)));
    auto outcome = app::PrepareUpload(Dropped(path));
    ASSERT_TRUE(std::holds_alternative<app::FileToUpload>(outcome));
    EXPECT_EQ(std::get<app::FileToUpload>(outcome).path.Native(), path);
    EXPECT_EQ(std::get<app::FileToUpload>(outcome).cp932Name, "small.png");
    EXPECT_EQ(std::get<app::FileToUpload>(outcome).shrunk, nullptr);
}

TEST(ShrinkForSend, OtherFormatsAndPicturesThatDoNotDecodeAreRefusedWithAReason) {
    testsupport::TempDir dir;
    const std::string large(5'000'001, 'x');
    const auto pdf = app::PrepareUpload(Dropped(dir.Write("paper.pdf", large)));
    ASSERT_TRUE(std::holds_alternative<app::UploadRefusal>(pdf));
    EXPECT_EQ(std::get<app::UploadRefusal>(pdf).reason, platform::Cp932("送信できるファイルは最大 5MB までです。"));
    const auto lying = app::PrepareUpload(Dropped(dir.Write("lying.jpg", large)));
    ASSERT_TRUE(std::holds_alternative<app::UploadRefusal>(lying));
    EXPECT_NE(std::get<app::UploadRefusal>(lying).reason.find(platform::Cp932("画像として読み込めません")),
              std::string::npos);
}

TEST(ShrinkForSend, AShrunkPictureKeepsAJpegNameAndOtherwiseTakesJpg) {
    EXPECT_EQ(app::ShrunkPictureName("IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(app::ShrunkPictureName("photo.jpeg"), "photo.jpeg");
    EXPECT_EQ(app::ShrunkPictureName("shot.png"), "shot.jpg");
    EXPECT_EQ(app::ShrunkPictureName("scan.v2.TIFF"), "scan.v2.jpg");
    EXPECT_EQ(app::ShrunkPictureName(platform::Cp932("表.bmp")), platform::Cp932("表.jpg"));
    EXPECT_TRUE(app::IsShrinkablePicture("a.GIF"));
    EXPECT_FALSE(app::IsShrinkablePicture("a.psd"));
    EXPECT_FALSE(app::IsShrinkablePicture("a.Jpg"));
}

}  // namespace
