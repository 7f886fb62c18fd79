// Conversions between colour profiles for the screen and for colour-match references.
#include "color/color_transform.h"
#include "color/test_profiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velanox::color {
namespace {

using test::displayP3;

TEST(ColorTransform, P3PrimariesBecomeMoreSaturatedSrgbAndGreysStay) {
    ASSERT_FALSE(displayP3().empty());
    // Pure P3 red lies outside sRGB: it clips to full red with green and blue at 0; a mid grey
    // is the same in both (same white, same curve).
    std::vector<uint8_t> rgb = {200, 40, 40, 128, 128, 128};
    ASSERT_TRUE(convertRgbBetweenProfiles(displayP3(), {}, rgb.data(), 2, 1, 6));
    EXPECT_GT(rgb[0], 210);
    EXPECT_LT(rgb[1], 40);
    EXPECT_LT(rgb[2], 40);
    EXPECT_NEAR(rgb[3], 128, 1);
    EXPECT_NEAR(rgb[4], 128, 1);
    EXPECT_NEAR(rgb[5], 128, 1);
}

TEST(ColorTransform, SameOrUnusableProfilesLeaveThePixelsAlone) {
    std::vector<uint8_t> rgb = {10, 20, 30};
    EXPECT_FALSE(convertRgbBetweenProfiles({}, {}, rgb.data(), 1, 1, 3));
    EXPECT_FALSE(convertRgbBetweenProfiles(displayP3(), displayP3(), rgb.data(), 1, 1, 3));
    const std::vector<uint8_t> garbage(200, 0x5a);
    EXPECT_FALSE(convertRgbBetweenProfiles(garbage, {}, rgb.data(), 1, 1, 3));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{10, 20, 30}));
    EXPECT_FALSE(profilesDiffer({}, {}));
    EXPECT_TRUE(profilesDiffer(displayP3(), {}));
}

TEST(ColorTransform, CacheMakesEachConversionOnceAndMatchesTheOneOff) {
    ColorTransformCache cache(2);
    // Rows of 3 BGRX pixels with 4 bytes of padding each: the padding and the fourth bytes stay.
    const int width = 3, height = 2;
    const std::size_t stride = 16;
    std::vector<uint8_t> bgrx(stride * height, 0xee);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &bgrx[std::size_t(y) * stride + std::size_t(x) * 4];
            p[0] = uint8_t(30 * x), p[1] = uint8_t(100 + y), p[2] = uint8_t(220 - x), p[3] = 7;
        }
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &bgrx[std::size_t(y) * stride + std::size_t(x) * 4];
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    std::vector<uint8_t> first = bgrx;
    ASSERT_TRUE(
        cache.convert(displayP3(), {}, PixelLayout::Bgrx, first.data(), width, height, stride));
    std::vector<uint8_t> second = bgrx;
    ASSERT_TRUE(
        cache.convert(displayP3(), {}, PixelLayout::Bgrx, second.data(), width, height, stride));
    EXPECT_EQ(cache.made(), 1u);
    EXPECT_EQ(first, second);
    ASSERT_TRUE(
        convertRgbBetweenProfiles(displayP3(), {}, rgb.data(), width * height, 1, rgb.size()));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &first[std::size_t(y) * stride + std::size_t(x) * 4];
            const uint8_t* q = &rgb[std::size_t(y * width + x) * 3];
            EXPECT_EQ(p[0], q[2]);
            EXPECT_EQ(p[1], q[1]);
            EXPECT_EQ(p[2], q[0]);
            EXPECT_EQ(p[3], 7);
        }
        EXPECT_EQ(first[std::size_t(y) * stride + 12], 0xee);
    }
    // Two other pairs push the first one out of a cache of two; asking again makes it anew.
    std::vector<uint8_t> pixel = {1, 2, 3};
    const std::vector<uint8_t>& other = test::wideGamma22();
    cache.convert({}, displayP3(), PixelLayout::Rgb, pixel.data(), 1, 1, 3);
    cache.convert(other, {}, PixelLayout::Rgb, pixel.data(), 1, 1, 3);
    EXPECT_EQ(cache.made(), 3u);
    cache.convert(displayP3(), {}, PixelLayout::Bgrx, second.data(), 1, 1, 4);
    EXPECT_EQ(cache.made(), 4u);
}

} // namespace
} // namespace velanox::color
