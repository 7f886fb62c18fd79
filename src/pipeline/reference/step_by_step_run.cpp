#include "pipeline/reference/step_by_step_run.h"

#include "color/colour_steps.h"
#include "engine/reference/reference_noise_reducer.h"
#include "engine/reference/reference_pixel_filters.h"
#include "pipeline/reference/reference_pixel_passes.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"

#include <cstring>

namespace velanox::pipeline {

namespace {

int32_t reduceWithReferenceEngine(engine::EngineWorkspace&, int32_t width, int32_t height,
                                  int32_t stride, unsigned char* pixels, const NrParams& params) {
    return engine::reduceNoiseReference(width, height, stride, pixels, &params);
}

// Colour: the region into the working copy, the colour steps over it, and the result kept as
// the pre-reduction copy.
void copyInThenColour(const RegionRun& run, const RegionImages& images,
                      const StageKernels& kernels) {
    const ImageBuffer& work = images.work;
    kernels.copyRegionIn(run.source, run.imageWidth, run.region, work);
    if (recolours(run))
        applyColourSteps(run.colour,
                         PixelBlock{work.pixels, work.width, work.height, 4,
                                    std::ptrdiff_t(work.rowBytes()), ChannelOrder::Rgb});
    std::memcpy(images.keptPreNr, work.pixels, work.byteSize());
}

// Sharpen: the whole sharpened copy S of the working copy, byte 3 kept from it.
bool sharpenWhole(const RegionRun& run, const RegionImages& images, const StageKernels& kernels,
                  RunObserver& observer, SwapBuffer& sharpened) {
    if (!needsSharpened(run.noise)) return false;
    const ImageBuffer& work = images.work;
    sharpened.setThreshold(run.limits.swapThreshold());
    if (!sharpened.allocate(work.byteSize(), &observer)) return false;
    std::memcpy(sharpened.data(), work.pixels, work.byteSize());
    kernels.sharpenFilter(work.pixels, sharpened.data(), work.width, work.height, 4,
                          int(work.rowBytes()), int(work.rowBytes()), run.noise.sharpenAmount,
                          engine::kChannelMaskRgb);
    return true;
}

// Reduce: the engine over the whole working copy, or tile by tile, each tile copied out into a
// packed buffer, reduced there and copied back.
StageStatus reduceThroughTileBuffer(const RegionRun& run, const RegionImages& images,
                                    const StageKernels& kernels, RunObserver& observer) {
    if (run.noise.nrMode == kNrModeAuto) return reduceAutomatic(run, images, observer);
    const NrParams params = observedEngineParams(run.noise, observer);
    engine::EngineWorkspace workspace;
    const ImageBuffer& work = images.work;
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    if (!needsTiling(work.width, work.height, blockW, blockH)) {
        if (!engineTakes(work.width, work.height)) return StageStatus::carryOn();
        return StageStatus::fromEngine(kernels.reduceBlock(
            workspace, work.width, work.height, int32_t(work.rowBytes()), work.pixels, params));
    }
    const TileGrid grid = planTiles(work.width, work.height, blockW, blockH);
    SwapBuffer tileBuffer;
    tileBuffer.setThreshold(run.limits.swapThreshold());
    const std::size_t tileBytes = bufferBytes(grid.largestWidth(), grid.largestHeight(), 4);
    if (tileBytes == 0 || !tileBuffer.allocate(tileBytes, &observer))
        return StageStatus::outOfMemory();
    return forEachTile(grid, observer, [&](const Rect& tile) {
        kernels.copyTileOut(work, tile, tileBuffer.data());
        StageStatus status = StageStatus::carryOn();
        if (engineTakes(tile.width(), tile.height()))
            status = StageStatus::fromEngine(kernels.reduceBlock(workspace, tile.width(),
                                                                 tile.height(), tile.width() * 4,
                                                                 tileBuffer.data(), params));
        if (status.ok()) kernels.copyTileBack(tileBuffer.data(), tile, work);
        return status;
    });
}

// Edge map: one weight per pixel of the reduced working copy.
bool edgeMapWhole(const RegionRun& run, const ImageBuffer& work, const StageKernels& kernels,
                  RunObserver& observer, SwapBuffer& map) {
    if (!needsMap(run)) return false;
    map.setThreshold(run.limits.swapThreshold());
    if (!map.allocate(bufferBytes(work.width, work.height, 1), &observer)) return false;
    return kernels.computeEdgeWeights(work.pixels, map.data(), work.width, work.height, 4,
                                      run.noise.edgeThreshold, edgeWeightGain(run.noise.nrMode));
}

} // namespace

const StageKernels& referenceKernels() {
    static const StageKernels kernels{
        &reduceWithReferenceEngine,      &engine::speckleFilterReference,
        &engine::sharpenFilterReference, &engine::computeEdgeWeightsReference,
        &copyRegionInReference,          &copyTileOutReference,
        &copyTileBackReference,          &blendIntoReference,
        &amplifyDifferenceReference};
    return kernels;
}

const StageKernels& shippedKernels() {
    static const StageKernels kernels{&reduceWithEngine,     &::speckleFilter, &::sharpenFilter,
                                      &::computeEdgeWeights, &copyRegionIn,    &copyTileOut,
                                      &copyTileBack,         &blendInto,       &amplifyDifference};
    return kernels;
}

RunResult processRegionStepByStep(const RegionRun& run, SwapBuffer& workBuffer,
                                  SwapBuffer& preNrBuffer, RunObserver& observer,
                                  const StageKernels& kernels) {
    RegionImages images;
    StageStatus status = allocateKeptBuffers(run, true, workBuffer, preNrBuffer, observer, images);
    if (!status.ok()) return concludeRun(status, observer);
    copyInThenColour(run, images, kernels);
    observer.setProgressText(run_text::kPreparing);

    SwapBuffer sharpened;
    const bool haveSharpened = sharpenWhole(run, images, kernels, observer, sharpened);
    speckleStage(run.noise, images.work, kernels.speckleFilter);
    status = reduceThroughTileBuffer(run, images, kernels, observer);
    SwapBuffer map;
    const bool haveMap = status.ok() && edgeMapWhole(run, images.work, kernels, observer, map);

    const RunResult result = concludeRun(status, observer);
    if (result.outcome != ProcessOutcome::Done) return result;
    BlendInputs in;
    in.q = images.work.pixels;
    in.p = images.keptPreNr;
    in.s = haveSharpened ? sharpened.data() : nullptr;
    in.map = haveMap ? map.data() : nullptr;
    in.width = images.work.width;
    in.height = images.work.height;
    kernels.blendInto(blendOf(run, haveMap, haveSharpened), in, run.result, run.imageWidth,
                      run.region.left, run.region.top);
    // Diagnostics: the filtered-noise view.
    if (run.outputWindowMode == kOutputFilteredNoise)
        kernels.amplifyDifference(run.source, run.result, run.imageWidth, run.region);
    return result;
}

} // namespace velanox::pipeline
