#include "color/histogram.h"
#include "color/quick_color_preview.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velanox::color {
namespace {

core::ConstImageView constBlockOf(const test::TestImage& img) {
    return img.view();
}

TEST(Histogram, OnlyBlackAndWhiteGivesEmptyBars) {
    test::TestImage img = test::makeUniform(8, 8, 0, 3);
    for (int x = 0; x < 4; ++x)
        for (int c = 0; c < 3; ++c)
            img.at(x, 2, c) = 255;
    HistogramBars bars;
    for (auto& channel : bars)
        channel.fill(9);
    ASSERT_TRUE(computeHistogram(constBlockOf(img), ColorSettings{}, bars));
    for (const auto& channel : bars)
        for (uint8_t bar : channel)
            ASSERT_EQ(bar, 0);
}

TEST(Histogram, ClippedEndsReachTheTopWhileTheRestKeepsItsScale) {
    test::TestImage img = test::makeUniform(10, 10, 0, 3); // 100 black pixels
    for (int x = 0; x < 10; ++x) {
        img.at(x, 0, 0) = 100;            // 10 reds of 100
        if (x < 5) img.at(x, 1, 0) = 50;  // 5 reds of 50
        if (x < 2) img.at(x, 2, 1) = 255; // 2 greens of 255
    }
    HistogramBars bars{};
    ASSERT_TRUE(computeHistogram(constBlockOf(img), ColorSettings{}, bars));
    EXPECT_EQ(bars[0][100], 255);
    EXPECT_EQ(bars[0][50], 127); // 5 * 255 / 10
    EXPECT_EQ(bars[0][0], 255);  // 85 / 10 * 255, limited
    EXPECT_EQ(bars[1][255], 51); // 2 * 255 / 10
    EXPECT_EQ(bars[2][7], 0);
}

TEST(Histogram, CountsAfterTheColorStepsWithoutChangingTheSource) {
    test::TestImage img = test::makeUniform(6, 6, 100, 3);
    const test::TestImage before = img;
    ColorSettings settings;
    settings.tone.midtoneBend = 2.0; // 100 -> 255 - 155^2/255 = 161
    HistogramBars bars{};
    ASSERT_TRUE(computeHistogram(constBlockOf(img), settings, bars));
    EXPECT_EQ(bars[1][161], 255);
    EXPECT_EQ(bars[1][100], 0);
    EXPECT_EQ(img.bytes, before.bytes);
    EXPECT_FALSE(computeHistogram(core::ConstImageView(), settings, bars));
}

TEST(Curves, NeutralIsTheDiagonalAndMatchingAddsItsOffset) {
    ToneValues tone;
    MatchTables match = MatchValues::identityMatchTables();
    CurveTables curves = computeCurves(tone, match);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(curves[2][std::size_t(i)], i);

    tone.midtoneBend = 2.0;
    match[0][128] = 138;
    match[0][250] = 255;
    curves = computeCurves(tone, match);
    EXPECT_EQ(curves[0][128], 202); // 192 + 138 - 128
    EXPECT_EQ(curves[0][250], 255); // limited
    EXPECT_EQ(curves[1][128], 192);
}

TEST(QuickColorPreview, CopiesTheLimitedRectangleAndRecolors) {
    const test::TestImage rgb = [] {
        test::TestImage four = test::makeRandom(40, 30, 9);
        test::TestImage three = test::makeUniform(40, 30, 0, 3);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                for (int c = 0; c < 3; ++c)
                    three.at(x, y, c) = four.at(x, y, c);
        return three;
    }();
    ColorSettings settings;
    settings.tone.colorBoost = 40;
    image::PixelBuffer preview;
    ASSERT_TRUE(
        quickColorPreview(constBlockOf(rgb), core::Rect{30, -5, 90, 10}, settings, preview));
    ASSERT_EQ(preview.width, 10);
    ASSERT_EQ(preview.height, 10);
    test::TestImage expected = rgb;
    applyColorSteps(settings, core::ImageView(expected.data(), 40, 30, 3));
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(std::memcmp(preview.pixels() + y * 30, &expected.at(30, y, 0), 30), 0);

    const uint8_t* reused = preview.pixels();
    ASSERT_TRUE(quickColorPreview(constBlockOf(rgb), core::Rect{0, 0, 10, 10}, settings, preview));
    EXPECT_EQ(preview.pixels(), reused) << "a preview of the same size is reused";
    EXPECT_FALSE(
        quickColorPreview(constBlockOf(rgb), core::Rect{50, 0, 60, 10}, settings, preview));
    EXPECT_FALSE(preview.hasPixels());
}

} // namespace
} // namespace velanox::color
