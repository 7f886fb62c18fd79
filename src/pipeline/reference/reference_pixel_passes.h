// The straightforward per-pixel passes of a processing run, with the same interface and results
// as those in pipeline/pixel_passes.h, on one thread. Built for tests and benchmarks, which
// compare the shipped passes against them.
#pragma once

#include "pipeline/pixel_passes.h"

namespace velanox::pipeline {

void copyRegionInReference(const uint8_t* picture, int32_t imageWidth, Rect region,
                           ImageBuffer work);
void copyTileOutReference(const ImageBuffer& work, Rect tile, uint8_t* tilePixels);
void copyTileBackReference(const uint8_t* tilePixels, Rect tile, const ImageBuffer& work);
void blendIntoReference(Blend blend, const BlendInputs& in, uint8_t* picture, int32_t imageWidth,
                        int32_t left, int32_t top);
void amplifyDifferenceReference(const uint8_t* source, uint8_t* result, int32_t imageWidth,
                                Rect region);

} // namespace velanox::pipeline
