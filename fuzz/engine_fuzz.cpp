// reduceNoise with random sizes, strides, parameters, cancels and pixels, against the
// straightforward engine: the result codes and every byte must agree, and nothing outside the
// components of the block may change.
#include "engine/noise_reducer.h"
#include "engine/reference/reference_noise_reducer.h"
#include "engine/wavelet_filter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct Cancel {
    int at = 0;
    static int32_t callback(int32_t step, int32_t total, void* context) {
        if (step < 1 || step > total) std::abort();
        return step == static_cast<Cancel*>(context)->at ? 1 : 0;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegralInRange(0, 150);
    const int height = in.ConsumeIntegralInRange(0, 150);
    const int strideChoice = in.ConsumeIntegralInRange(0, 3);
    const int pad = in.ConsumeIntegralInRange(0, 13);
    int stride = -1;
    if (strideChoice == 1) stride = 4 * width + pad;
    if (strideChoice == 2) stride = 4 * width - 1 - pad; // too short: must be refused
    NrParams params{};
    params.version = in.ConsumeIntegralInRange(0, 2) == 0 ? 0 : 1;
    params.levels = in.ConsumeIntegralInRange(1, 6);
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        params.threshold = std::numeric_limits<double>::quiet_NaN();
        break;
    case 1:
        params.threshold = in.ConsumeFloatingPointInRange(-2.0, 102.0);
        break;
    default:
        params.threshold = in.ConsumeFloatingPointInRange(0.0, 40.0);
        break;
    }
    params.perChannel = in.ConsumeIntegralInRange(-1, 2);
    Cancel cancel{in.ConsumeIntegralInRange(0, 40)};
    params.progress = &Cancel::callback;
    params.progressContext = &cancel;

    const std::size_t rowBytes = stride > 0 ? std::size_t(stride) : std::size_t(4) * width;
    std::vector<uint8_t> original(std::max<std::size_t>(rowBytes * height, 1));
    const std::vector<uint8_t> fill = in.ConsumeRemainingBytes<uint8_t>();
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = fill.empty() ? uint8_t(i * 37) : fill[i % fill.size()];

    std::vector<uint8_t> fast = original, reference = original;
    const int rcFast = reduceNoise(width, height, stride, fast.data(), &params);
    // The plain kernels behind the same entry point's checks.
    const int rcReference =
        velanox::engine::runNoiseReductionEntry(velanox::engine::referenceWaveletKernels(), width,
                                                height, stride, reference.data(), &params);
    if (rcFast < NR_OK || rcFast > NR_INVALID_PARAMETER) std::abort();
    if (rcFast != rcReference) std::abort();
    if (fast != reference) std::abort();
    if (rcFast == NR_INVALID_PARAMETER && fast != original) std::abort();
    if (width > 0 && rowBytes >= std::size_t(4) * width) {
        for (std::size_t i = 0; i < original.size(); ++i) {
            const std::size_t inRow = i % rowBytes;
            const bool component = inRow < std::size_t(4) * width && inRow % 4 != 3;
            if (!component && fast[i] != original[i]) std::abort();
        }
    }
    return 0;
}
