#include "pipeline/swap_buffer.h"

#include "pipeline/memory_limits.h"
#include "pipeline/run_observer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using velanox::pipeline::MemoryLimits;
using velanox::pipeline::MessageSink;
using velanox::pipeline::SwapBuffer;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELANOX_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VELANOX_UNDER_ASAN)
// The out-of-memory test asks for an impossible size on purpose: let the allocator answer with
// null, as the program's own allocator does, instead of stopping.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

namespace {

struct Messages : MessageSink {
    std::vector<std::string> texts;
    void showMessage(std::string_view text) override { texts.emplace_back(text); }
};

} // namespace

TEST(SwapBuffer, SizesUpToTheThresholdComeFromTheHeapAndLargerOnesFromAMapping) {
    SwapBuffer buffer;
    buffer.setThreshold(1000);
    ASSERT_TRUE(buffer.allocate(1000));
    EXPECT_FALSE(buffer.isMapped());
    ASSERT_TRUE(buffer.allocate(1001));
    EXPECT_TRUE(buffer.isMapped());
    EXPECT_EQ(buffer.size(), 1001u);
    // The whole block, and the slack beyond it, is writable.
    std::memset(buffer.data(), 0x5A, buffer.size() + SwapBuffer::kMappingSlack);
    buffer.release();
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_FALSE(buffer.isMapped());
}

TEST(SwapBuffer, TheSameSizeKeepsTheBlockAndItsContentsAnotherSizeReplacesIt) {
    for (std::size_t threshold : {std::size_t(1) << 20, std::size_t(16)}) {
        SwapBuffer buffer;
        buffer.setThreshold(threshold);
        ASSERT_TRUE(buffer.allocate(4096));
        std::memset(buffer.data(), 7, 4096);
        uint8_t* const block = buffer.data();
        ASSERT_TRUE(buffer.allocate(4096));
        EXPECT_EQ(buffer.data(), block);
        EXPECT_EQ(buffer.data()[4095], 7);
        ASSERT_TRUE(buffer.allocate(100));
        EXPECT_EQ(buffer.size(), 100u);
        EXPECT_EQ(buffer.isMapped(), 100 > threshold);
    }
}

TEST(SwapBuffer, AnImpossibleSizeReportsOutOfMemoryAndHoldsNothing) {
    Messages messages;
    SwapBuffer buffer;
    buffer.setThreshold(16);
    ASSERT_TRUE(buffer.allocate(64));
    EXPECT_FALSE(buffer.allocate(std::numeric_limits<std::size_t>::max() - 10, &messages));
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Out of memory"});
    // Still usable afterwards.
    EXPECT_TRUE(buffer.allocate(64, &messages));
}

TEST(MemoryLimits, ThresholdAndBlockSizesStaySaneForAnyStoredValues) {
    MemoryLimits defaults;
    EXPECT_EQ(defaults.swapThreshold(), 16000000u);
    MemoryLimits large;
    large.MaxSwapW = std::numeric_limits<int32_t>::max();
    large.MaxSwapH = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(large.swapThreshold(), std::size_t(std::numeric_limits<int32_t>::max()) *
                                         std::size_t(std::numeric_limits<int32_t>::max()) * 4);
    MemoryLimits negative;
    negative.MaxSwapW = -2000;
    negative.MaxBlockW = 0;
    negative.MaxBlockH = -5;
    EXPECT_EQ(negative.swapThreshold(), 0u);
    EXPECT_EQ(negative.blockWidth(), 1);
    EXPECT_EQ(negative.blockHeight(), 1);
}
