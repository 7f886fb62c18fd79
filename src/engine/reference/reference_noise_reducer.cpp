#include "engine/reference/reference_noise_reducer.h"

#include "engine/reference/wavelet_97.h"
#include "engine/wavelet_filter.h"

#include <algorithm>

namespace velanox::engine {

namespace {

std::size_t scratchSize(int wp, int hp) {
    const int n = std::max(wp, hp);
    return 2 * wavelet97::scratchSize(n) + 2 * wavelet97::scratchSize((n + 1) / 2);
}

// The straightforward levels work in place: the bookkeeping hands them one plane as both.
void forwardLevel(const double*, double* plane, std::size_t stride, int w, int h, bool, double,
                  double* scratch) {
    const std::size_t line = wavelet97::scratchSize(std::max(w, h));
    wavelet97::forwardLevel(plane, stride, w, h, scratch, scratch + line);
}

void inverseLevel(const double*, double* plane, std::size_t stride, int w, int h, double* scratch) {
    const int n = std::max(w, h);
    const std::size_t line = wavelet97::scratchSize(n);
    const std::size_t half = wavelet97::scratchSize((n + 1) / 2);
    wavelet97::inverseLevel(plane, stride, w, h, scratch, scratch + line, scratch + line + half);
}

} // namespace

const WaveletKernels& referenceWaveletKernels() {
    static const WaveletKernels kernels{&scratchSize, &forwardLevel, &inverseLevel, false,  false,
                                        nullptr,      nullptr,       nullptr,       nullptr};
    return kernels;
}

core::Status reduceNoiseReference(const core::ImageView& block, const NrParams& params,
                                  EngineWorkspace* workspace) {
    return runNoiseReduction(referenceWaveletKernels(), block, params, workspace);
}

} // namespace velanox::engine
