// Pictures over the 5 MB limit: one question before the send, and with はい each goes shrunk
// under its name with ".jpg", upright, the original untouched and no temporary file left; with
// いいえ they are refused as before. Pictures that do not decode are refused with the reason.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/cp932.h"
#include "platform/picture_codec.h"
#include "tests/e2e/program_run.h"
#include "tests/support/test_pictures.h"
#include "tests/support/testbed.h"

namespace {

using e2e::ProgramRun;
using e2e::RunResult;
using testing::HasSubstr;
using testing::IsEmpty;

const std::string Question = "縮小して送信しますか？（元のファイルは変更されません）";
const std::string TooLarge = "送信できるファイルは最大 5MB までです。";

// A camera's picture: soft shapes and sensor noise, stored lying on its side (EXIF orientation 6).
std::string CameraJpeg(int width, int height) {
    platform::Pixels pixels = platform::MakePixels(width, height, 3);
    std::minstd_rand noise(3);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = pixels.Row(y);
        for (int x = 0; x < width; ++x, p += 3)
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>((x / 40 + y / 30 + c * 50) % 160 + noise() % 64 + 16);
    }
    return testsupport::WithExifOrientation(platform::EncodeJpeg(pixels, 92), 6);
}

// A screenshot's worth of a PNG, stored without compression: about 7 MB.
std::string ScreenshotPng() {
    platform::Pixels pixels = platform::MakePixels(1600, 1500, 3);
    std::minstd_rand noise(4);
    for (auto& byte : pixels.bytes) byte = static_cast<std::uint8_t>(noise() % 32 + 200);
    return testsupport::PngFile(pixels);
}

platform::PictureHeader HeaderOf(const std::filesystem::path& file) {
    return platform::PictureDecoder(platform::FilePath(file)).Header();
}

class ShrinkAndSend : public testsupport::TestbedTest {
protected:
    e2e::Servers Bed() const { return {bed().vsftpd.port, bed().nginx.port}; }
    std::filesystem::path Stored(const std::string& name) const { return bed().vsftpd.root / name; }

    testsupport::TempDir folder_;
};

TEST_F(ShrinkAndSend, APhotoOverTheLimitAnsweredYesGoesUprightUnderTheLimitUnderItsName) {
    const std::string name = testsupport::UniqueName("IMG", ".JPG");
    const std::string photo = CameraJpeg(6000, 4000);
    ASSERT_GT(photo.size(), 5'000'000u);
    const auto file = folder_.Write(name, photo);

    ProgramRun run({"Taro", "taro", 0}, Bed(), file);
    const RunResult result = run.Finish();

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 2u) << result.errorOutput;
    EXPECT_THAT(result.dialogs[0].text, HasSubstr("「" + name + "」"));
    EXPECT_THAT(result.dialogs[0].text, HasSubstr(Question));
    EXPECT_EQ(result.dialogs[1].text, e2e::SuccessText("taro@" + e2e::CarrierDomain, name));
    ASSERT_TRUE(std::filesystem::exists(Stored(name)));
    EXPECT_LE(std::filesystem::file_size(Stored(name)), 5'000'000u);
    const platform::PictureHeader sent = HeaderOf(Stored(name));
    EXPECT_LT(sent.width, sent.height);  // turned upright
    EXPECT_EQ(sent.exifOrientation, 1);
    const int steps[] = {2560, 1920, 1600, 1280, 1024, 800};
    EXPECT_NE(std::find(std::begin(steps), std::end(steps), sent.height), std::end(steps)) << sent.height;
    EXPECT_EQ(testsupport::ReadFileBytes(file), photo);
    EXPECT_THAT(run.LeftTemporaryFiles(), IsEmpty());
    EXPECT_THAT(run.LastSendLogged(), HasSubstr("send: shrunk " + name + ": " + std::to_string(photo.size()) +
                                                " bytes, 4000 x 6000 -> "));
}

TEST_F(ShrinkAndSend, AnsweredNoThePictureIsRefusedAsBefore) {
    const std::string name = testsupport::UniqueName("shot", ".png");
    const auto file = folder_.Write(name, ScreenshotPng());

    ProgramRun run({"Taro", "taro", 0}, Bed(), file);
    const RunResult result = run.Finish([&](const e2e::Dialog& dialog) {
        if (dialog.text.find(Question) != std::string::npos) run.AnswerWith("Tab Return");
    });

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 2u) << result.errorOutput;
    EXPECT_THAT(result.dialogs[0].text, HasSubstr(Question));
    EXPECT_EQ(result.dialogs[1].text, TooLarge);
    EXPECT_FALSE(std::filesystem::exists(Stored(name)));
    EXPECT_FALSE(std::filesystem::exists(Stored(name.substr(0, name.size() - 4) + ".jpg")));
}

TEST_F(ShrinkAndSend, OfSeveralAPngGoesAsJpgAndPicturesThatDoNotDecodeAreRefusedWithTheReason) {
    const std::string shot = testsupport::UniqueName("shot", ".png");
    const std::string truncated = testsupport::UniqueName("truncated", ".jpg");
    const std::string bomb = testsupport::UniqueName("bomb", ".png");
    const std::string photo = CameraJpeg(6000, 4000);
    const std::vector<std::filesystem::path> files = {
        folder_.Write(shot, ScreenshotPng()),
        folder_.Write(truncated, photo.substr(0, 5'500'000)),
        folder_.Write(bomb, testsupport::PngClaiming(100'000, 100'000, 5'100'000)),
    };

    ProgramRun run({"Taro", "taro", 0}, Bed(), files);
    const RunResult result = run.Finish({}, std::chrono::seconds{120});

    ASSERT_TRUE(result.ended) << result.errorOutput;
    ASSERT_EQ(result.dialogs.size(), 2u) << result.errorOutput;
    EXPECT_THAT(result.dialogs[0].text, HasSubstr("3 個の画像が"));
    const std::string shotJpg = shot.substr(0, shot.size() - 4) + ".jpg";
    const std::string& summary = result.dialogs[1].text;
    EXPECT_THAT(summary, HasSubstr("・" + shot + "（縮小して " + shotJpg + "）"));
    EXPECT_THAT(summary, HasSubstr(truncated + "：画像として読み込めません"));
    EXPECT_THAT(summary, HasSubstr(bomb + "：画像が大きすぎます（100000 x 100000 ピクセル"));
    ASSERT_TRUE(std::filesystem::exists(Stored(shotJpg)));
    EXPECT_EQ(HeaderOf(Stored(shotJpg)).width, 1600);
    EXPECT_FALSE(std::filesystem::exists(Stored(shot)));
    EXPECT_FALSE(std::filesystem::exists(Stored(truncated)));
    EXPECT_THAT(run.LeftTemporaryFiles(), IsEmpty());
}

}  // namespace
