#include "color/auto_levels.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

namespace velanox::color {
namespace {

AutoLevels levelsOf(const test::TestImage& img) {
    return autoLevels(img.view());
}

TEST(AutoLevels, UniformGreyRaisesTheWhitePointTo210) {
    // From 102 pixels up 2.5/255 of them is at least one pixel, so the black point is found.
    EXPECT_EQ(levelsOf(test::makeUniform(20, 20, 100, 3)), (AutoLevels{100, 210}));
    // With 100 pixels that share is 0 pixels: bin 0 already holds enough.
    EXPECT_EQ(levelsOf(test::makeUniform(10, 10, 100, 3)), (AutoLevels{0, 210}));
}

TEST(AutoLevels, LuminanceIsTruncatedSoGrey128FallsIntoBin127) {
    EXPECT_EQ(levelsOf(test::makeUniform(20, 20, 128, 3)).black, 127);
}

TEST(AutoLevels, BrightImageGivesABlackPointBeyondTheSlider) {
    // 250 + (255 - 250) / 3 = 251.
    EXPECT_EQ(levelsOf(test::makeUniform(20, 20, 250, 4)), (AutoLevels{250, 251}));
}

TEST(AutoLevels, FullRangeImageKeepsTheEnds) {
    test::TestImage img = test::makeUniform(20, 20, 0, 3);
    for (int y = 10; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            for (int c = 0; c < 3; ++c)
                img.at(x, y, c) = 255;
    EXPECT_EQ(levelsOf(img), (AutoLevels{0, 255}));
}

TEST(AutoLevels, NoPixelsGivesNeutralLevels) {
    EXPECT_EQ(autoLevels(core::ConstImageView()), (AutoLevels{0, 255}));
}

} // namespace
} // namespace velanox::color
