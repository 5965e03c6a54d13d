// The shared shrink on pictures made here: the EXIF orientations, area averaging, transparency,
// the long-edge steps and the loop that fits the JPEG under the limit.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "picture/area_resample.h"
#include "picture/fit_under_limit.h"
#include "picture/flatten_alpha.h"
#include "picture/orientation.h"

namespace {

using platform::Pixels;
using Rgb = std::array<std::uint8_t, 3>;

Rgb At(const Pixels& pixels, int x, int y) {
    const std::uint8_t* p = pixels.Row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(pixels.channels);
    return {p[0], p[1], p[2]};
}

void Put(Pixels& pixels, int x, int y, Rgb colour) {
    std::uint8_t* p = pixels.Row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(pixels.channels);
    std::copy(colour.begin(), colour.end(), p);
}

Pixels Filled(int width, int height, Rgb colour) {
    Pixels pixels = platform::MakePixels(width, height, 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Put(pixels, x, y, colour);
        }
    }
    return pixels;
}

Pixels Noise(int width, int height, unsigned seed) {
    Pixels pixels = platform::MakePixels(width, height, 3);
    std::mt19937 random(seed);
    for (auto& byte : pixels.bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return pixels;
}

double Mean(const Pixels& pixels) {
    double sum = 0;
    for (const auto byte : pixels.bytes) {
        sum += byte;
    }
    return sum / static_cast<double>(pixels.bytes.size());
}

constexpr Rgb Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, White{255, 255, 255}, Grey{128, 128, 128};

// The stored corners, told apart by colour: top left red, top right green, bottom left blue,
// bottom right white, on grey.
Pixels Corners(int width, int height) {
    Pixels pixels = Filled(width, height, Grey);
    Put(pixels, 0, 0, Red);
    Put(pixels, width - 1, 0, Green);
    Put(pixels, 0, height - 1, Blue);
    Put(pixels, width - 1, height - 1, White);
    return pixels;
}

// From the EXIF standard's words for each value: which stored corner is seen at the top left and
// which at the top right.
struct SeenCorners {
    int orientation;
    Rgb topLeft;
    Rgb topRight;
};

TEST(Orientation, EachOfTheEightValuesShowsTheStoredCornersWhereTheStandardSays) {
    const SeenCorners cases[] = {
        {1, Red, Green},  {2, Green, Red},  {3, White, Blue}, {4, Blue, White},
        {5, Red, Blue},   {6, Blue, Red},   {7, White, Green}, {8, Green, White},
    };
    for (const SeenCorners& c : cases) {
        SCOPED_TRACE(c.orientation);
        const Pixels seen = picture::Orient(Corners(5, 3), c.orientation);
        const bool quarter = c.orientation >= 5;
        EXPECT_EQ(seen.width, quarter ? 3 : 5);
        EXPECT_EQ(seen.height, quarter ? 5 : 3);
        EXPECT_EQ(At(seen, 0, 0), c.topLeft);
        EXPECT_EQ(At(seen, seen.width - 1, 0), c.topRight);
        EXPECT_EQ(picture::SwapsSides(c.orientation), quarter);
    }
}

TEST(Orientation, AValueOutsideTheStandardLeavesThePixels) {
    const Pixels stored = Corners(4, 2);
    EXPECT_EQ(picture::Orient(stored, 0).bytes, stored.bytes);
    EXPECT_EQ(picture::Orient(stored, 9).bytes, stored.bytes);
}

TEST(AreaResample, AveragesWhatEachNewPixelCoversInsteadOfPickingOne) {
    // A one-pixel checkerboard halved is an even grey; picking pixels would keep black or white.
    Pixels board = platform::MakePixels(8, 6, 3);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            Put(board, x, y, (x + y) % 2 ? White : Rgb{0, 0, 0});
        }
    }
    const Pixels half = picture::ResampleByArea(board, 4, 3);
    for (const auto byte : half.bytes) {
        EXPECT_EQ(byte, 128);
    }
}

TEST(AreaResample, KeepsAFlatColourAndTheMeanAtUnevenRatios) {
    const Pixels flat = picture::ResampleByArea(Filled(7, 5, {10, 200, 77}), 3, 2);
    EXPECT_EQ(flat.width, 3);
    EXPECT_EQ(flat.height, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(At(flat, x, y), (Rgb{10, 200, 77}));
        }
    }
    // Every old pixel counts as much as any other, however the new grid cuts it.
    const Pixels noise = Noise(301, 197, 7);
    for (const auto& [w, h] : {std::pair{150, 98}, std::pair{97, 64}, std::pair{1, 1}, std::pair{300, 197}}) {
        EXPECT_NEAR(Mean(picture::ResampleByArea(noise, w, h)), Mean(noise), 0.5) << w << "x" << h;
    }
}

TEST(AreaResample, RefusesToEnlarge) {
    EXPECT_THROW(picture::ResampleByArea(Filled(4, 4, Red), 5, 4), std::invalid_argument);
    EXPECT_EQ(picture::ResampleByArea(Noise(4, 3, 1), 4, 3).bytes, Noise(4, 3, 1).bytes);
}

TEST(FlattenOntoWhite, LaysTransparencyOntoWhite) {
    Pixels rgba = platform::MakePixels(3, 1, 4);
    const std::uint8_t values[] = {0, 0, 0, 0, 0, 0, 0, 255, 0, 100, 200, 128};
    std::copy(std::begin(values), std::end(values), rgba.bytes.begin());
    const Pixels flat = picture::FlattenOntoWhite(rgba);
    ASSERT_EQ(flat.channels, 3);
    EXPECT_EQ(At(flat, 0, 0), White);
    EXPECT_EQ(At(flat, 1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(flat, 2, 0), (Rgb{127, 177, 227}));
}

TEST(LongEdgeSteps, StepDownFromTheOriginalAndNeverUp) {
    using testing::ElementsAre;
    EXPECT_THAT(picture::LongEdgeSteps(6000), ElementsAre(2560, 1920, 1600, 1280, 1024, 800));
    EXPECT_THAT(picture::LongEdgeSteps(2560), ElementsAre(2560, 1920, 1600, 1280, 1024, 800));
    EXPECT_THAT(picture::LongEdgeSteps(2000), ElementsAre(2000, 1920, 1600, 1280, 1024, 800));
    EXPECT_THAT(picture::LongEdgeSteps(1600), ElementsAre(1600, 1280, 1024, 800));
    EXPECT_THAT(picture::LongEdgeSteps(640), ElementsAre(640));
}

TEST(HeaderTooLarge, DrawsTheLineAtAHundredMegapixels) {
    EXPECT_FALSE(picture::HeaderTooLarge(10'000, 10'000));
    EXPECT_TRUE(picture::HeaderTooLarge(10'001, 10'000));
    EXPECT_TRUE(picture::HeaderTooLarge(100'000, 100'000));
}

// An encoder whose output grows with the pixels, as a JPEG's does; it notes what it was given.
struct CountingEncoder {
    std::vector<std::pair<int, int>> sizes;
    std::string operator()(const Pixels& pixels) {
        sizes.emplace_back(pixels.width, pixels.height);
        return std::string(static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height), 'j');
    }
};

TEST(FitUnderLimit, TriesTheStepsInTurnAndStopsAtTheFirstThatFits) {
    CountingEncoder encoder;
    // Stored lying on its side (orientation 6), decoded at half size on loading.
    const auto fitted = picture::FitUnderLimit(Noise(3000, 2000, 3), 6, 6000, 1600 * 1067,
                                               [&](const Pixels& p) { return encoder(p); });
    ASSERT_TRUE(fitted.has_value());
    using P = std::pair<int, int>;
    EXPECT_THAT(encoder.sizes, testing::ElementsAre(P{1707, 2560}, P{1280, 1920}, P{1067, 1600}));
    EXPECT_EQ(fitted->width, 1067);  // upright: taller than wide
    EXPECT_EQ(fitted->height, 1600);
    EXPECT_EQ(fitted->jpeg.size(), 1600u * 1067u);
}

TEST(FitUnderLimit, APictureThatFitsKeepsItsSizeAndOneThatNeverFitsIsRefused) {
    CountingEncoder encoder;
    const auto kept = picture::FitUnderLimit(Noise(1200, 900, 4), 1, 1200, 5'000'000,
                                             [&](const Pixels& p) { return encoder(p); });
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->width, 1200);
    EXPECT_EQ(kept->height, 900);

    encoder.sizes.clear();
    const auto never = picture::FitUnderLimit(Noise(1200, 900, 4), 1, 1200, 100,
                                              [&](const Pixels& p) { return encoder(p); });
    EXPECT_FALSE(never.has_value());
    using P = std::pair<int, int>;
    EXPECT_THAT(encoder.sizes, testing::ElementsAre(P{1200, 900}, P{1024, 768}, P{800, 600}));
}

TEST(FitUnderLimit, EncodesATransparentPictureOnWhite) {
    Pixels rgba = platform::MakePixels(40, 30, 4);  // all transparent
    Pixels given;
    picture::FitUnderLimit(rgba, 1, 40, 5'000'000, [&](const Pixels& p) {
        given = p;
        return std::string("jpeg");
    });
    EXPECT_EQ(given.channels, 3);
    EXPECT_EQ(Mean(given), 255.0);
}

}  // namespace
