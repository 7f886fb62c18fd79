// What a whole run over a picture needs in memory, reckoned from its size before it is decoded:
// the source and the result (3 bytes a pixel each), the working copy (4), the pre-reduction copy
// (4, when colour steps or the automatic mode keep one), the encoded file and rows in flight (1,
// and what the writer of a file that keeps the pixels as they are holds beyond it),
// the engine's planes and scratch for the largest block (16 bytes a block pixel) and a fixed part
// for the program, its libraries and threads.
#pragma once

#include "codec/codec.h"
#include "pipeline/memory_limits.h"

#include <cstdint>

namespace velanox::pipeline {

inline constexpr uint32_t kRunBytesPerPixel = 11;     ///< without a pre-reduction copy
inline constexpr uint32_t kPreReductionCopyBytes = 4; ///< per pixel, when one is kept
inline constexpr uint32_t kEngineBytesPerBlockPixel = 16;
inline constexpr uint64_t kRunFixedBytes = uint64_t(128) << 20;

/// The budget in force: limits.budgetBytes, or half the machine's memory when that is 0.
uint64_t memoryBudgetBytes(const MemoryLimits& limits);

/// The readers' check for a whole run under these limits, with the budget in force.
codec::MemoryBudget runMemoryBudget(const MemoryLimits& limits);

/// Bytes a whole run over a width x height picture needs under these limits.
uint64_t estimateRunBytes(int64_t width, int64_t height, const MemoryLimits& limits);

} // namespace velanox::pipeline
