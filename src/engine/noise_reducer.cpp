#include "engine/noise_reducer.h"

#include "engine/engine_workspace.h"

#include "engine/wavelet_filter.h"
#include "engine/wavelet_kernels.h"

int32_t reduceNoise(int32_t width, int32_t height, int32_t stride, unsigned char* pixels,
                    const NrParams* params) {
    return velanox::engine::runNoiseReductionEntry(velanox::engine::fastWaveletKernels(), width,
                                                   height, stride, pixels, params);
}

velanox::core::Status velanox::engine::reduceNoise(const core::ImageView& block,
                                                   const NrParams& params,
                                                   EngineWorkspace* workspace) {
    return runNoiseReduction(fastWaveletKernels(), block, params, workspace);
}
