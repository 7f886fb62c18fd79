#include "pipeline/run_stages.h"

#include "color/colour_steps.h"
#include "engine/threads.h"
#include "pipeline/pixel_passes.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"

#include <cstdio>

namespace velanox::pipeline {

namespace {

int32_t forwardProgress(int32_t step, int32_t total, void* context) {
    return static_cast<RunObserver*>(context)->engineProgress(step, total) != 0 ? 1 : 0;
}

std::string_view engineMessage(int32_t result) {
    switch (result) {
    case NR_CANCELLED:
        return run_text::kCancelled;
    case NR_OUT_OF_MEMORY:
        return run_text::kFailed;
    case NR_INVALID_PARAMETER:
        return run_text::kInvalidParameter;
    default:
        return run_text::kUnknownError;
    }
}

constexpr int32_t kEngineMinimumSide = 32;

} // namespace

void showBlockText(RunObserver& observer, int64_t number, int64_t total) {
    char text[64];
    std::snprintf(text, sizeof text, "Processing block %lld/%lld...",
                  static_cast<long long>(number), static_cast<long long>(total));
    observer.setProgressText(text);
}

bool engineTakes(int32_t width, int32_t height) {
    return width >= kEngineMinimumSide && height >= kEngineMinimumSide;
}

const uint8_t* regionOfSource(const RegionRun& run) {
    return run.source + std::size_t(run.region.top) * std::size_t(run.imageWidth) * 3 +
           std::size_t(run.region.left) * 3;
}

bool recolours(const RegionRun& run) {
    return run.outputWindowMode != kOutputFilteredNoise;
}

StageStatus allocateKeptBuffers(const RegionRun& run, bool keepPreNr, SwapBuffer& workBuffer,
                                SwapBuffer& preNrBuffer, RunObserver& observer,
                                RegionImages& images) {
    const int32_t c = run.region.width(), d = run.region.height();
    const std::size_t threshold = run.limits.swapThreshold();
    const std::size_t workBytes = bufferBytes(c, d, 4);
    workBuffer.setThreshold(threshold);
    preNrBuffer.setThreshold(threshold);
    const bool haveWork = workBytes != 0 && workBuffer.allocate(workBytes, &observer);
    if (!keepPreNr) preNrBuffer.release();
    const bool havePreNr =
        workBytes != 0 && (!keepPreNr || preNrBuffer.allocate(workBytes, &observer));
    if (!haveWork) {
        observer.showMessage(run_text::kWorkBufferOutOfMemory);
        return StageStatus::outOfMemory();
    }
    if (!havePreNr) {
        observer.showMessage(run_text::kPreNrOutOfMemory);
        return StageStatus::outOfMemory();
    }
    images.work = ImageBuffer{workBuffer.data(), c, d};
    if (keepPreNr) {
        images.keptPreNr = preNrBuffer.data();
        images.preNr = images.keptPreNr;
        images.pBytes = 4;
        images.pStride = std::ptrdiff_t(images.work.rowBytes());
    } else {
        images.keptPreNr = nullptr;
        images.preNr = regionOfSource(run);
        images.pBytes = 3;
        images.pStride = std::ptrdiff_t(run.imageWidth) * 3;
    }
    return StageStatus::carryOn();
}

void copyInWithColour(const RegionRun& run, const ColourPass* colour, const RegionImages& images) {
    if (images.keptPreNr == nullptr)
        copyRegionIn(run.source, run.imageWidth, run.region, images.work);
    else
        copyRegionInTwice(run.source, run.imageWidth, run.region, images.work, images.keptPreNr,
                          colour);
}

bool needsSharpened(const NoiseSettings& noise) {
    return noise.nrMode != kNrModeAuto && noise.sharpenEdges != 0 && noise.sharpenAmount > 0;
}

bool needsMap(const RegionRun& run) {
    if (run.outputWindowMode == kOutputHighlightEdges) return true;
    return run.noise.nrMode != kNrModeAuto && run.noise.advancedProcessing != 0;
}

bool prepareSharpenRows(const RegionRun& run, const RegionImages& images, RunObserver& observer,
                        engine::SharpenRows& rows) {
    if (!needsSharpened(run.noise)) return false;
    // The blend never reads byte 3 of the sharpened rows, so a kept copy's is sharpened too:
    // that spares the loop keeping it.
    const int mask = images.pBytes == 4 ? engine::kChannelMaskAllFour : engine::kChannelMaskRgb;
    if (rows.prepare(images.work.width, images.work.height, images.pBytes, run.noise.sharpenAmount,
                     mask))
        return true;
    observer.showMessage(run_text::kOutOfMemory);
    return false;
}

void speckleStage(const NoiseSettings& noise, const ImageBuffer& work, SpeckleFilter filter) {
    if (noise.nrMode != kNrModeScanner) return;
    const int32_t passes = specklePasses(noise.noiseLevel);
    for (int32_t i = 0; i < passes; ++i)
        filter(work.pixels, work.width, work.height, 4, int(work.rowBytes()),
               engine::kChannelMaskRgb);
}

NrParams observedEngineParams(const NoiseSettings& noise, RunObserver& observer) {
    NrParams params = engineParams(noise);
    params.progress = &forwardProgress;
    params.progressContext = &observer;
    return params;
}

StageStatus reduceAutomatic(const RegionRun& run, const RegionImages& images,
                            RunObserver& observer) {
    engine::NoiseProfile ownProfile;
    const engine::NoiseProfile* profile = run.noiseProfile;
    if (profile == nullptr) {
        if (!estimatePictureNoise(run.source, run.imageWidth, run.imageHeight, &ownProfile))
            return StageStatus::fromEngine(NR_OUT_OF_MEMORY);
        profile = &ownProfile;
    }
    engine::AutoDenoiseParams params = autoParams(run.noise);
    params.progress = &forwardProgress;
    params.progressContext = &observer;
    engine::AutoDenoiseWorkspace ownWorkspace;
    engine::AutoDenoiseWorkspace& workspace =
        run.autoWorkspace != nullptr ? *run.autoWorkspace : ownWorkspace;

    const ImageBuffer& work = images.work;
    engine::AutoDenoiseImages target;
    target.source = images.keptPreNr;
    target.width = work.width;
    target.height = work.height;
    target.sourceStride = std::ptrdiff_t(work.rowBytes());
    target.targetStride = std::ptrdiff_t(work.rowBytes());
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    if (!needsTiling(work.width, work.height, blockW, blockH)) {
        target.tileWidth = work.width;
        target.tileHeight = work.height;
        target.target = work.pixels;
        return StageStatus::fromEngine(
            engine::reduceNoiseAuto(target, *profile, params, &workspace));
    }
    return forEachTile(planTiles(work.width, work.height, blockW, blockH), observer,
                       [&](const Rect& tile) {
                           target.tileX = tile.left;
                           target.tileY = tile.top;
                           target.tileWidth = tile.width();
                           target.tileHeight = tile.height();
                           target.target = work.pixel(tile.left, tile.top);
                           return StageStatus::fromEngine(
                               engine::reduceNoiseAuto(target, *profile, params, &workspace));
                       });
}

StageStatus reduceInPlace(const RegionRun& run, const RegionImages& images, RunObserver& observer,
                          BlockReducer reduceBlock, engine::EngineWorkspace& workspace) {
    if (run.noise.nrMode == kNrModeAuto) return reduceAutomatic(run, images, observer);
    const NrParams params = observedEngineParams(run.noise, observer);
    const ImageBuffer& work = images.work;
    const int32_t stride = int32_t(work.rowBytes());
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    if (!needsTiling(work.width, work.height, blockW, blockH)) {
        if (!engineTakes(work.width, work.height)) return StageStatus::carryOn();
        return StageStatus::fromEngine(
            reduceBlock(workspace, work.width, work.height, stride, work.pixels, params));
    }
    return forEachTile(planTiles(work.width, work.height, blockW, blockH), observer,
                       [&](const Rect& tile) {
                           if (!engineTakes(tile.width(), tile.height()))
                               return StageStatus::carryOn();
                           return StageStatus::fromEngine(
                               reduceBlock(workspace, tile.width(), tile.height(), stride,
                                           work.pixel(tile.left, tile.top), params));
                       });
}

bool prepareEdgeWeights(const RegionRun& run, const ImageBuffer& work, RunObserver& observer,
                        engine::EdgeWeightRows& rows) {
    if (!needsMap(run)) return false;
    if (rows.prepare(work.pixels, work.width, work.height, 4, run.noise.edgeThreshold,
                     edgeWeightGain(run.noise.nrMode)))
        return true;
    observer.showMessage(run_text::kOutOfMemory);
    return false;
}

Blend blendOf(const RegionRun& run, bool haveMap, bool haveSharpened) {
    return chooseBlend(haveMap, haveSharpened, run.noise.nrMode, run.outputWindowMode);
}

bool allocateBlendScratch(const RegionRun& run, RunObserver& observer, SwapBuffer& bands) {
    bands.setThreshold(run.limits.swapThreshold());
    const std::size_t perThread = fusedBlendScratchBytes(run.region.width());
    return bands.allocate(perThread * std::size_t(engine::maxThreads()), &observer);
}

void blendStage(const RegionRun& run, const RegionImages& images, Blend blend,
                const engine::SharpenRows* sharpen, const engine::EdgeWeightRows* weights,
                uint8_t* scratch) {
    FusedBlendInputs in;
    in.blend = blend;
    in.q = images.work.pixels;
    in.p = images.preNr;
    in.pBytes = images.pBytes;
    in.pStride = images.pStride;
    in.width = images.work.width;
    in.height = images.work.height;
    const bool usesS = blend == Blend::Sharpened || blend == Blend::Portrait;
    in.sharpen = usesS ? sharpen : nullptr;
    in.weights = blend != Blend::EngineOnly ? weights : nullptr;
    in.amplifySource = run.outputWindowMode == kOutputFilteredNoise ? run.source : nullptr;
    blendFused(in, run.result, run.imageWidth, run.region.left, run.region.top, scratch);
}

RunResult concludeRun(const StageStatus& status, RunObserver& observer) {
    if (status.end == StageEnd::OutOfMemory) {
        observer.runEnding();
        return RunResult{ProcessOutcome::Failed, NR_OK};
    }
    observer.setProgressText(run_text::kFinishing);
    observer.runEnding();
    if (status.ok()) return RunResult{ProcessOutcome::Done, NR_OK};
    observer.showMessage(engineMessage(status.engineResult));
    return RunResult{status.engineResult == NR_CANCELLED ? ProcessOutcome::Cancelled
                                                         : ProcessOutcome::Failed,
                     status.engineResult};
}

} // namespace velanox::pipeline
