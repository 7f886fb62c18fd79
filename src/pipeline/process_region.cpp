#include "pipeline/process_region.h"

#include "engine/engine_workspace.h"
#include "engine/pixel_filters.h"
#include "engine/threads.h"
#include "pipeline/image_buffer.h"
#include "pipeline/pixel_passes.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"
#include "pipeline/tile_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace velanox {

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

bool engineTakes(int32_t width, int32_t height) {
    return width >= kEngineMinimumSide && height >= kEngineMinimumSide;
}

void showBlockText(RunObserver& observer, int64_t number, int64_t total) {
    char text[64];
    std::snprintf(text, sizeof text, "Processing block %lld/%lld...",
                  static_cast<long long>(number), static_cast<long long>(total));
    observer.setProgressText(text);
}

// One engine call: the shipped engine with its planes kept in the workspace, any other as given.
struct EngineCall {
    const PipelineSteps& steps;
    engine::EngineWorkspace& workspace;
    const NrParams& params;

    int32_t operator()(int32_t width, int32_t height, int32_t stride, unsigned char* pixels) const {
        if (steps.reduceNoise == &::reduceNoise)
            return engine::reduceNoise(workspace, width, height, stride, pixels, &params);
        return steps.reduceNoise(width, height, stride, pixels, &params);
    }
};

// Runs the engine tile by tile, column of tiles by column of tiles. Returns the first failing
// engine result, NR_OK when every tile succeeded, or -1 when the tile buffer cannot be had.
// The fused run hands the engine each tile where it lies in the working copy (the engine
// reads and writes bytes 0..2 only); the step-by-step run copies it out and back.
int32_t reduceTiled(const ImageBuffer& work, const EngineCall& reduce, std::size_t threshold,
                    RunObserver& observer, const TileGrid& grid, const PipelineSteps& steps) {
    SwapBuffer tileBuffer;
    if (!steps.fused) {
        tileBuffer.setThreshold(threshold);
        const std::size_t tileBytes = bufferBytes(grid.largestWidth(), grid.largestHeight(), 4);
        if (tileBytes == 0 || !tileBuffer.allocate(tileBytes, &observer)) return -1;
    }

    const int64_t total = grid.count();
    int64_t number = 0;
    for (int64_t tx = 0; tx < grid.columns; ++tx) {
        for (int64_t ty = 0; ty < grid.rows; ++ty) {
            ++number;
            const Rect tile = grid.tile(tx, ty);
            if (tile.isEmpty()) continue;
            if (steps.fused) {
                showBlockText(observer, number, total);
                if (engineTakes(tile.width(), tile.height())) {
                    const int32_t rc = reduce(tile.width(), tile.height(), int32_t(work.rowBytes()),
                                              work.pixel(tile.left, tile.top));
                    if (rc != NR_OK) return rc;
                }
                continue;
            }
            steps.copyTileOut(work, tile, tileBuffer.data());
            showBlockText(observer, number, total);
            if (engineTakes(tile.width(), tile.height())) {
                const int32_t rc = reduce(tile.width(), tile.height(), -1, tileBuffer.data());
                if (rc != NR_OK) return rc;
            }
            steps.copyTileBack(tileBuffer.data(), tile, work);
        }
    }
    return NR_OK;
}

bool needsSharpened(const NoiseSettings& noise) {
    return noise.sharpenEdges != 0 && noise.sharpenAmount > 0;
}

bool needsMap(const RegionRun& run) {
    return run.noise.advancedProcessing != 0 || run.outputWindowMode == kOutputHighlightEdges;
}

} // namespace

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
                                     &::reduceNoise,
                                     &::speckleFilter,
                                     &::sharpenFilter,
                                     &::computeEdgeWeights,
                                     &pipeline::copyRegionIn,
                                     &pipeline::copyTileOut,
                                     &pipeline::copyTileBack,
                                     &pipeline::blendInto,
                                     &pipeline::amplifyDifference};
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
    RunResult outcome{ProcessOutcome::Failed, NR_OK};

    // The filtered-noise view shows what the engine removed from the source itself.
    const bool recolour = run.outputWindowMode != kOutputFilteredNoise;
    std::optional<ColourPass> colour;
    if (steps.fused && recolour) colour.emplace(run.colour, int64_t(c) * d);
    // Where no colour step changes a pixel, the pre-reduction copy P would repeat the region of
    // the picture byte for byte: the fused run then reads the picture itself and needs no P.
    const bool pIsPicture = steps.fused && !(colour && colour->active());

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
    const ImageBuffer work{workBuffer.data(), c, d};
    const PixelBlock workBlock{work.pixels,      c, d, 4, std::ptrdiff_t(work.rowBytes()),
                               ChannelOrder::Rgb};
    if (steps.fused) {
        // The working copy and the pre-reduction copy P are written in one pass; without P
        // there is nothing the working copy could be used for.
        if (pIsPicture)
            pipeline::copyRegionIn(run.source, run.imageWidth, run.region, work);
        else if (havePreNr)
            pipeline::copyRegionInTwice(run.source, run.imageWidth, run.region, work,
                                        preNrBuffer.data(), colour ? &*colour : nullptr);
    } else {
        steps.copyRegionIn(run.source, run.imageWidth, run.region, work);
        if (recolour) applyColourSteps(run.colour, workBlock);
    }
    if (!havePreNr) {
        observer.showMessage(run_text::kPreNrOutOfMemory);
        observer.runEnding();
        return outcome;
    }
    if (!steps.fused) pipeline::copyPixels(preNrBuffer.data(), work.pixels, workBytes);
    observer.setProgressText(run_text::kPreparing);

    // The sharpened copy; without memory for it the blend goes on without it. The fused run
    // makes its rows from P during the blend (P holds what the working copy holds now).
    const std::size_t pictureRowBytes = std::size_t(run.imageWidth) * 3;
    const uint8_t* const p = pIsPicture
                                 ? run.source + std::size_t(run.region.top) * pictureRowBytes +
                                       std::size_t(run.region.left) * 3
                                 : preNrBuffer.data();
    const int pBytes = pIsPicture ? 3 : 4;
    SwapBuffer sharpened;
    sharpened.setThreshold(threshold);
    engine::SharpenRows sharpenRows;
    bool haveSharpened = false;
    if (needsSharpened(run.noise)) {
        if (steps.fused) {
            // The blend never reads byte 3 of the sharpened rows, so it is sharpened too: that
            // spares the loop keeping it.
            haveSharpened =
                sharpenRows.prepare(c, d, pBytes, run.noise.sharpenAmount, pBytes == 4 ? 15 : 7);
            if (!haveSharpened) observer.showMessage(run_text::kOutOfMemory);
        } else if (sharpened.allocate(workBytes, &observer)) {
            pipeline::copyPixels(sharpened.data(), work.pixels, workBytes);
            steps.sharpenFilter(work.pixels, sharpened.data(), c, d, 4, int(work.rowBytes()),
                                int(work.rowBytes()), run.noise.sharpenAmount, 7);
            haveSharpened = true;
        }
    }

    if (run.noise.nrMode == kNrModeScanner) {
        const int32_t passes = specklePasses(run.noise.noiseLevel);
        for (int32_t i = 0; i < passes; ++i)
            steps.speckleFilter(work.pixels, c, d, 4, int(work.rowBytes()), 7);
    }

    NrParams params = engineParams(run.noise);
    params.progress = &forwardProgress;
    params.progressContext = &observer;
    int32_t result = NR_OK;
    const int32_t blockW = run.limits.blockWidth(), blockH = run.limits.blockHeight();
    engine::EngineWorkspace ownWorkspace;
    const EngineCall reduce{steps, engineWorkspace != nullptr ? *engineWorkspace : ownWorkspace,
                            params};
    if (!needsTiling(c, d, blockW, blockH)) {
        if (engineTakes(c, d)) result = reduce(c, d, -1, work.pixels);
    } else {
        result =
            reduceTiled(work, reduce, threshold, observer, planTiles(c, d, blockW, blockH), steps);
        if (result < 0) { // the tile buffer could not be had; "Out of memory" was shown
            observer.runEnding();
            return outcome;
        }
    }

    // The edge-weight map, from the noise-reduced pixels. The fused run finds the steepest
    // gradient now and makes the weights during the blend.
    SwapBuffer map;
    map.setThreshold(threshold);
    engine::EdgeWeightRows weightRows;
    bool haveMap = false;
    if (result == NR_OK && needsMap(run)) {
        if (steps.fused) {
            haveMap = weightRows.prepare(work.pixels, c, d, 4, run.noise.edgeThreshold,
                                         edgeWeightGain(run.noise.nrMode));
            if (!haveMap) observer.showMessage(run_text::kOutOfMemory);
        } else if (map.allocate(bufferBytes(c, d, 1), &observer)) {
            haveMap =
                steps.computeEdgeWeights(work.pixels, map.data(), c, d, 4, run.noise.edgeThreshold,
                                         edgeWeightGain(run.noise.nrMode));
        }
    }

    // The fused blend's rows in flight, a few per thread.
    SwapBuffer bands;
    if (result == NR_OK && steps.fused) {
        bands.setThreshold(threshold);
        const std::size_t perThread = pipeline::fusedBlendScratchBytes(c);
        if (!bands.allocate(perThread * std::size_t(engine::maxThreads()), &observer)) {
            haveSharpened = false;
            haveMap = false;
        }
    }

    observer.setProgressText(run_text::kFinishing);
    observer.runEnding();

    outcome.engineResult = result;
    if (result != NR_OK) {
        observer.showMessage(engineMessage(result));
        outcome.outcome =
            result == NR_CANCELLED ? ProcessOutcome::Cancelled : ProcessOutcome::Failed;
        return outcome;
    }

    const pipeline::Blend blend =
        pipeline::chooseBlend(haveMap, haveSharpened, run.noise.nrMode, run.outputWindowMode);
    if (steps.fused) {
        pipeline::FusedBlendInputs in;
        in.blend = blend;
        in.q = work.pixels;
        in.p = p;
        in.pBytes = pBytes;
        in.pStride = pIsPicture ? std::ptrdiff_t(pictureRowBytes) : 0;
        in.width = c;
        in.height = d;
        const bool usesS =
            blend == pipeline::Blend::Sharpened || blend == pipeline::Blend::Portrait;
        in.sharpen = usesS ? &sharpenRows : nullptr;
        in.weights = blend != pipeline::Blend::EngineOnly ? &weightRows : nullptr;
        in.amplifySource = run.outputWindowMode == kOutputFilteredNoise ? run.source : nullptr;
        pipeline::blendFused(in, run.result, run.imageWidth, run.region.left, run.region.top,
                             bands.data());
    } else {
        pipeline::BlendInputs in;
        in.q = work.pixels;
        in.p = preNrBuffer.data();
        in.s = haveSharpened ? sharpened.data() : nullptr;
        in.map = haveMap ? map.data() : nullptr;
        in.width = c;
        in.height = d;
        steps.blendInto(blend, in, run.result, run.imageWidth, run.region.left, run.region.top);
        if (run.outputWindowMode == kOutputFilteredNoise)
            steps.amplifyDifference(run.source, run.result, run.imageWidth, run.region);
    }
    outcome.outcome = ProcessOutcome::Done;
    return outcome;
}

} // namespace velanox
