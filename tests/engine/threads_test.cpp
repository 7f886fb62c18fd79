// The pool the passes are spread over, and the engine's results whatever the thread count.
#include "engine/engine_workspace.h"
#include "engine/large_block.h"
#include "engine/noise_reducer.h"
#include "engine/pixel_filters.h"
#include "engine/threads.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

using velanox::engine::LargeBlock;
using velanox::engine::maxThreads;
using velanox::engine::parallelFor;
using velanox::engine::setThreadLimit;

namespace {

// Sets the calling thread's limit for the life of the object.
struct ThreadLimit {
    explicit ThreadLimit(int threads) { setThreadLimit(threads); }
    ~ThreadLimit() { setThreadLimit(0); }
};

} // namespace

TEST(Threads, EveryItemIsTakenOnceInRunsOnGrainBoundaries) {
    const ThreadLimit limit(8);
    for (int64_t count : {0, 1, 7, 1000, 4099}) {
        for (int64_t grain : {1, 3, 64, 5000}) {
            for (int threads : {1, 2, 3, 8}) {
                std::vector<std::atomic<int>> taken(static_cast<std::size_t>(count));
                std::atomic<bool> misplaced{false};
                parallelFor(count, grain, threads, [&](int64_t begin, int64_t end, int slot) {
                    if (begin % grain != 0 || (end != count && end % grain != 0) || begin >= end ||
                        slot < 0 || slot >= threads)
                        misplaced = true;
                    for (int64_t i = begin; i < end; ++i)
                        taken[std::size_t(i)]++;
                });
                EXPECT_FALSE(misplaced) << count << " " << grain << " " << threads;
                for (int64_t i = 0; i < count; ++i)
                    ASSERT_EQ(taken[std::size_t(i)], 1) << count << " " << grain << " " << threads;
            }
        }
    }
}

TEST(Threads, OneThreadMakesOneRunOnTheCaller) {
    const std::thread::id caller = std::this_thread::get_id();
    int calls = 0;
    parallelFor(100, 7, 1, [&](int64_t begin, int64_t end, int slot) {
        ++calls;
        EXPECT_EQ(begin, 0);
        EXPECT_EQ(end, 100);
        EXPECT_EQ(slot, 0);
        EXPECT_EQ(std::this_thread::get_id(), caller);
    });
    EXPECT_EQ(calls, 1);
}

TEST(Threads, APassInsideAPassStaysOnItsThread) {
    const ThreadLimit limit(4);
    EXPECT_EQ(maxThreads(), 4);
    std::atomic<int> inner{0};
    std::atomic<bool> spread{false};
    parallelFor(16, 1, 4, [&](int64_t begin, int64_t end, int) {
        if (maxThreads() != 1) spread = true;
        const std::thread::id self = std::this_thread::get_id();
        for (int64_t i = begin; i < end; ++i)
            parallelFor(10, 1, 4, [&](int64_t b, int64_t e, int slot) {
                if (slot != 0 || std::this_thread::get_id() != self) spread = true;
                inner += int(e - b);
            });
    });
    EXPECT_FALSE(spread);
    EXPECT_EQ(inner, 160);
}

TEST(Threads, PassesFromSeveralThreadsAtOnceAllFinish) {
    // One of them has the pool; the others make their passes alone meanwhile.
    std::vector<std::thread> callers;
    std::atomic<int64_t> sum{0};
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            const ThreadLimit limit(3);
            for (int pass = 0; pass < 200; ++pass)
                parallelFor(1000, 10, 3, [&](int64_t begin, int64_t end, int) {
                    for (int64_t i = begin; i < end; ++i)
                        sum += i;
                });
        });
    for (std::thread& t : callers)
        t.join();
    EXPECT_EQ(sum, int64_t(4) * 200 * (999 * 1000 / 2));
}

TEST(Threads, TheLimitIsTheCallingThreadsOwn) {
    const int cores = maxThreads();
    EXPECT_GE(cores, 1);
    {
        const ThreadLimit limit(1);
        EXPECT_EQ(maxThreads(), 1);
        int elsewhere = 0;
        std::thread([&] { elsewhere = maxThreads(); }).join();
        EXPECT_EQ(elsewhere, cores);
    }
    EXPECT_EQ(maxThreads(), cores);
}

TEST(Threads, EngineAndFiltersGiveTheSameBytesWhateverTheThreadCount) {
    // Large enough for every pass to be spread: the levels, the filters' bands and the speckle
    // filter's components.
    const velanox::test::TestImage source = velanox::test::makeNoisyScene(901, 613, 12.0, 5);
    std::vector<velanox::test::TestImage> results;
    std::vector<std::vector<uint8_t>> weights, sharpened;
    for (int threads : {1, 2, 3, 5}) {
        const ThreadLimit limit(threads);
        velanox::test::TestImage img = source;
        for (int perChannel : {1, 0}) {
            const NrParams params{1, 5, 9.0, perChannel, nullptr, nullptr};
            velanox::engine::EngineWorkspace workspace;
            ASSERT_TRUE(
                velanox::engine::reduceNoise(
                    velanox::core::ImageView(img.data(), img.width, img.height, 4, img.stride),
                    params, &workspace)
                    .ok());
        }
        ASSERT_TRUE(speckleFilter(img.data(), img.width, img.height, 4, img.stride, 7));
        std::vector<uint8_t> map(std::size_t(img.width) * img.height);
        ASSERT_TRUE(computeEdgeWeights(img.data(), map.data(), img.width, img.height, 4, 20, 1.6f));
        std::vector<uint8_t> sharp(img.bytes.size());
        ASSERT_TRUE(sharpenFilter(img.data(), sharp.data(), img.width, img.height, 4, img.stride,
                                  img.stride, 30, 7));
        results.push_back(img);
        weights.push_back(map);
        sharpened.push_back(sharp);
    }
    for (std::size_t i = 1; i < results.size(); ++i) {
        EXPECT_EQ(results[i].bytes, results[0].bytes) << i;
        EXPECT_EQ(weights[i], weights[0]) << i;
        EXPECT_EQ(sharpened[i], sharpened[0]) << i;
    }
}

TEST(LargeBlock, KeepsABlockOfTheSameSizeAndMovesOwnership) {
    for (std::size_t bytes :
         {std::size_t(100), LargeBlock::kLargeBlockBytes + 12345, std::size_t(40) << 20}) {
        LargeBlock block;
        ASSERT_TRUE(block.allocate(bytes));
        ASSERT_TRUE(block);
        EXPECT_EQ(block.size(), bytes);
        block.data()[0] = 1;
        block.data()[bytes - 1] = 2;
        uint8_t* const data = block.data();
        ASSERT_TRUE(block.allocate(bytes));
        EXPECT_EQ(block.data(), data);
        EXPECT_EQ(block.data()[bytes - 1], 2);
        if (bytes >= LargeBlock::kLargeBlockBytes) { // mapped on a huge-page boundary
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % LargeBlock::kLargeBlockBytes, 0u);
        }

        LargeBlock moved(std::move(block));
        EXPECT_FALSE(block);
        EXPECT_EQ(moved.data(), data);
        LargeBlock assigned;
        ASSERT_TRUE(assigned.allocate(10));
        assigned = std::move(moved);
        EXPECT_EQ(assigned.data(), data);
        EXPECT_EQ(assigned.size(), bytes);
        assigned.release();
        EXPECT_FALSE(assigned);
        EXPECT_EQ(assigned.size(), 0u);
    }
}
