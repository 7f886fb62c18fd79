// The sharpen, speckle and edge-weight filters with random sizes, depths, strides, masks and
// parameters: they either refuse or stay inside their buffers (ASan watches), never write
// components outside the mask, never change their source, and give exactly the bytes (and the
// answer) of the plain filters in engine/reference/.
#include "engine/pixel_filters.h"
#include "engine/reference/reference_pixel_filters.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

namespace {

std::vector<uint8_t> buffer(std::size_t size, const std::vector<uint8_t>& fill) {
    std::vector<uint8_t> b(std::max<std::size_t>(size, 1));
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = fill.empty() ? uint8_t(i * 13) : fill[i % fill.size()];
    return b;
}

bool insideMask(std::size_t i, int stride, int width, int bpp, int mask) {
    if (stride <= 0 || bpp <= 0) return false;
    const std::size_t inRow = i % std::size_t(stride);
    if (inRow >= std::size_t(width) * bpp) return false;
    const int k = int(inRow % bpp);
    return k < 8 && (mask & (1 << k)) != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegralInRange(-1, 48);
    const int height = in.ConsumeIntegralInRange(-1, 48);
    const int bpp = in.ConsumeIntegralInRange(0, 9);
    const int rowBytes = std::max(width, 0) * bpp;
    const int stride = rowBytes + in.ConsumeIntegralInRange(-2, 6);
    const int mask = in.ConsumeIntegralInRange(0, 0x1FF);
    const int amount = in.ConsumeIntegralInRange(-50, 300);
    const int threshold = in.ConsumeIntegralInRange(-10, 300);
    const float gain = in.ConsumeFloatingPointInRange(-5.0f, 20.0f);
    const int which = in.ConsumeIntegralInRange(0, 2);
    const std::vector<uint8_t> fill = in.ConsumeRemainingBytes<uint8_t>();
    const std::size_t bytes = std::size_t(std::max(stride, 0)) * std::max(height, 0);

    if (which == 0) {
        const std::vector<uint8_t> source = buffer(bytes, fill);
        const std::vector<uint8_t> copy = source;
        std::vector<uint8_t> destination = buffer(bytes, {0x5A});
        const std::vector<uint8_t> before = destination;
        std::vector<uint8_t> reference = destination;
        const bool ok = sharpenFilter(source.data(), destination.data(), width, height, bpp, stride,
                                      stride, amount, mask);
        const bool referenceOk =
            velanox::engine::sharpenFilterReference(
                velanox::core::ConstImageView(source.data(), width, height, bpp, stride),
                velanox::core::ImageView(reference.data(), width, height, bpp, stride), amount,
                mask)
                .ok();
        if (source != copy || ok != referenceOk || destination != reference) std::abort();
        for (std::size_t i = 0; i < destination.size(); ++i)
            if ((!ok || !insideMask(i, stride, width, bpp, mask)) && destination[i] != before[i])
                std::abort();
    } else if (which == 1) {
        std::vector<uint8_t> pixels = buffer(bytes, fill);
        const std::vector<uint8_t> before = pixels;
        std::vector<uint8_t> reference = pixels;
        const bool ok = speckleFilter(pixels.data(), width, height, bpp, stride, mask);
        const bool referenceOk =
            velanox::engine::speckleFilterReference(
                velanox::core::ImageView(reference.data(), width, height, bpp, stride), mask)
                .ok();
        if (ok != referenceOk || pixels != reference) std::abort();
        for (std::size_t i = 0; i < pixels.size(); ++i)
            if ((!ok || !insideMask(i, stride, width, bpp, mask)) && pixels[i] != before[i])
                std::abort();
    } else {
        const std::vector<uint8_t> pixels =
            buffer(std::size_t(std::max(rowBytes, 0)) * std::max(height, 0), fill);
        std::vector<uint8_t> map(
            std::max<std::size_t>(std::size_t(std::max(width, 0)) * std::max(height, 0), 1), 0x77);
        const std::vector<uint8_t> before = map;
        std::vector<uint8_t> reference = map;
        const bool ok =
            computeEdgeWeights(pixels.data(), map.data(), width, height, bpp, threshold, gain);
        if (!ok && map != before) std::abort();
        const bool referenceOk =
            velanox::engine::computeEdgeWeightsReference(
                velanox::core::ConstImageView(pixels.data(), width, height, bpp), reference.data(),
                threshold, gain)
                .ok();
        if (ok != referenceOk || map != reference) std::abort();
    }
    return 0;
}
