// The memory settings that bound a processing run: the largest block given to the engine in one
// call, the buffer size from which work buffers move from the heap to memory mappings, and the
// budget a whole run must fit in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace velanox::pipeline {

struct MemoryLimits {
    int32_t MaxBlockW = 3100;
    int32_t MaxBlockH = 2100;
    int32_t MaxSwapW = 2000;
    int32_t MaxSwapH = 2000;
    /// The memory a whole run may use, in bytes; 0: half the machine's memory. Pictures whose
    /// run would need more are refused before they are decoded (pipeline/memory_estimate.h).
    uint64_t budgetBytes = 0;
    /// Set by a caller that knows no run will keep a pre-reduction copy (no colour step and no
    /// automatic mode): the estimate then leaves that copy out.
    bool runsWithoutCopy = false;
    /// Set by a caller that knows the type the result will be saved as: what its writer holds
    /// beyond the 1 byte a pixel counted for a compressed file, in bytes a pixel (the file and
    /// the writer's copies, made whole in memory before the file is written).
    uint32_t saveBytesPerPixel = 0;

    /// MaxSwapW * MaxSwapH * 4 bytes, computed without overflow: negative factors count as 0
    /// and a product beyond size_t saturates.
    std::size_t swapThreshold() const {
        const std::size_t w = MaxSwapW > 0 ? std::size_t(MaxSwapW) : 0;
        const std::size_t h = MaxSwapH > 0 ? std::size_t(MaxSwapH) : 0;
        constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
        if (w != 0 && h > kMax / 4 / w) return kMax;
        return w * h * 4;
    }

    /// The block sizes the pipeline tiles with. The settings dialog accepts any integer, and the
    /// tiling divides by these, so values below 1 are taken as 1.
    int32_t blockWidth() const { return MaxBlockW > 0 ? MaxBlockW : 1; }
    int32_t blockHeight() const { return MaxBlockH > 0 ? MaxBlockH : 1; }
};

} // namespace velanox::pipeline
