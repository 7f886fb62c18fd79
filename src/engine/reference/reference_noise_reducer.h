// The straightforward engine: the same interface and results as reduceNoise, with the plain
// one-line-at-a-time transform. Built for tests and benchmarks, which compare the shipped
// engine against it.
#pragma once

#include "engine/noise_reducer.h"
#include "engine/wavelet_kernels.h"

namespace velanox::engine {

/// The plain kernel set: one line at a time, a separate threshold pass, one thread.
const WaveletKernels& referenceWaveletKernels();

/// reduceNoise with the plain kernels.
int32_t reduceNoiseReference(int32_t width, int32_t height, int32_t stride, unsigned char* pixels,
                             const NrParams* params);

} // namespace velanox::engine
