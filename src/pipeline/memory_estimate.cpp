#include "pipeline/memory_estimate.h"

#include "codec/contained_reader.h"

namespace velanox::pipeline {

uint64_t memoryBudgetBytes(const MemoryLimits& limits) {
    return limits.budgetBytes != 0 ? limits.budgetBytes : codec::defaultMemoryBudget();
}

codec::MemoryBudget runMemoryBudget(const MemoryLimits& limits) {
    codec::MemoryBudget budget;
    budget.budgetBytes = memoryBudgetBytes(limits);
    budget.fixedBytes = kRunFixedBytes;
    budget.bytesPerPixel = kRunBytesPerPixel +
                           (limits.runsWithoutCopy ? 0 : kPreReductionCopyBytes) +
                           limits.saveBytesPerPixel;
    budget.blockWidth = limits.blockWidth();
    budget.blockHeight = limits.blockHeight();
    budget.bytesPerBlockPixel = kEngineBytesPerBlockPixel;
    return budget;
}

uint64_t estimateRunBytes(int64_t width, int64_t height, const MemoryLimits& limits) {
    return runMemoryBudget(limits).need(width, height);
}

} // namespace velanox::pipeline
