// The shipped engine against the straightforward one: both sum the same products in the same
// order, so the bytes are expected to be identical; the stated tolerance (at most +-1 on at most
// 0.01 % of the samples) is what the comparison enforces.
#include "engine/engine_workspace.h"
#include "engine/noise_reducer.h"
#include "engine/reference/reference_noise_reducer.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <vector>

using velanox::core::StatusCode;
using velanox::engine::reduceNoiseReference;
using velanox::test::makeNoisyScene;
using velanox::test::makeRandom;
using velanox::test::TestImage;

namespace {

struct Comparison {
    std::size_t samples = 0, differing = 0;
    int worst = 0;
};

Comparison compareEngines(const TestImage& source, const NrParams& params) {
    TestImage fast = source, reference = source;
    EXPECT_TRUE(velanox::engine::reduceNoise(fast.view(), params).ok());
    EXPECT_TRUE(reduceNoiseReference(reference.view(), params).ok());
    Comparison c;
    for (std::size_t i = 0; i < fast.bytes.size(); ++i) {
        const int d = std::abs(int(fast.bytes[i]) - int(reference.bytes[i]));
        c.samples += 1;
        c.differing += d != 0;
        c.worst = std::max(c.worst, d);
    }
    return c;
}

void expectWithinTolerance(const Comparison& c, const std::string& what) {
    EXPECT_LE(c.worst, 1) << what;
    EXPECT_LE(double(c.differing), 1e-4 * double(c.samples)) << what;
}

} // namespace

TEST(FastEngine, MatchesTheReferenceOnRandomBlocks) {
    Comparison total;
    int cases = 0;
    for (auto [w, h] : {std::pair{32, 32}, std::pair{33, 47}, std::pair{64, 64}, std::pair{127, 35},
                        std::pair{257, 129}, std::pair{1000, 37}, std::pair{37, 300}}) {
        for (int levels : {2, 3, 5}) {
            for (double threshold : {0.5, 8.0, 100.0}) {
                const TestImage img = makeRandom(w, h, uint32_t(w * 7 + h + levels), 8);
                const Comparison c =
                    compareEngines(img, NrParams{1, levels, threshold, 1, nullptr, nullptr});
                expectWithinTolerance(c, std::to_string(w) + "x" + std::to_string(h) + " L" +
                                             std::to_string(levels));
                total.samples += c.samples;
                total.differing += c.differing;
                total.worst = std::max(total.worst, c.worst);
                ++cases;
            }
        }
    }
    // Measured: 0 differing samples of all compared (identical bytes).
    RecordProperty("differing_samples", std::to_string(total.differing));
    RecordProperty("compared_samples", std::to_string(total.samples));
    EXPECT_EQ(total.differing, 0u) << "over " << cases << " blocks";
}

TEST(FastEngine, MatchesTheReferenceOnNoisyScenesInBothModes) {
    for (int perChannel : {1, 0}) {
        const TestImage img = makeNoisyScene(613, 401, 11.0, 5);
        const Comparison c = compareEngines(img, NrParams{1, 5, 8.0, perChannel, nullptr, nullptr});
        expectWithinTolerance(c, "perChannel " + std::to_string(perChannel));
        EXPECT_EQ(c.differing, 0u);
    }
}

TEST(FastEngine, ReportsProgressLikeTheReference) {
    struct Log {
        std::vector<int> steps;
        static int32_t record(int32_t step, int32_t, void* context) {
            static_cast<Log*>(context)->steps.push_back(step);
            return step == 20 ? 1 : 0; // cancel in the second channel's inverse transform
        }
    };
    const TestImage source = makeRandom(200, 90, 1);
    TestImage fast = source, reference = source;
    Log fastLog, referenceLog;
    NrParams p{1, 5, 10.0, 1, &Log::record, &fastLog};
    EXPECT_EQ(velanox::engine::reduceNoise(fast.view(), p).code, StatusCode::Cancelled);
    p.progressContext = &referenceLog;
    EXPECT_EQ(reduceNoiseReference(reference.view(), p).code, StatusCode::Cancelled);
    EXPECT_EQ(fastLog.steps, referenceLog.steps);
    EXPECT_EQ(fast.bytes, reference.bytes) << "the first channel written, the others untouched";
}

TEST(FastEngine, LeavesTheReferenceBytesWhereverARunIsCancelled) {
    // The shipped engine writes a channel back while its last level is inverted; a cancel at any
    // step must still leave exactly the channels the reference would have written.
    struct CancelAt {
        int32_t step;
        static int32_t check(int32_t step, int32_t, void* context) {
            return step == static_cast<CancelAt*>(context)->step ? 1 : 0;
        }
    };
    const TestImage source = makeNoisyScene(150, 70, 9.0, 3);
    for (int perChannel : {1, 0}) {
        // Steps 1..36 of 36 per channel; the luminance run reports 1..12 of its 14.
        const int32_t total = perChannel == 1 ? 36 : 12;
        for (int32_t step = 1; step <= total + 1; ++step) {
            TestImage fast = source, reference = source;
            CancelAt cancel{step};
            const NrParams p{1, 5, 6.0, perChannel, &CancelAt::check, &cancel};
            const StatusCode code = velanox::engine::reduceNoise(fast.view(), p).code;
            EXPECT_EQ(code, reduceNoiseReference(reference.view(), p).code);
            EXPECT_EQ(code, step <= total ? StatusCode::Cancelled : StatusCode::Ok);
            EXPECT_EQ(fast.bytes, reference.bytes)
                << "perChannel " << perChannel << ", cancelled at step " << step;
        }
    }
}

TEST(FastEngine, AKeptWorkspaceGivesTheBytesOfAFreshOne) {
    // Growing, shrinking and odd sizes, padded rows, both modes: the planes kept from an earlier
    // call hold stale values that no later call may read.
    velanox::engine::EngineWorkspace workspace;
    int call = 0;
    for (auto [w, h, pad] : {std::tuple{700, 300, 0}, std::tuple{45, 33, 12},
                             std::tuple{1001, 97, 8}, std::tuple{333, 555, 0}}) {
        for (int perChannel : {1, 0}) {
            const TestImage source = makeRandom(w, h, uint32_t(++call), pad);
            TestImage kept = source, fresh = source;
            const NrParams p{1, 4, 12.0, perChannel, nullptr, nullptr};
            ASSERT_TRUE(velanox::engine::reduceNoise(kept.view(), p, &workspace).ok());
            ASSERT_EQ(reduceNoise(fresh.width, fresh.height, fresh.stride, fresh.data(), &p),
                      NR_OK);
            EXPECT_EQ(kept.bytes, fresh.bytes) << w << "x" << h << " perChannel " << perChannel;
        }
    }
    EXPECT_GT(workspace.bytes(), 0u);
    workspace.release();
    EXPECT_EQ(workspace.bytes(), 0u);
}
