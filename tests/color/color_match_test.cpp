#include "color/color_steps.h"
#include "color/match_tables.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <set>

namespace velanox::color {
namespace {

core::ConstImageView constBlockOf(const test::TestImage& img) {
    return img.view();
}

TEST(ColorStatistics, CumulativeFractionsPerChannel) {
    test::TestImage img = test::makeUniform(4, 1, 0, 3);
    const uint8_t reds[4] = {10, 10, 20, 250};
    for (int x = 0; x < 4; ++x)
        img.at(x, 0, 0) = reds[x];
    const ColorStatistics stats = computeColorStatistics(constBlockOf(img));
    EXPECT_EQ(stats[0][9], 0.0);
    EXPECT_EQ(stats[0][10], 0.5);
    EXPECT_EQ(stats[0][19], 0.5);
    EXPECT_EQ(stats[0][20], 0.75);
    EXPECT_EQ(stats[0][255], 1.0);
    EXPECT_EQ(stats[1][0], 1.0);
    EXPECT_EQ(computeColorStatistics(core::ConstImageView()), ColorStatistics{});
}

TEST(MatchTables, AnImageMatchedToItselfKeepsItsValuesBeforeSmoothing) {
    test::TestImage img = test::makeUniform(64, 8, 0, 3);
    std::set<int> used;
    for (int x = 0; x < 64; ++x) {
        const int v = 40 + 3 * x; // 40, 43, ..., 229
        used.insert(v);
        for (int y = 0; y < 8; ++y)
            img.at(x, y, 1) = uint8_t(v);
    }
    const ColorStatistics stats = computeColorStatistics(constBlockOf(img));
    const MatchTable table = buildMatchTable(stats[1], stats[1]);
    int lastUsed = 0;
    for (int i = 0; i < 256; ++i) {
        if (used.count(i)) lastUsed = i;
        EXPECT_EQ(table[std::size_t(i)], lastUsed) << "value " << i;
    }
}

TEST(MatchTables, ShiftedReferenceShiftsTheTable) {
    // Source values spread over 0..127, reference over 128..255.
    test::TestImage src = test::makeUniform(128, 1, 0, 3), ref = test::makeUniform(128, 1, 0, 3);
    for (int x = 0; x < 128; ++x)
        for (int c = 0; c < 3; ++c) {
            src.at(x, 0, c) = uint8_t(x);
            ref.at(x, 0, c) = uint8_t(128 + x);
        }
    const MatchTables tables = buildMatchTables(computeColorStatistics(constBlockOf(src)),
                                                computeColorStatistics(constBlockOf(ref)));
    for (int i = 30; i < 100; ++i)
        EXPECT_NEAR(tables[0][std::size_t(i)], i + 128, 1) << i;
    for (int i = 1; i < 256; ++i)
        EXPECT_GE(tables[2][std::size_t(i)], tables[2][std::size_t(i - 1)]);
}

TEST(MatchTables, SmoothingTakesTheEntryItselfBeyondTheEnds) {
    MatchTables tables = MatchValues::identityMatchTables();
    tables[0].fill(0);
    tables[0][1] = 200;
    smoothMatchTables(tables);
    // Taps left of entry 0 read entry 1 itself (200), not entry 0 or zero: about half the
    // kernel's weight. Clamping to the edge would give about a twentieth.
    EXPECT_GT(tables[0][1], 80);
    EXPECT_LT(tables[0][1], 110);
    EXPECT_EQ(tables[0][100], 0);
}

TEST(MatchBlend, FadeEndsAndTheShiftByEightBits) {
    MatchTable table{};
    table.fill(200);
    for (int v = 1; v < 256; ++v)
        EXPECT_EQ(matchBlend(table, 255, uint8_t(v)), v - 1);
    EXPECT_EQ(matchBlend(table, 255, 0), 0);
    EXPECT_EQ(matchBlend(table, 0, 17), (255 * 200) >> 8);
    EXPECT_EQ(matchBlend(table, 300, 255), 254) << "a fade beyond 255 acts as 255";
}

TEST(ColorSteps, OneFusedPassEqualsTheStepsInOrder) {
    ColorSettings settings;
    settings.match.matchActive = 1;
    settings.match.matchFade = 70;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            settings.match.matchTables[std::size_t(c)][std::size_t(i)] =
                uint8_t(std::min(255, i / 2 + 40 * c + 30));
    settings.tone = ToneValues{20, 230, 0.8f, 1.3, 35};

    for (ChannelOrder order : {ChannelOrder::Rgb, ChannelOrder::Bgr}) {
        test::TestImage fused = test::makeRandom(53, 9, 11, 4);
        test::TestImage stepwise = fused;
        applyColorSteps(settings, core::ImageView(fused.data(), 53, 9, 4, fused.stride), order);
        const core::ImageView block(stepwise.data(), 53, 9, 4, stepwise.stride);
        applyMatchBlend(settings.match.matchTables, settings.match.matchFade, block, order);
        applyToneStep(settings.tone, block, order);
        EXPECT_EQ(fused.bytes, stepwise.bytes);
    }
}

} // namespace
} // namespace velanox::color
