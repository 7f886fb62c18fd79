// The straightforward pixel filters: the same interface and results as sharpenFilter,
// speckleFilter and computeEdgeWeights, one pixel and one component at a time on one thread.
// Built for tests, benchmarks and fuzzers, which compare the shipped filters against them.
#pragma once

namespace velanox::engine {

/// sharpenFilter, one pixel at a time.
bool sharpenFilterReference(const unsigned char* source, unsigned char* destination, int width,
                            int height, int bytesPerPixel, int sourceStride, int destinationStride,
                            int amount, int channelMask);

/// speckleFilter, one component, one step and one pass after the other.
bool speckleFilterReference(unsigned char* pixels, int width, int height, int bytesPerPixel,
                            int stride, int channelMask);

/// computeEdgeWeights with a float per pixel and the wrap-around taken by modulo.
bool computeEdgeWeightsReference(const unsigned char* pixels, unsigned char* map, int width,
                                 int height, int bytesPerPixel, int edgeThreshold, float gain);

} // namespace velanox::engine
