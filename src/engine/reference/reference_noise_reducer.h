// The straightforward engine: the same interface and results as reduceNoise, with the plain
// one-line-at-a-time transform. Built for tests and benchmarks, which compare the shipped
// engine against it.
#pragma once

#include "engine/noise_reducer.h"
#include "engine/wavelet_kernels.h"

namespace velanox::engine {

/// The plain kernel set: one line at a time, a separate threshold pass, one thread.
const WaveletKernels& referenceWaveletKernels();

/// reduceNoise with the plain kernels (the workspace, when given, holds the planes).
core::Status reduceNoiseReference(const core::ImageView& block, const NrParams& params,
                                  EngineWorkspace* workspace = nullptr);

} // namespace velanox::engine
