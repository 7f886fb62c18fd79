#include "engine/noise_reducer.h"

#include "engine/engine_workspace.h"

#include "engine/wavelet_filter.h"
#include "engine/wavelet_kernels.h"

int32_t reduceNoise(int32_t width, int32_t height, int32_t stride, unsigned char* pixels,
                    const NrParams* params) {
    return velanox::engine::runNoiseReduction(velanox::engine::fastWaveletKernels(), width, height,
                                              stride, pixels, params);
}

int32_t velanox::engine::reduceNoise(EngineWorkspace& workspace, int32_t width, int32_t height,
                                     int32_t stride, unsigned char* pixels,
                                     const NrParams* params) {
    return runNoiseReduction(fastWaveletKernels(), width, height, stride, pixels, params,
                             &workspace);
}
