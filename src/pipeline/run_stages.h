// The stages a processing run is made of, each with its inputs and outputs named: the kept
// buffers, the copy in with the colour steps, the sharpened rows, the speckle passes, the noise
// reduction, the edge-weight map, and the blend with the diagnostic views. processRegion drives
// the shipped run through them, fusing what it can into one pass; pipeline/reference/ drives the
// plain run one stage after the other over whole buffers, and both end through concludeRun.
#pragma once

#include "core/image_view.h"
#include "core/rect.h"
#include "core/status.h"
#include "engine/engine_workspace.h"
#include "engine/pixel_filters.h"
#include "pipeline/process_region.h"
#include "pipeline/tile_grid.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace velanox::color {
class ColorPass;
}

namespace velanox::pipeline {

/// How a stage ended: the run goes on, or it stops.
enum class StageEnd {
    Continue,
    OutOfMemory,   ///< a buffer the run cannot do without is missing; its message was shown
    EngineStopped, ///< the engine (or the noise estimate) failed or was cancelled
};

/// What a stage came to; the engine's status says why the engine stopped.
struct StageStatus {
    StageEnd end = StageEnd::Continue;
    core::Status engine; ///< not ok exactly when end is EngineStopped

    bool ok() const { return end == StageEnd::Continue; }
    static StageStatus carryOn() { return {}; }
    static StageStatus outOfMemory() { return {StageEnd::OutOfMemory, {}}; }
    /// Continue for success, EngineStopped with the status otherwise.
    static StageStatus fromEngine(core::Status status) {
        if (status.ok()) return {};
        return {StageEnd::EngineStopped, std::move(status)};
    }
};

/// The region's pixels as the stages hand them on.
struct RegionImages {
    /// Q: the working copy, 4-byte pixels, reduced in place.
    core::ImageView work;
    /// P: the pixels before reduction: the kept copy (4 bytes a pixel) or, in a run that keeps
    /// none, the picture's own region (3).
    core::ConstImageView preNr;
    /// The kept copy, empty in a run that keeps none.
    core::ImageView keptPreNr;
};

/// The region of run.source as the run starts from it.
core::ConstImageView regionOfSource(const RegionRun& run);

/// The region of run.result the run writes.
core::ImageView regionOfResult(const RegionRun& run);

/// Whether the colour steps apply: the filtered-noise view shows what the engine removed from the
/// source itself.
bool recolors(const RegionRun& run);

/// Buffers: makes workBuffer hold the working copy and, with keepPreNr, preNrBuffer the
/// pre-reduction copy (without it preNrBuffer is released and P is the picture). Messages: "Out of
/// memory" for each buffer that cannot be had, then "Out of memeory #2" without the working copy
/// or "Memory Error (out of memeory)" without the pre-reduction copy, and OutOfMemory.
StageStatus allocateKeptBuffers(const RegionRun& run, bool keepPreNr, SwapBuffer& workBuffer,
                                SwapBuffer& preNrBuffer, RunObserver& observer,
                                RegionImages& images);

/// Colour, fused: the region into the working copy with byte 3 set to 255, the colour pass (when
/// given and active) on it and the result into the kept copy, in one pass over the picture.
void copyInWithColor(const RegionRun& run, const color::ColorPass* color,
                     const RegionImages& images);

/// Whether the run makes a sharpened copy: Sharpen Edges on with an amount, not in Automatic mode.
bool needsSharpened(const NoiseSettings& noise);

/// Whether the run makes an edge-weight map: Advanced Processing (not in Automatic mode) or the
/// highlighted-edges view.
bool needsMap(const RegionRun& run);

/// Sharpen, fused: prepares rows for sharpening P during the blend. False when the run makes no
/// sharpened copy, or, after "Out of memory", when the filter's memory cannot be had.
bool prepareSharpenRows(const RegionRun& run, const RegionImages& images, RunObserver& observer,
                        engine::SharpenRows& rows);

/// A pixel filter working in place on the channels of a mask (engine::speckleFilter).
using SpeckleFilter = core::Status (*)(const core::ImageView& pixels, int channelMask);

/// Speckle: in Scanner mode, specklePasses(noiseLevel) passes of filter over the colour bytes of
/// the working copy.
void speckleStage(const NoiseSettings& noise, const core::ImageView& work, SpeckleFilter filter);

/// The engine parameters of run with the observer as their progress callback.
NrParams observedEngineParams(const NoiseSettings& noise, RunObserver& observer);

/// Calls reduceTile(tile) for the tiles of grid in the engine's order, column by column, showing
/// "Processing block n/N..." before each; ends at the first status that is not ok.
template <class ReduceTile>
StageStatus forEachTile(const TileGrid& grid, RunObserver& observer, ReduceTile&& reduceTile);

/// Whether the engine takes a block of this size (32 x 32 and larger); smaller ones stay as
/// they are.
bool engineTakes(int32_t width, int32_t height);

/// Reduce, Automatic mode: the automatic denoiser over the working copy, whole or tile by tile,
/// every tile reading its margin from the kept pre-reduction copy. The picture's noise comes from
/// run.noiseProfile or is estimated from the whole source (EngineStopped with OutOfMemory when
/// it cannot be).
StageStatus reduceAutomatic(const RegionRun& run, const RegionImages& images,
                            RunObserver& observer);

/// Reduce, fused: the engine over the working copy, whole or tile by tile where each tile lies
/// (the engine reads and writes bytes 0..2 only); reduceAutomatic in Automatic mode.
StageStatus reduceInPlace(const RegionRun& run, const RegionImages& images, RunObserver& observer,
                          BlockReducer reduceBlock, engine::EngineWorkspace& workspace);

/// Edge map, fused: finds the steepest gradient of the reduced working copy so that the blend
/// can make the weights of each band. False when the run makes no map, or, after "Out of memory",
/// when the tables cannot be had.
bool prepareEdgeWeights(const RegionRun& run, const core::ConstImageView& work,
                        RunObserver& observer, engine::EdgeWeightRows& rows);

/// The blend the run's settings and its kept copies call for.
Blend blendOf(const RegionRun& run, bool haveMap, bool haveSharpened);

/// Blend, fused: the scratch of the rows in flight, fusedBlendScratchBytes(width) bytes for each
/// thread, in bands. False after "Out of memory" when it cannot be had.
bool allocateBlendScratch(const RegionRun& run, RunObserver& observer, SwapBuffer& bands);

/// Blend and diagnostics, fused: bands of rows sharpened, weighted and blended into the result
/// at the region, the filtered-noise view amplified on each row; scratch holds
/// fusedBlendScratchBytes(width) bytes per thread.
void blendStage(const RegionRun& run, const RegionImages& images, Blend blend,
                const engine::SharpenRows* sharpen, const engine::EdgeWeightRows* weights,
                uint8_t* scratch);

/// The end of every run once its stages are over: for OutOfMemory the run ends at once (Failed);
/// otherwise "Finishing..." is shown and the run ends, with the engine's message and Cancelled
/// or Failed when it stopped, Done when not. runEnding() is called on every path.
RunResult concludeRun(StageStatus status, RunObserver& observer);

/// "Processing block n/N..." in the progress dialog.
void showBlockText(RunObserver& observer, int64_t number, int64_t total);

template <class ReduceTile>
StageStatus forEachTile(const TileGrid& grid, RunObserver& observer, ReduceTile&& reduceTile) {
    const int64_t total = grid.count();
    int64_t number = 0;
    for (int64_t tx = 0; tx < grid.columns; ++tx) {
        for (int64_t ty = 0; ty < grid.rows; ++ty) {
            ++number;
            const core::Rect tile = grid.tile(tx, ty);
            if (tile.isEmpty()) continue;
            showBlockText(observer, number, total);
            StageStatus status = reduceTile(tile);
            if (!status.ok()) return status;
        }
    }
    return StageStatus::carryOn();
}

} // namespace velanox::pipeline
