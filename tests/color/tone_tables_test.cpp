#include "color/boost_colors.h"
#include "color/color_steps.h"
#include "color/tone_tables.h"
#include "color/tone_values.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

namespace velanox::color {
namespace {

// Every value 0..255 in each channel: pixel i is (i, i, i).
test::TestImage makeRamp(int bytesPerPixel) {
    test::TestImage img = test::makeUniform(256, 1, 0, bytesPerPixel);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            img.at(i, 0, c) = uint8_t(i);
    return img;
}

core::ImageView blockOf(test::TestImage& img) {
    return img.view();
}

TEST(ToneValues, TemperatureSliderEndsAndCentre) {
    EXPECT_FLOAT_EQ(gammaFromSlider(0), 0.6f);
    EXPECT_FLOAT_EQ(gammaFromSlider(200), 1.4f);
    ToneValues tone;
    tone.gamma = gammaFromSlider(100);
    EXPECT_FALSE(tone.toneActive()) << "position 100 must give exactly 1.0";
    EXPECT_EQ(sliderFromGamma(gammaFromSlider(37)), 37);
    EXPECT_EQ(sliderFromMidtoneBend(midtoneBendFromSlider(650)), 650);
}

TEST(ToneStep, GammaActsOnBlueOnly) {
    for (int position : {0, 200}) {
        test::TestImage img = makeRamp(4);
        ToneValues tone;
        tone.gamma = gammaFromSlider(position);
        applyToneStep(tone, blockOf(img));
        int darker = 0, lighter = 0;
        for (int i = 0; i < 256; ++i) {
            EXPECT_EQ(img.at(i, 0, 0), i);
            EXPECT_EQ(img.at(i, 0, 1), i);
            darker += img.at(i, 0, 2) < i;
            lighter += img.at(i, 0, 2) > i;
        }
        EXPECT_EQ(img.at(0, 0, 2), 0);
        EXPECT_EQ(img.at(255, 0, 2), 255);
        if (position == 0) { // "Warmer"
            EXPECT_GT(darker, 200);
            EXPECT_EQ(lighter, 0);
        } else { // "Colder"
            EXPECT_GT(lighter, 200);
            EXPECT_EQ(darker, 0);
        }
    }
}

TEST(ToneStep, GammaFollowsBlueInBlueFirstBuffers) {
    test::TestImage rgb = makeRamp(4), bgr = makeRamp(4);
    ToneValues tone;
    tone.gamma = 0.6f;
    applyToneStep(tone, blockOf(rgb));
    applyToneStep(tone, blockOf(bgr), ChannelOrder::Bgr);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(bgr.at(i, 0, 0), rgb.at(i, 0, 2));
        EXPECT_EQ(bgr.at(i, 0, 2), i);
    }
}

TEST(ToneTables, MidtoneBendPassesOfLightenAndDarken) {
    struct Case {
        double bend;
        int32_t expected;
    } cases[] = {{2.0, 192}, {4.0, 240}, {7.0, 240}, {-2.0, 64}, {-4.0, 16}, {-9.0, 16}};
    for (const Case& c : cases) {
        ToneTables tables;
        tables.applyMidtoneBend(c.bend);
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_EQ(tables.channel(ch)[128], c.expected) << "bend " << c.bend;
    }
    ToneTables half;
    half.applyMidtoneBend(1.0); // half way from 128 to 192
    EXPECT_EQ(half.red()[128], 160);
}

TEST(ToneTables, LevelsClipOutsideTheBlackAndWhitePoints) {
    ToneTables tables;
    tables.setRedLevels(50, 200, 0, 255, 1.0);
    for (int i = 0; i <= 50; ++i)
        EXPECT_EQ(tables.red()[std::size_t(i)], 0) << i;
    for (int i = 200; i < 256; ++i)
        EXPECT_EQ(tables.red()[std::size_t(i)], 255) << i;
    for (int i = 1; i < 256; ++i)
        EXPECT_GE(tables.red()[std::size_t(i)], tables.red()[std::size_t(i - 1)]);
    EXPECT_EQ(tables.green()[100], 100) << "only the red table is rebuilt";
}

TEST(ToneTables, EqualLevelPointsShiftWithoutDividing) {
    ToneTables tables;
    tables.setGreenLevels(100, 100, 0, 255, 1.0);
    EXPECT_EQ(tables.green()[100], 0);
    EXPECT_EQ(tables.green()[101], 255);
}

TEST(ToneTables, NeutralLevelsKeepTheTableAsItIs) {
    ToneTables tables;
    tables.applyMidtoneBend(2.0);
    tables.setBlueLevels(0, 255, 0, 255, 1.0);
    EXPECT_EQ(tables.blue()[128], 192);
    tables.reset();
    EXPECT_EQ(tables.blue()[128], 128);
}

TEST(ToneTables, ApplyLeavesTheFourthByteAndIgnoresNull) {
    test::TestImage img = makeRamp(4);
    for (int i = 0; i < 256; ++i)
        img.at(i, 0, 3) = 0x5A;
    ToneTables tables;
    tables.setRedLevels(0, 255, 255, 0, 1.0); // inverted
    tables.applyTo32(img.data(), 256, 1);
    EXPECT_EQ(img.at(10, 0, 0), 245);
    EXPECT_EQ(img.at(10, 0, 1), 10);
    EXPECT_EQ(img.at(10, 0, 3), 0x5A);
    tables.applyTo24(nullptr, 10, 10);
    tables.applyTo32(nullptr, 10, 10);
}

TEST(ToneStep, AllNeutralLeavesPixelsAndPaddingUntouched) {
    test::TestImage img = test::makeRandom(31, 7, 5, /*padBytes=*/3);
    const test::TestImage before = img;
    ColorSettings settings;
    applyColorSteps(settings, blockOf(img));
    applyToneStep(settings.tone, blockOf(img));
    EXPECT_EQ(img.bytes, before.bytes);
    EXPECT_FALSE(ColorPass(settings).active());
}

TEST(BoostColors, GreyStaysGreyAtEveryStrength) {
    test::TestImage img = makeRamp(3);
    const test::TestImage before = img;
    for (int strength = 1; strength <= 100; strength += 11)
        boostColors(img.data(), img.width, img.height, strength, 3);
    EXPECT_EQ(img.bytes, before.bytes);
}

TEST(BoostColors, MovesEachChannelAwayFromTheOthers) {
    for (int bpp : {3, 4}) {
        uint8_t px[4] = {200, 100, 50, 0x77};
        boostColors(px, 1, 1, 100, bpp);
        // (510*200 - 100*150) / 310 = 280 -> 255; (51000 - 25000) / 310 = 83; negative -> 0.
        EXPECT_EQ(px[0], 255);
        EXPECT_EQ(px[1], 83);
        EXPECT_EQ(px[2], 0);
        EXPECT_EQ(px[3], 0x77);
    }
    uint8_t px[3] = {120, 100, 110};
    boostColors(px, 1, 1, 50, 3); // d = 410: (61200 - 10500) / 410 = 123.6 -> 123
    EXPECT_EQ(px[0], 123);
    EXPECT_EQ(px[1], 96);  // (51000 - 11500) / 410 = 96.3
    EXPECT_EQ(px[2], 110); // (56100 - 11000) / 410 = 110
    uint8_t same[3] = {1, 2, 3};
    boostColors(same, 1, 1, 0, 3);
    boostColors(same, 1, 1, 255, 3);
    EXPECT_EQ(same[2], 3);
}

} // namespace
} // namespace velanox::color

namespace velanox::color {
namespace {

TEST(BoostColors, TabulatedBoostGivesTheBytesOfDividing) {
    // Large enough for the table; every pixel is compared with the boost of it alone.
    test::TestImage img = test::makeRandom(320, 240, 17);
    for (int x = 0; x < 8; ++x) { // extreme pixels too
        img.at(x, 0, 0) = 255;
        img.at(x, 0, 1) = uint8_t(x * 36);
        img.at(x, 0, 2) = 0;
    }
    for (int strength : {1, 37, 100, 254}) {
        test::TestImage whole = img;
        boostColors(core::ImageView(whole.data(), 320, 240, 4, whole.stride), strength);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                uint8_t px[3] = {img.at(x, y, 0), img.at(x, y, 1), img.at(x, y, 2)};
                boostColors(px, 1, 1, strength, 3);
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(whole.at(x, y, c), px[c]) << x << "," << y << " at " << strength;
            }
    }
}

} // namespace
} // namespace velanox::color
