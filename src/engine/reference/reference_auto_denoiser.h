// The straightforward automatic denoiser and noise estimate: the same interface and method as
// reduceNoiseAuto and estimateNoise, in double precision, one line and one coefficient at a time
// on one thread, every plane held whole. Built for tests, benchmarks and fuzzers, which compare
// the shipped versions against them (up to single-precision rounding).
#pragma once

#include "engine/auto_denoiser.h"

namespace velanox::engine {

int32_t reduceNoiseAutoReference(const AutoDenoiseImages& images, const NoiseProfile& profile,
                                 const AutoDenoiseParams& params,
                                 const AutoDenoiseTuning& tuning = AutoDenoiseTuning{});

int32_t estimateNoiseReference(const unsigned char* pixels, int32_t width, int32_t height,
                               std::ptrdiff_t stride, int32_t bytesPerPixel, NoiseProfile* profile);

} // namespace velanox::engine
