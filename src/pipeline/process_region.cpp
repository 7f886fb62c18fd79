#include "pipeline/process_region.h"

#include "engine/engine_workspace.h"
#include "engine/pixel_filters.h"
#include "engine/threads.h"
#include "pipeline/pixel_passes.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"
#include "pipeline/tile_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace velanox::pipeline {

namespace {

int32_t forwardProgress(int32_t step, int32_t total, void* context) {
    return static_cast<RunObserver*>(context)->engineProgress(step, total) != 0 ? 1 : 0;
}

core::Status outOfMemory() {
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

constexpr int32_t kEngineMinimumSide = 32;

bool engineTakes(int32_t width, int32_t height) {
    return width >= kEngineMinimumSide && height >= kEngineMinimumSide;
}

void showBlockText(RunObserver& observer, int64_t number, int64_t total) {
    char text[64];
    std::snprintf(text, sizeof text, "Processing block %lld/%lld...",
                  static_cast<long long>(number), static_cast<long long>(total));
    observer.setProgressText(text);
}

// One engine call, with the engine's planes kept in the workspace.
struct EngineCall {
    const PipelineSteps& steps;
    engine::EngineWorkspace& workspace;
    const NrParams& params;

    core::Status operator()(const core::ImageView& block) const {
        return steps.reduceNoise(block, params, &workspace);
    }
};

// Runs the engine tile by tile, column of tiles by column of tiles. Returns the first failing
// engine status, success when every tile succeeded, or nothing when the tile buffer cannot be
// had. The fused run hands the engine each tile where it lies in the working copy (the engine
// reads and writes bytes 0..2 only); the step-by-step run copies it out and back.
std::optional<core::Status> reduceTiled(const core::ImageView& work, const EngineCall& reduce,
                                        std::size_t threshold, RunObserver& observer,
                                        const TileGrid& grid, const PipelineSteps& steps) {
    SwapBuffer tileBuffer;
    if (!steps.fused) {
        tileBuffer.setThreshold(threshold);
        const std::size_t tileBytes = bufferBytes(grid.largestWidth(), grid.largestHeight(), 4);
        if (tileBytes == 0 || !tileBuffer.allocate(tileBytes, &observer)) return std::nullopt;
    }

    const int64_t total = grid.count();
    int64_t number = 0;
    for (int64_t tx = 0; tx < grid.columns; ++tx) {
        for (int64_t ty = 0; ty < grid.rows; ++ty) {
            ++number;
            const core::Rect tile = grid.tile(tx, ty);
            if (tile.isEmpty()) continue;
            if (steps.fused) {
                showBlockText(observer, number, total);
                if (engineTakes(tile.width(), tile.height())) {
                    core::Status s =
                        reduce(work.section(tile.left, tile.top, tile.width(), tile.height()));
                    if (!s.ok()) return s;
                }
                continue;
            }
            const core::ImageView tilePixels(tileBuffer.data(), tile.width(), tile.height(), 4);
            steps.copyTileOut(work, tile, tilePixels);
            showBlockText(observer, number, total);
            if (engineTakes(tile.width(), tile.height())) {
                core::Status s = reduce(tilePixels);
                if (!s.ok()) return s;
            }
            steps.copyTileBack(tilePixels, tile, work);
        }
    }
    return core::Status::success();
}

bool needsSharpened(const NoiseSettings& noise) {
    return noise.nrMode != kNrModeAuto && noise.sharpenEdges != 0 && noise.sharpenAmount > 0;
}

bool needsMap(const RegionRun& run) {
    if (run.outputWindowMode == kOutputHighlightEdges) return true;
    return run.noise.nrMode != kNrModeAuto && run.noise.advancedProcessing != 0;
}

// The status of an engine result number.
core::Status statusOfEngineResult(int32_t rc) {
    switch (rc) {
    case NR_OK:
        return core::Status::success();
    case NR_CANCELLED:
        return core::Status::failure(core::StatusCode::Cancelled, "Operation cancelled");
    case NR_OUT_OF_MEMORY:
        return outOfMemory();
    default:
        return core::Status::failure(core::StatusCode::InvalidArgument, "Invalid parameter");
    }
}

// The automatic denoiser over the region, whole or tile by tile: every tile reads the unchanged
// pre-reduction copy P (with its margin) and is written into the working copy.
core::Status reduceAutomatic(const core::ImageView& work, const uint8_t* preNr,
                             const engine::NoiseProfile& profile,
                             const engine::AutoDenoiseParams& params,
                             engine::AutoDenoiseWorkspace& workspace, RunObserver& observer,
                             const TileGrid* grid) {
    engine::AutoDenoiseImages images;
    images.source = preNr;
    images.width = work.width;
    images.height = work.height;
    images.sourceStride = work.stride;
    images.targetStride = work.stride;
    if (grid == nullptr) {
        images.tileWidth = work.width;
        images.tileHeight = work.height;
        images.target = work.data;
        return statusOfEngineResult(engine::reduceNoiseAuto(images, profile, params, &workspace));
    }
    const int64_t total = grid->count();
    int64_t number = 0;
    for (int64_t tx = 0; tx < grid->columns; ++tx) {
        for (int64_t ty = 0; ty < grid->rows; ++ty) {
            ++number;
            const core::Rect tile = grid->tile(tx, ty);
            if (tile.isEmpty()) continue;
            showBlockText(observer, number, total);
            images.tileX = tile.left;
            images.tileY = tile.top;
            images.tileWidth = tile.width();
            images.tileHeight = tile.height();
            images.target = work.pixel(tile.left, tile.top);
            const int32_t rc = engine::reduceNoiseAuto(images, profile, params, &workspace);
            if (rc != NR_OK) return statusOfEngineResult(rc);
        }
    }
    return core::Status::success();
}

} // namespace

engine::AutoDenoiseParams autoParams(const NoiseSettings& noise) {
    engine::AutoDenoiseParams p;
    p.strength = engine::kAutoStrengthRange.clamp(noise.autoStrength);
    p.colorStrength = engine::kAutoColorStrengthRange.clamp(noise.autoChroma);
    return p;
}

bool estimatePictureNoise(const core::ConstImageView& picture, engine::NoiseProfile* profile) {
    *profile = engine::NoiseProfile{};
    if (picture.empty()) return true;
    const int32_t rc = engine::estimateNoise(picture.data, picture.width, picture.height,
                                             picture.stride, 3, profile);
    if (rc == NR_OK) return true;
    *profile = engine::NoiseProfile{};
    return false;
}

NrParams engineParams(const NoiseSettings& noise) {
    NrParams p{};
    p.version = 1;
    p.threshold = noise.nrMode == kNrModeHighNoise ? noise.noiseLevel * 4.0 : noise.noiseLevel;
    p.levels = std::clamp(noise.nrLevels, 2, 5);
    p.perChannel = noise.nrPerChannel;
    return p;
}

float edgeWeightGain(int32_t nrMode) {
    return nrMode == kNrModeNature ? 12.0f : 1.6f;
}

int32_t specklePasses(double noiseLevel) {
    const double n = noiseLevel * 0.16666666666666666 + 1.0;
    if (!(n >= 1.0)) return 0;
    return int32_t(std::min(n, 1000.0));
}

const PipelineSteps& shippedPipelineSteps() {
    static const PipelineSteps steps{true,
                                     &engine::reduceNoise,
                                     &engine::speckleFilter,
                                     &engine::sharpenFilter,
                                     &engine::computeEdgeWeights,
                                     &copyRegionIn,
                                     &copyTileOut,
                                     &copyTileBack,
                                     &blendInto,
                                     &amplifyDifference};
    return steps;
}

const PipelineSteps& shippedStepByStep() {
    static const PipelineSteps steps = [] {
        PipelineSteps s = shippedPipelineSteps();
        s.fused = false;
        return s;
    }();
    return steps;
}

RunResult processRegion(const RegionRun& run, SwapBuffer& workBuffer, SwapBuffer& preNrBuffer,
                        RunObserver& observer, engine::EngineWorkspace* engineWorkspace) {
    const PipelineSteps& steps = run.steps != nullptr ? *run.steps : shippedPipelineSteps();
    const int32_t c = run.region.width(), d = run.region.height();
    const std::size_t threshold = run.limits.swapThreshold();
    const std::size_t workBytes = bufferBytes(c, d, 4);
    RunResult outcome{ProcessOutcome::Failed, {}};

    // The filtered-noise view shows what the engine removed from the source itself.
    const bool recolor = run.outputWindowMode != kOutputFilteredNoise;
    std::optional<color::ColorPass> color;
    if (steps.fused && recolor) color.emplace(run.color, int64_t(c) * d);
    // Where no color step changes a pixel, the pre-reduction copy P would repeat the region of
    // the picture byte for byte: the fused run then reads the picture itself and needs no P.
    // The automatic mode reads its source from P as whole 4-byte pixels, so it keeps P.
    const bool pIsPicture =
        steps.fused && !(color && color->active()) && run.noise.nrMode != kNrModeAuto;

    // The two kept buffers.
    workBuffer.setThreshold(threshold);
    preNrBuffer.setThreshold(threshold);
    const bool haveWork = workBytes != 0 && workBuffer.allocate(workBytes, &observer);
    if (pIsPicture) preNrBuffer.release();
    const bool havePreNr =
        workBytes != 0 && (pIsPicture || preNrBuffer.allocate(workBytes, &observer));
    if (!haveWork) {
        observer.showMessage(run_text::kWorkBufferOutOfMemory);
        observer.runEnding();
        return outcome;
    }
    const core::ImageView work(workBuffer.data(), c, d, 4);
    const core::ImageView preNr(preNrBuffer.data(), c, d, 4);
    if (steps.fused) {
        // The working copy and the pre-reduction copy P are written in one pass; without P
        // there is nothing the working copy could be used for.
        if (pIsPicture)
            copyRegionIn(run.source, run.region, work);
        else if (havePreNr)
            copyRegionInTwice(run.source, run.region, work, preNr, color ? &*color : nullptr);
    } else {
        steps.copyRegionIn(run.source, run.region, work);
        if (recolor) color::applyColorSteps(run.color, work);
    }
    if (!havePreNr) {
        observer.showMessage(run_text::kPreNrOutOfMemory);
        observer.runEnding();
        return outcome;
    }
    if (!steps.fused) copyPixels(preNr.data, work.data, workBytes);
    observer.setProgressText(run_text::kPreparing);

    // The sharpened copy; without memory for it the blend goes on without it. The fused run
    // makes its rows from P during the blend (P holds what the working copy holds now).
    const uint8_t* const p =
        pIsPicture ? run.source.pixel(run.region.left, run.region.top) : preNr.data;
    const int pBytes = pIsPicture ? 3 : 4;
    const std::ptrdiff_t pStride = pIsPicture ? run.source.stride : std::ptrdiff_t(c) * 4;
    SwapBuffer sharpened;
    sharpened.setThreshold(threshold);
    engine::SharpenRows sharpenRows;
    bool haveSharpened = false;
    if (needsSharpened(run.noise)) {
        if (steps.fused) {
            // The blend never reads byte 3 of the sharpened rows, so it is sharpened too: that
            // spares the loop keeping it.
            haveSharpened = sharpenRows.prepare(core::ConstImageView(p, c, d, pBytes, pStride),
                                                run.noise.sharpenAmount, pBytes == 4 ? 15 : 7);
            if (!haveSharpened) observer.showMessage(run_text::kOutOfMemory);
        } else if (sharpened.allocate(workBytes, &observer)) {
            copyPixels(sharpened.data(), work.data, workBytes);
            steps.sharpenFilter(work, core::ImageView(sharpened.data(), c, d, 4),
                                run.noise.sharpenAmount, 7);
            haveSharpened = true;
        }
    }

    if (run.noise.nrMode == kNrModeScanner) {
        const int32_t passes = specklePasses(run.noise.noiseLevel);
        for (int32_t i = 0; i < passes; ++i)
            steps.speckleFilter(work, 7);
    }

    NrParams params = engineParams(run.noise);
    params.progress = &forwardProgress;
    params.progressContext = &observer;
    core::Status result;
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    engine::EngineWorkspace ownWorkspace;
    const EngineCall reduce{steps, engineWorkspace != nullptr ? *engineWorkspace : ownWorkspace,
                            params};
    if (run.noise.nrMode == kNrModeAuto) {
        engine::NoiseProfile ownProfile;
        const engine::NoiseProfile* profile = run.noiseProfile;
        if (profile == nullptr) {
            if (!estimatePictureNoise(run.source, &ownProfile)) result = outOfMemory();
            profile = &ownProfile;
        }
        engine::AutoDenoiseParams autoRun = autoParams(run.noise);
        autoRun.progress = &forwardProgress;
        autoRun.progressContext = &observer;
        engine::AutoDenoiseWorkspace ownAutoWorkspace;
        engine::AutoDenoiseWorkspace& autoWorkspace =
            run.autoWorkspace != nullptr ? *run.autoWorkspace : ownAutoWorkspace;
        if (result.ok()) {
            if (!needsTiling(c, d, blockW, blockH)) {
                result = reduceAutomatic(work, preNr.data, *profile, autoRun, autoWorkspace,
                                         observer, nullptr);
            } else {
                const TileGrid grid = planTiles(c, d, blockW, blockH);
                result = reduceAutomatic(work, preNr.data, *profile, autoRun, autoWorkspace,
                                         observer, &grid);
            }
        }
    } else if (!needsTiling(c, d, blockW, blockH)) {
        if (engineTakes(c, d)) result = reduce(work);
    } else {
        std::optional<core::Status> tiled =
            reduceTiled(work, reduce, threshold, observer, planTiles(c, d, blockW, blockH), steps);
        if (!tiled) { // the tile buffer could not be had; "Out of memory" was shown
            observer.runEnding();
            return outcome;
        }
        result = std::move(*tiled);
    }

    // The edge-weight map, from the noise-reduced pixels. The fused run finds the steepest
    // gradient now and makes the weights during the blend.
    SwapBuffer map;
    map.setThreshold(threshold);
    engine::EdgeWeightRows weightRows;
    bool haveMap = false;
    if (result.ok() && needsMap(run)) {
        if (steps.fused) {
            haveMap =
                weightRows.prepare(work, run.noise.edgeThreshold, edgeWeightGain(run.noise.nrMode));
            if (!haveMap) observer.showMessage(run_text::kOutOfMemory);
        } else if (map.allocate(bufferBytes(c, d, 1), &observer)) {
            haveMap = steps
                          .computeEdgeWeights(work, map.data(), run.noise.edgeThreshold,
                                              edgeWeightGain(run.noise.nrMode))
                          .ok();
        }
    }

    // The fused blend's rows in flight, a few per thread.
    SwapBuffer bands;
    if (result.ok() && steps.fused) {
        bands.setThreshold(threshold);
        const std::size_t perThread = fusedBlendScratchBytes(c);
        if (!bands.allocate(perThread * std::size_t(engine::maxThreads()), &observer)) {
            haveSharpened = false;
            haveMap = false;
        }
    }

    observer.setProgressText(run_text::kFinishing);
    observer.runEnding();

    if (!result.ok()) {
        observer.showMessage(engineMessage(result));
        outcome.outcome = result.code == core::StatusCode::Cancelled ? ProcessOutcome::Cancelled
                                                                     : ProcessOutcome::Failed;
        outcome.engineStatus = std::move(result);
        return outcome;
    }

    const core::Rect& r = run.region;
    const core::ImageView destination = run.result.section(r.left, r.top, c, d);
    const Blend blend = chooseBlend(haveMap, haveSharpened, run.noise.nrMode, run.outputWindowMode);
    if (steps.fused) {
        FusedBlendInputs in;
        in.blend = blend;
        in.q = work.data;
        in.p = p;
        in.pBytes = pBytes;
        in.pStride = pStride;
        in.width = c;
        in.height = d;
        const bool usesS = blend == Blend::Sharpened || blend == Blend::Portrait;
        in.sharpen = usesS ? &sharpenRows : nullptr;
        in.weights = blend != Blend::EngineOnly ? &weightRows : nullptr;
        if (run.outputWindowMode == kOutputFilteredNoise)
            in.amplifySource = run.source.section(r.left, r.top, c, d);
        blendFused(in, destination, bands.data());
    } else {
        BlendInputs in;
        in.q = work.data;
        in.p = preNr.data;
        in.s = haveSharpened ? sharpened.data() : nullptr;
        in.map = haveMap ? map.data() : nullptr;
        in.width = c;
        in.height = d;
        steps.blendInto(blend, in, destination);
        if (run.outputWindowMode == kOutputFilteredNoise)
            steps.amplifyDifference(run.source.section(r.left, r.top, c, d), destination);
    }
    outcome.outcome = ProcessOutcome::Done;
    return outcome;
}

} // namespace velanox::pipeline
