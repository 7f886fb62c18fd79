// The straightforward per-pixel passes of a processing run, with the same interface and results
// as those in pipeline/pixel_passes.h, on one thread. Built for tests and benchmarks, which
// compare the shipped passes against them.
#pragma once

#include "pipeline/pixel_passes.h"

namespace velanox::pipeline {

void copyRegionInReference(const core::ConstImageView& picture, core::Rect region,
                           const core::ImageView& work);
void copyTileOutReference(const core::ConstImageView& work, core::Rect tile,
                          const core::ImageView& tilePixels);
void copyTileBackReference(const core::ConstImageView& tilePixels, core::Rect tile,
                           const core::ImageView& work);
void blendIntoReference(Blend blend, const BlendInputs& in, const core::ImageView& destination);
void amplifyDifferenceReference(const core::ConstImageView& source, const core::ImageView& result);

} // namespace velanox::pipeline
