#include "pipeline/memory_estimate.h"

#include "codec/contained_reader.h"

#include <gtest/gtest.h>

namespace velanox::pipeline {
namespace {

TEST(MemoryEstimate, BlockLimitsAndTheCopyChangeWhatARunNeeds) {
    MemoryLimits limits; // 3100 x 2100 blocks
    const int64_t w = 12500, h = 8320;
    const uint64_t pixels = uint64_t(w) * uint64_t(h);
    const uint64_t full = estimateRunBytes(w, h, limits);
    EXPECT_EQ(full, kRunFixedBytes + pixels * (kRunBytesPerPixel + kPreReductionCopyBytes) +
                        3100ull * 2100 * kEngineBytesPerBlockPixel);
    // Smaller blocks lower it by what the engine's planes no longer hold.
    MemoryLimits small = limits;
    small.MaxBlockW = small.MaxBlockH = 1000;
    EXPECT_EQ(full - estimateRunBytes(w, h, small),
              (3100ull * 2100 - 1000ull * 1000) * kEngineBytesPerBlockPixel);
    // A block limit below 1 counts as 1, as the tiling takes it.
    MemoryLimits none = limits;
    none.MaxBlockW = none.MaxBlockH = -7;
    EXPECT_EQ(estimateRunBytes(w, h, none),
              kRunFixedBytes + pixels * 15 + kEngineBytesPerBlockPixel);
    MemoryLimits noCopy = limits;
    noCopy.runsWithoutCopy = true;
    EXPECT_EQ(full - estimateRunBytes(w, h, noCopy), pixels * kPreReductionCopyBytes);
    // What the writer of the output's type holds counts for every pixel.
    MemoryLimits raw = noCopy;
    raw.saveBytesPerPixel = 5;
    EXPECT_EQ(estimateRunBytes(w, h, raw) - estimateRunBytes(w, h, noCopy), pixels * 5);
    // A picture smaller than a block is one block.
    EXPECT_EQ(estimateRunBytes(100, 50, limits),
              kRunFixedBytes + 5000 * (15 + kEngineBytesPerBlockPixel));
}

TEST(MemoryEstimate, TheBudgetIsHalfTheMachinesMemoryUnlessSet) {
    MemoryLimits limits;
    EXPECT_EQ(memoryBudgetBytes(limits), codec::defaultMemoryBudget());
    EXPECT_GT(memoryBudgetBytes(limits), 0u);
    limits.budgetBytes = uint64_t(3) << 30;
    const codec::MemoryBudget b = runMemoryBudget(limits);
    EXPECT_EQ(b.budgetBytes, uint64_t(3) << 30);
    EXPECT_EQ(b.blockWidth, 3100);
    EXPECT_EQ(b.blockHeight, 2100);
    EXPECT_TRUE(codec::checkBudget(10000, 10000, b).ok());
    EXPECT_EQ(codec::checkBudget(20000, 20000, b).code, core::StatusCode::TooLarge);
}

} // namespace
} // namespace velanox::pipeline
