#include "engine/pixel_filters.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using velanox::test::makeRandom;
using velanox::test::makeUniform;
using velanox::test::TestImage;

namespace {

bool sharpen(const TestImage& src, TestImage& dst, int amount, int mask = 7) {
    return sharpenFilter(src.data(), dst.data(), src.width, src.height, src.bytesPerPixel,
                         src.stride, dst.stride, amount, mask);
}

bool speckle(TestImage& img, int mask = 7) {
    return speckleFilter(img.data(), img.width, img.height, img.bytesPerPixel, img.stride, mask);
}

std::vector<unsigned char> edgeWeights(const TestImage& img, int threshold, float gain) {
    std::vector<unsigned char> map(std::size_t(img.width) * img.height, 0x5A);
    EXPECT_TRUE(computeEdgeWeights(img.data(), map.data(), img.width, img.height, img.bytesPerPixel,
                                   threshold, gain));
    return map;
}

TestImage verticalEdge(int width, int height, int edgeX) {
    TestImage img = makeUniform(width, height, 30);
    for (int y = 0; y < height; ++y)
        for (int x = edgeX; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                img.at(x, y, k) = 220;
    return img;
}

} // namespace

TEST(SharpenFilter, FlatPictureIsUnchangedAndASpeckIsLifted) {
    TestImage src = makeUniform(9, 7, 100);
    TestImage dst = makeUniform(9, 7, 0);
    ASSERT_TRUE(sharpen(src, dst, 8));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(dst.at(x, y, 1), 100);

    src.at(4, 3, 0) = 110;
    ASSERT_TRUE(sharpen(src, dst, 8));
    EXPECT_EQ(dst.at(4, 3, 0), 113);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0) {
                EXPECT_EQ(dst.at(4 + dx, 3 + dy, 0), 99);
            }
    EXPECT_EQ(dst.at(0, 0, 0), 100);
}

TEST(SharpenFilter, AmountIsLimitedAndZeroCopies) {
    const TestImage src = makeRandom(23, 17, 5);
    TestImage zero = makeUniform(23, 17, 0), capped = zero, hundred = zero;
    ASSERT_TRUE(sharpen(src, zero, 0));
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(zero.at(x, y, k), src.at(x, y, k));
    ASSERT_TRUE(sharpen(src, capped, 1000));
    ASSERT_TRUE(sharpen(src, hundred, 100));
    EXPECT_EQ(capped.bytes, hundred.bytes);
    TestImage negative = makeUniform(23, 17, 0);
    ASSERT_TRUE(sharpen(src, negative, -40));
    EXPECT_EQ(negative.bytes, zero.bytes);
}

TEST(SharpenFilter, WritesOnlyMaskedComponentsInsideRows) {
    const TestImage src = makeRandom(12, 10, 8, 8);
    TestImage dst = makeUniform(12, 10, 7, 4, 8, 0xEE);
    ASSERT_TRUE(sharpen(src, dst, 50, 0x0F & ~2)); // bytes 0, 2, 3
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(dst.at(x, y, 1), 7);
        for (int b = 48; b < dst.stride; ++b)
            EXPECT_EQ(dst.bytes[std::size_t(y) * dst.stride + b], 0xEE);
    }
    TestImage only3 = makeUniform(12, 10, 7, 4, 8, 0xEE);
    ASSERT_TRUE(sharpen(src, only3, 50, 7));
    EXPECT_EQ(only3.at(3, 3, 3), 0xEE) << "byte 3 stays as it was with mask 7";
}

TEST(SharpenFilter, RefusesBadArgumentsWithoutWriting) {
    TestImage src = makeRandom(8, 8, 1);
    TestImage dst = makeUniform(8, 8, 9);
    const TestImage untouched = dst;
    EXPECT_FALSE(sharpenFilter(nullptr, dst.data(), 8, 8, 4, 32, 32, 8, 7));
    EXPECT_FALSE(sharpenFilter(src.data(), nullptr, 8, 8, 4, 32, 32, 8, 7));
    EXPECT_FALSE(sharpenFilter(src.data(), src.data(), 8, 8, 4, 32, 32, 8, 7));
    EXPECT_FALSE(sharpenFilter(src.data(), dst.data(), 8, 8, 9, 72, 72, 8, 7));
    EXPECT_FALSE(sharpenFilter(src.data(), dst.data(), 8, 8, 4, 31, 32, 8, 7));
    EXPECT_FALSE(sharpenFilter(src.data(), dst.data(), 0, 8, 4, 32, 32, 8, 7));
    EXPECT_EQ(dst.bytes, untouched.bytes);
}

TEST(SpeckleFilter, PullsABrightSpeckTowardItsBackground) {
    TestImage img = makeUniform(7, 7, 100);
    img.at(3, 3, 0) = 150;
    ASSERT_TRUE(speckle(img));
    EXPECT_EQ(img.at(3, 3, 0), 134);
    int raised = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int v = img.at(3 + dx, 3 + dy, 0);
            if (dx == 0 && dy == 0) continue;
            EXPECT_GE(v, 99);
            EXPECT_LE(v, 102);
            raised += v > 100;
        }
    EXPECT_GT(raised, 0);
}

TEST(SpeckleFilter, ZeroBorderPullsTheOutermostPixelsDown) {
    TestImage img = makeUniform(7, 7, 100);
    ASSERT_TRUE(speckle(img));
    for (auto [x, y] : {std::pair{0, 0}, std::pair{6, 0}, std::pair{0, 6}, std::pair{6, 6}})
        EXPECT_EQ(img.at(x, y, 2), 94);
    for (int i = 1; i < 6; ++i)
        for (auto [x, y] : {std::pair{i, 0}, std::pair{0, i}, std::pair{i, 6}, std::pair{6, i}}) {
            EXPECT_GE(img.at(x, y, 1), 97);
            EXPECT_LE(img.at(x, y, 1), 99);
        }
    for (int y = 1; y < 6; ++y)
        for (int x = 1; x < 6; ++x) {
            const int v = img.at(x, y, 0);
            EXPECT_TRUE(v == 100 || v == 99) << x << "," << y << " = " << v;
            if (x >= 2 && x <= 4 && y >= 2 && y <= 4) {
                EXPECT_EQ(v, 100);
            }
        }
}

TEST(SpeckleFilter, ExtremeValuesDoNotWrapAndMaskIsHonoured) {
    TestImage img = makeUniform(9, 9, 255, 4, 4, 0x11);
    img.at(4, 4, 0) = 0;
    img.at(2, 2, 1) = 254;
    ASSERT_TRUE(speckle(img, 3));
    EXPECT_GT(img.at(4, 4, 0), 0) << "a dark speck in white is lifted";
    EXPECT_GE(img.at(5, 5, 0), 250);
    EXPECT_EQ(img.at(4, 4, 2), 255) << "component 2 is outside the mask";
    EXPECT_EQ(img.at(4, 4, 3), 0x11);
    EXPECT_EQ(img.bytes[std::size_t(4) * img.stride + 36], 0x11);
    EXPECT_FALSE(speckleFilter(nullptr, 9, 9, 4, 36, 7));
    EXPECT_FALSE(speckleFilter(img.data(), -1, 9, 4, 36, 7));
}

TEST(EdgeWeights, SharpVerticalEdgeIsZeroAndFlatAreasFull) {
    const TestImage img = verticalEdge(40, 20, 20);
    const auto map = edgeWeights(img, 0, 1.6f);
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(map[y * 40 + 19], 0);
        EXPECT_EQ(map[y * 40 + 20], 0);
        EXPECT_EQ(map[y * 40 + 10], 255);
        EXPECT_EQ(map[y * 40 + 30], 255);
        // The left and right borders differ, and the neighbours wrap around.
        EXPECT_EQ(map[y * 40 + 0], 0);
        EXPECT_EQ(map[y * 40 + 39], 0);
    }
}

TEST(EdgeWeights, ThresholdAndGainDecideWhatCountsAsFlat) {
    TestImage img = makeRandom(30, 30, 77);
    const auto all = edgeWeights(img, 255, 1.6f);
    int zeros = 0;
    for (unsigned char w : all) {
        EXPECT_TRUE(w == 255 || w == 0);
        zeros += w == 0;
    }
    EXPECT_GE(zeros, 1) << "the strongest gradient keeps weight 0";
    EXPECT_LT(zeros, 10);

    const auto soft = edgeWeights(img, 0, 1.6f);
    const auto steep = edgeWeights(img, 0, 12.0f);
    for (std::size_t i = 0; i < soft.size(); ++i)
        EXPECT_LE(steep[i], soft[i]);
}

TEST(EdgeWeights, NoGradientGivesZeroEverywhereAndBadArgumentsLeaveTheMap) {
    const TestImage flat = makeUniform(16, 16, 128);
    const auto map = edgeWeights(flat, 0, 1.6f);
    EXPECT_TRUE(std::all_of(map.begin(), map.end(), [](unsigned char w) { return w == 0; }));

    std::vector<unsigned char> untouched(256, 0x5A);
    EXPECT_FALSE(computeEdgeWeights(nullptr, untouched.data(), 16, 16, 4, 0, 1.6f));
    EXPECT_FALSE(computeEdgeWeights(flat.data(), nullptr, 16, 16, 4, 0, 1.6f));
    EXPECT_FALSE(computeEdgeWeights(flat.data(), untouched.data(), 16, 16, 2, 0, 1.6f));
    EXPECT_TRUE(
        std::all_of(untouched.begin(), untouched.end(), [](unsigned char w) { return w == 0x5A; }));
}

TEST(EdgeWeights, WeightFallsWithGradientStrength) {
    // A ramp of increasing steps: steeper columns get lower weights.
    TestImage img = makeUniform(64, 8, 0);
    int value = 0;
    for (int x = 0; x < 64; ++x) {
        value = std::min(255, value + x / 8);
        for (int y = 0; y < 8; ++y)
            for (int k = 0; k < 3; ++k)
                img.at(x, y, k) = static_cast<unsigned char>(value);
    }
    const auto map = edgeWeights(img, 0, 1.6f);
    EXPECT_GE(map[3 * 64 + 4], map[3 * 64 + 40]);
}
