#include "pipeline/run_stages.h"

#include "color/color_steps.h"
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

core::Status outOfMemoryStatus() {
    return core::Status::failure(core::StatusCode::OutOfMemory, "Out of memory");
}

std::string_view engineMessage(const core::Status& status) {
    switch (status.code) {
    case core::StatusCode::Cancelled:
        return run_text::kCancelled;
    case core::StatusCode::OutOfMemory:
        return run_text::kFailed;
    case core::StatusCode::InvalidArgument:
        return run_text::kInvalidParameter;
    default:
        return run_text::kUnknownError;
    }
}

// The status of an automatic denoiser's result number.
core::Status statusOfEngineResult(int32_t rc) {
    switch (rc) {
    case NR_OK:
        return core::Status::success();
    case NR_CANCELLED:
        return core::Status::failure(core::StatusCode::Cancelled, "Operation cancelled");
    case NR_OUT_OF_MEMORY:
        return outOfMemoryStatus();
    default:
        return core::Status::failure(core::StatusCode::InvalidArgument, "Invalid parameter");
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

core::ConstImageView regionOfSource(const RegionRun& run) {
    const core::Rect& r = run.region;
    return run.source.section(r.left, r.top, r.width(), r.height());
}

core::ImageView regionOfResult(const RegionRun& run) {
    const core::Rect& r = run.region;
    return run.result.section(r.left, r.top, r.width(), r.height());
}

bool recolors(const RegionRun& run) {
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
    images.work = core::ImageView(workBuffer.data(), c, d, 4);
    images.keptPreNr = keepPreNr ? core::ImageView(preNrBuffer.data(), c, d, 4) : core::ImageView{};
    images.preNr = keepPreNr ? core::ConstImageView(images.keptPreNr) : regionOfSource(run);
    return StageStatus::carryOn();
}

void copyInWithColor(const RegionRun& run, const color::ColorPass* color,
                     const RegionImages& images) {
    if (images.keptPreNr.empty())
        copyRegionIn(run.source, run.region, images.work);
    else
        copyRegionInTwice(run.source, run.region, images.work, images.keptPreNr, color);
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
    const int mask =
        images.preNr.bytesPerPixel == 4 ? engine::kChannelMaskAllFour : engine::kChannelMaskRgb;
    if (rows.prepare(images.preNr, run.noise.sharpenAmount, mask)) return true;
    observer.showMessage(run_text::kOutOfMemory);
    return false;
}

void speckleStage(const NoiseSettings& noise, const core::ImageView& work, SpeckleFilter filter) {
    if (noise.nrMode != kNrModeScanner) return;
    const int32_t passes = specklePasses(noise.noiseLevel);
    for (int32_t i = 0; i < passes; ++i)
        filter(work, engine::kChannelMaskRgb);
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
        if (!estimatePictureNoise(run.source, &ownProfile))
            return StageStatus::fromEngine(outOfMemoryStatus());
        profile = &ownProfile;
    }
    engine::AutoDenoiseParams params = autoParams(run.noise);
    params.progress = &forwardProgress;
    params.progressContext = &observer;
    engine::AutoDenoiseWorkspace ownWorkspace;
    engine::AutoDenoiseWorkspace& workspace =
        run.autoWorkspace != nullptr ? *run.autoWorkspace : ownWorkspace;

    const core::ImageView& work = images.work;
    engine::AutoDenoiseImages target;
    target.source = images.keptPreNr.data;
    target.width = work.width;
    target.height = work.height;
    target.sourceStride = images.keptPreNr.stride;
    target.targetStride = work.stride;
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    if (!needsTiling(work.width, work.height, blockW, blockH)) {
        target.tileWidth = work.width;
        target.tileHeight = work.height;
        target.target = work.data;
        return StageStatus::fromEngine(
            statusOfEngineResult(engine::reduceNoiseAuto(target, *profile, params, &workspace)));
    }
    return forEachTile(planTiles(work.width, work.height, blockW, blockH), observer,
                       [&](const core::Rect& tile) {
                           target.tileX = tile.left;
                           target.tileY = tile.top;
                           target.tileWidth = tile.width();
                           target.tileHeight = tile.height();
                           target.target = work.pixel(tile.left, tile.top);
                           return StageStatus::fromEngine(statusOfEngineResult(
                               engine::reduceNoiseAuto(target, *profile, params, &workspace)));
                       });
}

StageStatus reduceInPlace(const RegionRun& run, const RegionImages& images, RunObserver& observer,
                          BlockReducer reduceBlock, engine::EngineWorkspace& workspace) {
    if (run.noise.nrMode == kNrModeAuto) return reduceAutomatic(run, images, observer);
    const NrParams params = observedEngineParams(run.noise, observer);
    const core::ImageView& work = images.work;
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    if (!needsTiling(work.width, work.height, blockW, blockH)) {
        if (!engineTakes(work.width, work.height)) return StageStatus::carryOn();
        return StageStatus::fromEngine(reduceBlock(work, params, &workspace));
    }
    return forEachTile(
        planTiles(work.width, work.height, blockW, blockH), observer, [&](const core::Rect& tile) {
            if (!engineTakes(tile.width(), tile.height())) return StageStatus::carryOn();
            return StageStatus::fromEngine(
                reduceBlock(work.section(tile.left, tile.top, tile.width(), tile.height()), params,
                            &workspace));
        });
}

bool prepareEdgeWeights(const RegionRun& run, const core::ConstImageView& work,
                        RunObserver& observer, engine::EdgeWeightRows& rows) {
    if (!needsMap(run)) return false;
    if (rows.prepare(work, run.noise.edgeThreshold, edgeWeightGain(run.noise.nrMode))) return true;
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
    in.q = images.work.data;
    in.p = images.preNr.data;
    in.pBytes = images.preNr.bytesPerPixel;
    in.pStride = images.preNr.stride;
    in.width = images.work.width;
    in.height = images.work.height;
    const bool usesS = blend == Blend::Sharpened || blend == Blend::Portrait;
    in.sharpen = usesS ? sharpen : nullptr;
    in.weights = blend != Blend::EngineOnly ? weights : nullptr;
    if (run.outputWindowMode == kOutputFilteredNoise) in.amplifySource = regionOfSource(run);
    blendFused(in, regionOfResult(run), scratch);
}

RunResult concludeRun(StageStatus status, RunObserver& observer) {
    if (status.end == StageEnd::OutOfMemory) {
        observer.runEnding();
        return RunResult{ProcessOutcome::Failed, {}};
    }
    observer.setProgressText(run_text::kFinishing);
    observer.runEnding();
    if (status.ok()) return RunResult{ProcessOutcome::Done, {}};
    observer.showMessage(engineMessage(status.engine));
    const ProcessOutcome outcome = status.engine.code == core::StatusCode::Cancelled
                                       ? ProcessOutcome::Cancelled
                                       : ProcessOutcome::Failed;
    return RunResult{outcome, std::move(status.engine)};
}

} // namespace velanox::pipeline
