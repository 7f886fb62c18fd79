// The whole run's memory against the budget, checked with the header's size (codec/codec.h).
#include "codec/codec.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace velanox::codec {

namespace {

constexpr uint64_t kAll = std::numeric_limits<uint64_t>::max();

uint64_t times(uint64_t a, uint64_t b) {
    if (a != 0 && b > kAll / a) return kAll;
    return a * b;
}

uint64_t plus(uint64_t a, uint64_t b) {
    return b > kAll - a ? kAll : a + b;
}

} // namespace

uint64_t MemoryBudget::need(int64_t width, int64_t height) const {
    if (width <= 0 || height <= 0) return fixedBytes;
    const uint64_t w = uint64_t(width), h = uint64_t(height);
    const uint64_t bw = blockWidth > 0 ? std::min(w, uint64_t(blockWidth)) : w;
    const uint64_t bh = blockHeight > 0 ? std::min(h, uint64_t(blockHeight)) : h;
    const uint64_t pixels = times(w, h);
    return plus(plus(fixedBytes, times(pixels, bytesPerPixel)),
                times(times(bw, bh), bytesPerBlockPixel));
}

std::string formatBytes(uint64_t bytes) {
    constexpr uint64_t kKB = 1024, kMB = kKB << 10, kGB = kMB << 10;
    char text[48];
    if (bytes >= kGB)
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / double(kGB));
    else if (bytes >= kMB)
        std::snprintf(text, sizeof text, "%llu MB", (unsigned long long)((bytes + kMB / 2) / kMB));
    else if (bytes >= kKB)
        std::snprintf(text, sizeof text, "%llu KB", (unsigned long long)((bytes + kKB / 2) / kKB));
    else
        std::snprintf(text, sizeof text, "%llu bytes", (unsigned long long)bytes);
    return text;
}

Status checkBudget(int64_t width, int64_t height, const MemoryBudget& budget) {
    if (budget.budgetBytes == 0) return Status::success();
    const uint64_t need = budget.need(width, height);
    if (need <= budget.budgetBytes) return Status::success();
    std::string needText = formatBytes(need), budgetText = formatBytes(budget.budgetBytes);
    if (needText == budgetText) { // just over: enough digits to tell them apart
        char text[2][48];
        std::snprintf(text[0], sizeof text[0], "%.2f GB", double(need) / double(uint64_t(1) << 30));
        std::snprintf(text[1], sizeof text[1], "%.2f GB",
                      double(budget.budgetBytes) / double(uint64_t(1) << 30));
        needText = text[0];
        budgetText = text[1];
    }
    return Status::failure(core::StatusCode::TooLarge,
                           "The picture (" + std::to_string(width) + " x " +
                               std::to_string(height) + ", needs about " + needText +
                               ") is larger than the memory budget (" + budgetText + ").");
}

} // namespace velanox::codec
