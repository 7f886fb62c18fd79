#include "pipeline/reference/step_by_step_run.h"

#include "color/color_steps.h"
#include "engine/reference/reference_noise_reducer.h"
#include "engine/reference/reference_pixel_filters.h"
#include "pipeline/reference/reference_pixel_passes.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"

#include <cstring>

namespace velanox::pipeline {

namespace {

std::size_t bytesOf(const core::ImageView& packed) {
    return packed.rowBytes() * std::size_t(packed.height);
}

// Colour: the region into the working copy, the colour steps over it, and the result kept as
// the pre-reduction copy.
void copyInThenColor(const RegionRun& run, const RegionImages& images,
                     const StageKernels& kernels) {
    kernels.copyRegionIn(run.source, run.region, images.work);
    if (recolors(run)) color::applyColorSteps(run.color, images.work);
    std::memcpy(images.keptPreNr.data, images.work.data, bytesOf(images.work));
}

// Sharpen: the whole sharpened copy S of the working copy, byte 3 kept from it.
bool sharpenWhole(const RegionRun& run, const RegionImages& images, const StageKernels& kernels,
                  RunObserver& observer, SwapBuffer& sharpened) {
    if (!needsSharpened(run.noise)) return false;
    const core::ImageView& work = images.work;
    sharpened.setThreshold(run.limits.swapThreshold());
    if (!sharpened.allocate(bytesOf(work), &observer)) return false;
    std::memcpy(sharpened.data(), work.data, bytesOf(work));
    kernels.sharpenFilter(work, core::ImageView(sharpened.data(), work.width, work.height, 4),
                          run.noise.sharpenAmount, engine::kChannelMaskRgb);
    return true;
}

// Reduce: the engine over the whole working copy, or tile by tile, each tile copied out into a
// packed buffer, reduced there and copied back.
StageStatus reduceThroughTileBuffer(const RegionRun& run, const RegionImages& images,
                                    const StageKernels& kernels, RunObserver& observer) {
    if (run.noise.nrMode == kNrModeAuto) return reduceAutomatic(run, images, observer);
    const NrParams params = observedEngineParams(run.noise, observer);
    engine::EngineWorkspace workspace;
    const core::ImageView& work = images.work;
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    if (!needsTiling(work.width, work.height, blockW, blockH)) {
        if (!engineTakes(work.width, work.height)) return StageStatus::carryOn();
        return StageStatus::fromEngine(kernels.reduceBlock(work, params, &workspace));
    }
    const TileGrid grid = planTiles(work.width, work.height, blockW, blockH);
    SwapBuffer tileBuffer;
    tileBuffer.setThreshold(run.limits.swapThreshold());
    const std::size_t tileBytes = bufferBytes(grid.largestWidth(), grid.largestHeight(), 4);
    if (tileBytes == 0 || !tileBuffer.allocate(tileBytes, &observer))
        return StageStatus::outOfMemory();
    return forEachTile(grid, observer, [&](const core::Rect& tile) {
        const core::ImageView tilePixels(tileBuffer.data(), tile.width(), tile.height(), 4);
        kernels.copyTileOut(work, tile, tilePixels);
        StageStatus status = StageStatus::carryOn();
        if (engineTakes(tile.width(), tile.height()))
            status = StageStatus::fromEngine(kernels.reduceBlock(tilePixels, params, &workspace));
        if (status.ok()) kernels.copyTileBack(tilePixels, tile, work);
        return status;
    });
}

// Edge map: one weight per pixel of the reduced working copy.
bool edgeMapWhole(const RegionRun& run, const core::ImageView& work, const StageKernels& kernels,
                  RunObserver& observer, SwapBuffer& map) {
    if (!needsMap(run)) return false;
    map.setThreshold(run.limits.swapThreshold());
    if (!map.allocate(bufferBytes(work.width, work.height, 1), &observer)) return false;
    return kernels
        .computeEdgeWeights(work, map.data(), run.noise.edgeThreshold,
                            edgeWeightGain(run.noise.nrMode))
        .ok();
}

} // namespace

const StageKernels& referenceKernels() {
    static const StageKernels kernels{
        &engine::reduceNoiseReference,   &engine::speckleFilterReference,
        &engine::sharpenFilterReference, &engine::computeEdgeWeightsReference,
        &copyRegionInReference,          &copyTileOutReference,
        &copyTileBackReference,          &blendIntoReference,
        &amplifyDifferenceReference};
    return kernels;
}

const StageKernels& shippedKernels() {
    static const StageKernels kernels{&engine::reduceNoise,   &engine::speckleFilter,
                                      &engine::sharpenFilter, &engine::computeEdgeWeights,
                                      &copyRegionIn,          &copyTileOut,
                                      &copyTileBack,          &blendInto,
                                      &amplifyDifference};
    return kernels;
}

RunResult processRegionStepByStep(const RegionRun& run, SwapBuffer& workBuffer,
                                  SwapBuffer& preNrBuffer, RunObserver& observer,
                                  const StageKernels& kernels) {
    RegionImages images;
    StageStatus status = allocateKeptBuffers(run, true, workBuffer, preNrBuffer, observer, images);
    if (!status.ok()) return concludeRun(std::move(status), observer);
    copyInThenColor(run, images, kernels);
    observer.setProgressText(run_text::kPreparing);

    SwapBuffer sharpened;
    const bool haveSharpened = sharpenWhole(run, images, kernels, observer, sharpened);
    speckleStage(run.noise, images.work, kernels.speckleFilter);
    status = reduceThroughTileBuffer(run, images, kernels, observer);
    SwapBuffer map;
    const bool haveMap = status.ok() && edgeMapWhole(run, images.work, kernels, observer, map);

    RunResult result = concludeRun(std::move(status), observer);
    if (result.outcome != ProcessOutcome::Done) return result;
    BlendInputs in;
    in.q = images.work.data;
    in.p = images.keptPreNr.data;
    in.s = haveSharpened ? sharpened.data() : nullptr;
    in.map = haveMap ? map.data() : nullptr;
    in.width = images.work.width;
    in.height = images.work.height;
    kernels.blendInto(blendOf(run, haveMap, haveSharpened), in, regionOfResult(run));
    // Diagnostics: the filtered-noise view.
    if (run.outputWindowMode == kOutputFilteredNoise)
        kernels.amplifyDifference(regionOfSource(run), regionOfResult(run));
    return result;
}

} // namespace velanox::pipeline
