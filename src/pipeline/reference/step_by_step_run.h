// The plain processing run: the stages one after the other over whole buffers, with a sharpened
// copy, an edge-weight map and a tile buffer of their own, the colour steps run over the working
// copy and the blend and the filtered-noise view as separate passes. Built for tests and
// benchmarks, which compare the shipped run (processRegion) against it.
#pragma once

#include "pipeline/process_region.h"
#include "pipeline/run_stages.h"

namespace velanox::pipeline {

/// The kernels the plain run calls, each with the interface of the shipped one.
struct StageKernels {
    BlockReducer reduceBlock;
    SpeckleFilter speckleFilter;
    core::Status (*sharpenFilter)(const core::ConstImageView&, const core::ImageView&, int, int);
    core::Status (*computeEdgeWeights)(const core::ConstImageView&, uint8_t*, int, float);
    void (*copyRegionIn)(const core::ConstImageView&, core::Rect, const core::ImageView&);
    void (*copyTileOut)(const core::ConstImageView&, core::Rect, const core::ImageView&);
    void (*copyTileBack)(const core::ConstImageView&, core::Rect, const core::ImageView&);
    void (*blendInto)(Blend, const BlendInputs&, const core::ImageView&);
    void (*amplifyDifference)(const core::ConstImageView&, const core::ImageView&);
};

/// The straightforward engine, filters and per-pixel passes.
const StageKernels& referenceKernels();

/// The shipped engine, filters and per-pixel passes.
const StageKernels& shippedKernels();

/// The run processRegion makes, with the same messages, progress texts and outcome, as plain
/// stages over whole buffers with the given kernels. Automatic mode runs the shipped automatic
/// denoiser. A sharpened copy or map that cannot be had is left out after "Out of memory", as
/// the shipped run leaves out their rows; a tile buffer that cannot be had ends the run (Failed)
/// after "Out of memory".
RunResult processRegionStepByStep(const RegionRun& run, SwapBuffer& workBuffer,
                                  SwapBuffer& preNrBuffer, RunObserver& observer,
                                  const StageKernels& kernels = referenceKernels());

} // namespace velanox::pipeline
