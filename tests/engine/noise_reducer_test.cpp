#include "engine/noise_reducer.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

using velanox::test::makeNoisyScene;
using velanox::test::makeRandom;
using velanox::test::makeUniform;
using velanox::test::TestImage;

namespace {

NrParams params(int levels, double threshold, int perChannel = 1) {
    return NrParams{1, levels, threshold, perChannel, nullptr, nullptr};
}

// Records every progress call and answers "stop" from the given call on (0: never).
struct ProgressLog {
    std::vector<std::pair<int, int>> calls;
    int stopAtCall = 0;
    static int32_t callback(int32_t step, int32_t total, void* context) {
        auto* log = static_cast<ProgressLog*>(context);
        log->calls.emplace_back(step, total);
        return log->stopAtCall != 0 && int(log->calls.size()) >= log->stopAtCall ? 1 : 0;
    }
    NrParams attach(NrParams p) {
        p.progress = &ProgressLog::callback;
        p.progressContext = this;
        return p;
    }
};

int run(TestImage& img, const NrParams& p, bool defaultStride = false) {
    return reduceNoise(img.width, img.height, defaultStride ? -1 : img.stride, img.data(), &p);
}

} // namespace

TEST(ReduceNoise, VersionQueryWritesTheVersionText) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(reduceNoise(0, 0, 0, reinterpret_cast<unsigned char*>(buffer), nullptr), NR_OK);
    EXPECT_STREQ(buffer, "1.0.0");
    EXPECT_EQ(buffer[6], 'x') << "exactly six bytes are written";

    NrParams p = params(5, 8.0);
    EXPECT_EQ(reduceNoise(0, 10, 0, reinterpret_cast<unsigned char*>(buffer), &p),
              NR_INVALID_PARAMETER);
    EXPECT_EQ(reduceNoise(0, 0, 0, nullptr, nullptr), NR_INVALID_PARAMETER);
}

TEST(ReduceNoise, InvalidArgumentsTouchNothingAndNeverCallBack) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int width, height;
        NrParams p;
    } cases[] = {
        {31, 100, params(5, 8.0)},
        {100, 31, params(5, 8.0)},
        {64, 64, params(5, 100.0001)},
        {64, 64, params(5, -0.5)},
        {64, 64, params(5, nan)},
        {64, 64, params(1, 8.0)},
        {64, 64, params(6, 8.0)},
        {64, 64, params(5, 8.0, 2)},
        {64, 64, params(5, 8.0, -1)},
        {64, 64, {0, 5, 8.0, 1, nullptr, nullptr}},
        {64, 64, {2, 5, 8.0, 1, nullptr, nullptr}},
    };
    for (const Case& c : cases) {
        TestImage img = makeRandom(c.width, c.height, 7);
        const TestImage before = img;
        ProgressLog log;
        EXPECT_EQ(run(img, log.attach(c.p)), NR_INVALID_PARAMETER)
            << c.width << "x" << c.height << " levels " << c.p.levels << " T " << c.p.threshold;
        EXPECT_EQ(img.bytes, before.bytes);
        EXPECT_TRUE(log.calls.empty());
    }
    TestImage img = makeRandom(64, 64, 7);
    NrParams p = params(5, 8.0);
    EXPECT_EQ(reduceNoise(64, 64, -1, img.data(), nullptr), NR_INVALID_PARAMETER);
    EXPECT_EQ(reduceNoise(64, 64, -1, nullptr, &p), NR_INVALID_PARAMETER);
    EXPECT_EQ(reduceNoise(64, 64, 4 * 64 - 1, img.data(), &p), NR_INVALID_PARAMETER)
        << "a stride shorter than a row would overlap rows";
    EXPECT_EQ(reduceNoise(64, 64, -256, img.data(), &p), NR_INVALID_PARAMETER);
}

TEST(ReduceNoise, BoundaryValuesAreAccepted) {
    for (auto [w, h, p] : {std::tuple{32, 32, params(2, 100.0)}, std::tuple{32, 40, params(5, 0.5)},
                           std::tuple{40, 32, params(3, 8.0, 0)}}) {
        TestImage img = makeRandom(w, h, 3);
        EXPECT_EQ(run(img, p), NR_OK) << w << "x" << h;
    }
}

TEST(ReduceNoise, ZeroThresholdDoesNothing) {
    TestImage img = makeRandom(48, 40, 11);
    const TestImage before = img;
    ProgressLog log;
    EXPECT_EQ(run(img, log.attach(params(5, 0.0))), NR_OK);
    EXPECT_EQ(img.bytes, before.bytes);
    EXPECT_TRUE(log.calls.empty());
}

TEST(ReduceNoise, ProgressCountsEveryStepInOrder) {
    struct Case {
        int levels, perChannel, lastStep, total;
    } cases[] = {{5, 1, 36, 36}, {2, 1, 18, 18}, {5, 0, 12, 14}, {3, 0, 8, 10}};
    for (const Case& c : cases) {
        TestImage img = makeRandom(40, 36, 5);
        ProgressLog log;
        ASSERT_EQ(run(img, log.attach(params(c.levels, 4.0, c.perChannel))), NR_OK);
        ASSERT_EQ(int(log.calls.size()), c.lastStep);
        for (int i = 0; i < c.lastStep; ++i) {
            EXPECT_EQ(log.calls[i].first, i + 1);
            EXPECT_EQ(log.calls[i].second, c.total);
        }
    }
}

TEST(ReduceNoise, CancelAtTheFirstCallLeavesThePixels) {
    TestImage img = makeRandom(50, 45, 9);
    const TestImage before = img;
    ProgressLog log;
    log.stopAtCall = 1;
    EXPECT_EQ(run(img, log.attach(params(5, 20.0))), NR_CANCELLED);
    EXPECT_EQ(img.bytes, before.bytes);
    EXPECT_EQ(log.calls.size(), 1u) << "no call after the stop";
}

TEST(ReduceNoise, CancelInTheSecondChannelKeepsTheFirst) {
    TestImage full = makeRandom(50, 45, 9);
    const TestImage original = full;
    ASSERT_EQ(run(full, params(5, 20.0)), NR_OK);

    TestImage img = original;
    ProgressLog log;
    log.stopAtCall = 13; // 12 steps per channel with 5 levels: the second channel's first call
    EXPECT_EQ(run(img, log.attach(params(5, 20.0))), NR_CANCELLED);
    EXPECT_EQ(log.calls.size(), 13u);
    bool component0Changed = false;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            EXPECT_EQ(img.at(x, y, 0), full.at(x, y, 0));
            component0Changed |= img.at(x, y, 0) != original.at(x, y, 0);
            EXPECT_EQ(img.at(x, y, 1), original.at(x, y, 1));
            EXPECT_EQ(img.at(x, y, 2), original.at(x, y, 2));
        }
    EXPECT_TRUE(component0Changed);
}

TEST(ReduceNoise, UniformBlockLosesTheThresholdThroughTheApproximationBand) {
    TestImage img = makeUniform(40, 40, 100);
    ASSERT_EQ(run(img, params(2, 100.0)), NR_OK);
    // 100 - 100 / 2^2 in the middle; the zero corners of the margin darken the corners, and the
    // borders ring above the middle value.
    EXPECT_EQ(img.at(20, 20, 0), 75);
    EXPECT_EQ(img.at(19, 20, 1), 75);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{39, 0}, std::pair{0, 39}, std::pair{39, 39}})
        EXPECT_LT(img.at(x, y, 2), 75) << x << "," << y;
    int brightest = 0;
    for (int x = 0; x < 40; ++x)
        brightest = std::max(brightest, int(img.at(x, 0, 0)));
    EXPECT_GT(brightest, 75) << "the fall toward the corners is not monotone";
    EXPECT_LE(brightest, 84);
}

TEST(ReduceNoise, TinyThresholdKeepsAUniformBlockWithEvenLines) {
    for (unsigned char value : {0, 1, 100, 254, 255}) {
        TestImage img = makeUniform(64, 64, value);
        const TestImage before = img;
        ASSERT_EQ(run(img, params(5, 0.0001)), NR_OK);
        EXPECT_EQ(img.bytes, before.bytes) << "value " << int(value);
    }
}

TEST(ReduceNoise, ReconstructsRandomBlocksOfOddAndEvenSizes) {
    for (auto [w, h] : {std::pair{33, 47}, std::pair{64, 64}, std::pair{257, 129},
                        std::pair{1000, 37}, std::pair{32, 32}}) {
        for (int levels : {2, 5}) {
            TestImage img = makeRandom(w, h, w * 31 + h);
            const TestImage before = img;
            ASSERT_EQ(run(img, params(levels, 0.0001)), NR_OK);
            EXPECT_LE(velanox::test::maxComponentDifference(img, before), 1)
                << w << "x" << h << " levels " << levels;
        }
    }
}

TEST(ReduceNoise, LeavesByteThreeAndRowPaddingAlone) {
    TestImage img = makeRandom(45, 38, 21, /*padBytes=*/12);
    ASSERT_EQ(run(img, params(5, 30.0)), NR_OK);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x)
            ASSERT_EQ(img.at(x, y, 3), 0xA5);
        for (int b = img.width * 4; b < img.stride; ++b)
            ASSERT_EQ(img.bytes[std::size_t(y) * img.stride + b], 0xA5);
    }
}

TEST(ReduceNoise, WiderStrideGivesTheSameResultAsPackedRows) {
    TestImage packed = makeRandom(41, 39, 4);
    TestImage padded = makeUniform(41, 39, 0, 4, 20);
    for (int y = 0; y < 39; ++y)
        for (int x = 0; x < 41; ++x)
            for (int k = 0; k < 4; ++k)
                padded.at(x, y, k) = packed.at(x, y, k);
    ASSERT_EQ(run(packed, params(4, 12.0), /*defaultStride=*/true), NR_OK);
    ASSERT_EQ(run(padded, params(4, 12.0)), NR_OK);
    for (int y = 0; y < 39; ++y)
        for (int x = 0; x < 41; ++x)
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(packed.at(x, y, k), padded.at(x, y, k));
}

TEST(ReduceNoise, LuminanceModeMovesGreenMostAndKeepsColorDifferences) {
    TestImage img = makeNoisyScene(96, 80, 12.0, 3);
    // Keep every component away from the clamps.
    for (auto& b : img.bytes)
        b = static_cast<unsigned char>(60 + b / 2);
    const TestImage before = img;
    ASSERT_EQ(run(img, params(3, 10.0, 0)), NR_OK);
    int checked = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int d0 = img.at(x, y, 0) - before.at(x, y, 0);
            const int d1 = img.at(x, y, 1) - before.at(x, y, 1);
            const int d2 = img.at(x, y, 2) - before.at(x, y, 2);
            // Components 0 and 2 move by the same change of luminance (each truncated once);
            // component 1 by about 1.7036 times it.
            EXPECT_LE(std::abs(d0 - d2), 1) << x << "," << y;
            if (std::abs(d0) >= 4) {
                EXPECT_NEAR(double(d1) / d0, 1.7036, 0.5) << x << "," << y;
                ++checked;
            }
        }
    EXPECT_GT(checked, 100);
}

TEST(ReduceNoise, ReducesRealisticNoise) {
    TestImage clean;
    TestImage img = makeNoisyScene(256, 192, 10.0, 17, &clean);
    const double before = velanox::test::psnr(img, clean);
    ASSERT_EQ(run(img, params(5, 8.0)), NR_OK);
    EXPECT_GT(velanox::test::psnr(img, clean), before + 3.0);
}

// Guards the exact arithmetic of the straightforward engine: any change of order, tap, margin or
// rounding changes this checksum. Faster engines are compared against this one, not this sum.
TEST(ReduceNoise, GoldenChecksumOfAnOddSizedNoisyBlock) {
    TestImage img = makeNoisyScene(97, 61, 9.0, 123);
    ASSERT_EQ(run(img, params(5, 8.0)), NR_OK);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < img.bytes.size(); ++i)
        sum = sum * 1099511628211ull + img.bytes[i] + 1;
    EXPECT_EQ(sum, 16584287066772719412ull) << "update only for an intended change of results";
}
