// The system's codecs and the whole shrink of a file, on pictures made here: the same tests on
// every system (the Windows build runs them under Wine).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "picture/fit_under_limit.h"
#include "picture/shrink_picture.h"
#include "platform/cp932.h"
#include "platform/picture_codec.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_pictures.h"

namespace {

using platform::Pixels;

// Soft gradients with a flat block in the top-left quarter, red (200, 40, 40).
Pixels Scene(int width, int height) {
    Pixels pixels = platform::MakePixels(width, height, 3);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = pixels.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const bool block = x < width / 2 && y < height / 2;
            p[0] = block ? 200 : static_cast<std::uint8_t>(x * 255 / width);
            p[1] = block ? 40 : static_cast<std::uint8_t>(y * 255 / height);
            p[2] = block ? 40 : 128;
        }
    }
    return pixels;
}

Pixels Noise(int width, int height) {
    Pixels pixels = platform::MakePixels(width, height, 3);
    std::mt19937 random(11);
    for (auto& byte : pixels.bytes) byte = static_cast<std::uint8_t>(random());
    return pixels;
}

platform::FilePath Saved(const testsupport::TempDir& dir, const char* name, const std::string& bytes) {
    return platform::FilePath(dir.Write(name, bytes));
}

Pixels DecodeJpeg(const testsupport::TempDir& dir, const std::string& jpeg) {
    platform::PictureDecoder decoder(Saved(dir, "back.jpg", jpeg));
    return decoder.Decode(std::max(decoder.Header().width, decoder.Header().height));  // full size
}

void ExpectNear(const std::uint8_t* pixel, int r, int g, int b, int tolerance) {
    EXPECT_NEAR(pixel[0], r, tolerance);
    EXPECT_NEAR(pixel[1], g, tolerance);
    EXPECT_NEAR(pixel[2], b, tolerance);
}

TEST(PictureCodec, AJpegEncodedDecodesBackToItsSizeAndColours) {
    testsupport::TempDir dir;
    const std::string jpeg = platform::EncodeJpeg(Scene(320, 240), 85);
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
    platform::PictureDecoder decoder(Saved(dir, "scene.jpg", jpeg));
    EXPECT_EQ(decoder.Header().width, 320);
    EXPECT_EQ(decoder.Header().height, 240);
    EXPECT_EQ(decoder.Header().exifOrientation, 1);
    const Pixels back = decoder.Decode(320);
    ASSERT_EQ(back.width, 320);
    ASSERT_EQ(back.height, 240);
    const std::uint8_t* inBlock = back.Row(60) + 80 * back.channels;
    ExpectNear(inBlock, 200, 40, 40, 8);
}

TEST(PictureCodec, ReadsTheExifOrientationInEitherByteOrder) {
    testsupport::TempDir dir;
    const std::string jpeg = platform::EncodeJpeg(Scene(64, 32), 85);
    platform::PictureDecoder little(Saved(dir, "six.jpg", testsupport::WithExifOrientation(jpeg, 6)));
    EXPECT_EQ(little.Header().exifOrientation, 6);
    EXPECT_EQ(little.Header().width, 64);  // as stored
    platform::PictureDecoder big(Saved(dir, "eight.jpg", testsupport::WithExifOrientation(jpeg, 8, true)));
    EXPECT_EQ(big.Header().exifOrientation, 8);
}

TEST(PictureCodec, ScalingOnLoadKeepsTheLongEdgeAskedForAndTheShape) {
    testsupport::TempDir dir;
    platform::PictureDecoder decoder(Saved(dir, "big.jpg", platform::EncodeJpeg(Scene(1600, 1200), 85)));
    const Pixels scaled = decoder.Decode(300);
    EXPECT_GE(scaled.width, 300);
    EXPECT_LE(scaled.width, 1600);
    EXPECT_NEAR(scaled.height * 4, scaled.width * 3, 8);
}

TEST(PictureCodec, APngDecodesWithItsTransparency) {
    testsupport::TempDir dir;
    Pixels rgba = platform::MakePixels(3, 2, 4);
    for (std::size_t i = 0; i < rgba.bytes.size(); i += 4) {
        rgba.bytes[i] = 10;
        rgba.bytes[i + 1] = 20;
        rgba.bytes[i + 2] = 30;
        rgba.bytes[i + 3] = i == 0 ? 0 : 255;
    }
    platform::PictureDecoder decoder(Saved(dir, "alpha.png", testsupport::PngFile(rgba)));
    EXPECT_EQ(decoder.Header().width, 3);
    const Pixels back = decoder.Decode(3);
    ASSERT_EQ(back.channels, 4);
    EXPECT_EQ(back.bytes[3], 0);
    EXPECT_EQ(back.bytes[7], 255);
    EXPECT_EQ(back.bytes[4], 10);
}

TEST(ShrinkPicture, TurnsAJpegUprightAndStepsDownUntilItFits) {
    testsupport::TempDir dir;
    const std::string lying = testsupport::WithExifOrientation(platform::EncodeJpeg(Noise(3000, 2000), 85), 6);
    const std::int64_t limit = 1'000'000;
    const picture::ShrunkPicture shrunk = picture::ShrinkPicture(Saved(dir, "IMG_0001.JPG", lying), limit);
    EXPECT_LE(static_cast<std::int64_t>(shrunk.jpeg.size()), limit);
    EXPECT_EQ(shrunk.originalWidth, 2000);
    EXPECT_EQ(shrunk.originalHeight, 3000);
    EXPECT_LT(shrunk.width, shrunk.height);
    const auto steps = picture::LongEdgeSteps(3000);
    EXPECT_NE(std::find(steps.begin() + 1, steps.end(), shrunk.height), steps.end()) << shrunk.height;
    const Pixels back = DecodeJpeg(dir, shrunk.jpeg);
    EXPECT_EQ(back.width, shrunk.width);
    EXPECT_EQ(back.height, shrunk.height);
}

TEST(ShrinkPicture, PutsATransparentPngOnWhite) {
    testsupport::TempDir dir;
    const picture::ShrunkPicture shrunk =
        picture::ShrinkPicture(Saved(dir, "shot.png", testsupport::PngFile(platform::MakePixels(40, 30, 4))), 5'000'000);
    EXPECT_EQ(shrunk.width, 40);
    const Pixels back = DecodeJpeg(dir, shrunk.jpeg);
    ExpectNear(back.Row(15) + 20 * back.channels, 255, 255, 255, 2);
}

TEST(ShrinkPicture, RefusesWhatDoesNotDecodeAndABombByItsHeader) {
    testsupport::TempDir dir;
    const std::string jpeg = platform::EncodeJpeg(Scene(400, 300), 85);
    const struct {
        const char* name;
        std::string bytes;
        const char* reasonPart;
    } cases[] = {
        {"truncated.jpg", jpeg.substr(0, jpeg.size() / 2), "画像として読み込めません"},
        {"letter.jpg", "Dear Sir, this is no picture at all.", "画像として読み込めません"},
        {"bomb.png", testsupport::PngClaiming(100'000, 100'000), "100000 x 100000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            picture::ShrinkPicture(Saved(dir, c.name, c.bytes), 5'000'000);
            ADD_FAILURE() << "not refused";
        } catch (const picture::EPictureRefused& refused) {
            EXPECT_NE(refused.Message().find(platform::Cp932(c.reasonPart)), std::string::npos) << refused.Message();
        }
    }
}

}  // namespace
