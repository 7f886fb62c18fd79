// The straightforward pixel filters: the same interface and results as sharpenFilter,
// speckleFilter and computeEdgeWeights, one pixel and one component at a time on one thread.
// Built for tests, benchmarks and fuzzers, which compare the shipped filters against them.
#pragma once

#include "core/image_view.h"
#include "core/status.h"

#include <cstdint>

namespace velanox::engine {

/// sharpenFilter, one pixel at a time.
core::Status sharpenFilterReference(const core::ConstImageView& source,
                                    const core::ImageView& destination, int amount,
                                    int channelMask);

/// speckleFilter, one component, one step and one pass after the other.
core::Status speckleFilterReference(const core::ImageView& pixels, int channelMask);

/// computeEdgeWeights with a float per pixel and the wrap-around taken by modulo.
core::Status computeEdgeWeightsReference(const core::ConstImageView& pixels, uint8_t* map,
                                         int edgeThreshold, float gain);

} // namespace velanox::engine
