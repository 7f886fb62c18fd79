// One processing run over a region of a picture: the working copy, the colour steps, the kept
// copies, scanner-mode speckle passes, the engine over the whole region or over tiles, the
// edge-weight map and the blend written into the result picture.
#pragma once

#include "color/color_steps.h"
#include "core/image_view.h"
#include "core/rect.h"
#include "core/status.h"
#include "engine/auto_denoiser.h"
#include "engine/noise_reducer.h"
#include "pipeline/memory_limits.h"
#include "pipeline/noise_settings.h"
#include "pipeline/pixel_passes.h"

#include <cstdint>

namespace velanox::engine {
class EngineWorkspace;
}

namespace velanox::pipeline {

class RunObserver;
class SwapBuffer;

/// Reduces the noise of one block of 4-byte pixels (bytes 0..2 are read and written), as
/// engine::reduceNoise does, with the engine's planes kept in the workspace between calls when
/// one is given.
using BlockReducer = core::Status (*)(const core::ImageView& block, const NrParams& params,
                                      engine::EngineWorkspace* workspace);

/// What a call of processImage came to.
enum class ProcessOutcome {
    Done,        ///< the region of the result picture holds the processed pixels
    NothingToDo, ///< nothing was run (busy, crop mode, no picture, empty region)
    Cancelled,   ///< the user cancelled; the result picture is untouched
    Failed,      ///< out of memory or an engine error, reported to the user; result untouched
};

/// Everything one run reads. The pictures are 24-bit, red, green, blue, both of one size.
struct RegionRun {
    core::ConstImageView source;
    core::ImageView result;
    core::Rect region; ///< inside the picture and not empty
    NoiseSettings noise;
    color::ColorSettings color; ///< match, tone and boost, applied before noise reduction
    int32_t outputWindowMode = kOutputResult;
    MemoryLimits limits;
    /// Automatic mode: the picture's noise, estimated once per picture by the caller; null lets
    /// the run estimate it from the whole source picture.
    const engine::NoiseProfile* noiseProfile = nullptr;
    /// Automatic mode: the denoiser's memory kept between runs; null gives the run its own.
    engine::AutoDenoiseWorkspace* autoWorkspace = nullptr;
};

struct RunResult {
    ProcessOutcome outcome = ProcessOutcome::NothingToDo;
    core::Status engineStatus; ///< the engine's status when the engine decided the outcome
};

/// The engine parameters of a run: the threshold is four times the noise level in High Noise
/// mode, the levels are limited to 2..5; progress is left for the caller to fill in.
NrParams engineParams(const NoiseSettings& noise);

/// The automatic denoiser's parameters of a run, the strengths limited to their ranges; progress
/// is left for the caller to fill in.
engine::AutoDenoiseParams autoParams(const NoiseSettings& noise);

/// The noise of a 24-bit picture as the automatic mode measures it. Returns false, with a
/// profile without noise, when the memory cannot be had.
bool estimatePictureNoise(const core::ConstImageView& picture, engine::NoiseProfile* profile);

/// The edge-weight gain: 12 in Nature mode, 1.6 otherwise.
float edgeWeightGain(int32_t nrMode);

/// Number of speckle passes in Scanner mode: trunc(noiseLevel / 6 + 1), none for a level that
/// gives less than one.
int32_t specklePasses(double noiseLevel);

/// Runs the pipeline over run.region. workBuffer and preNrBuffer are the two buffers the
/// document keeps between runs; they are resized (their threshold set from run.limits) and keep
/// their memory afterwards. Every buffer of the run's own is released before returning.
///
/// The observer gets the progress-dialog texts, the engine's progress calls, runEnding() once
/// the pixels are done with (on every path), and the messages: "Out of memory" from a buffer
/// that cannot be had, "Out of memeory #2" and "Memory Error (out of memeory)" when a kept
/// buffer fails, and the engine's result when it is not success. A failing engine call ends the
/// run at once; nothing is written into run.result unless the outcome is Done.
/// The shipped engine keeps its planes in engineWorkspace between tiles and, when the caller
/// keeps the workspace, between runs; null gives the run a workspace of its own.
///
/// Automatic mode runs the automatic denoiser instead of the engine, over the same region and
/// tiles, each tile reading its margin from the pre-reduction copy; no sharpened copy is made
/// and the blend is left out (the edge-weight map is made only for the highlighted-edges view):
/// the denoiser's own thresholds already spare the edges, and blending the noisy copy back in
/// at them returns the noise it removed.
///
/// This is the shipped run: the sharpened copy, the edge-weight map and the blend are made
/// together a band of rows at a time, tiles are reduced where they lie in the working copy, and
/// a run whose colour steps change nothing reads the picture instead of a pre-reduction copy.
/// reduceBlock is the engine call (benchmarks measure the run around the engine with one that
/// does nothing). pipeline/reference/ has the plain run it gives the same bytes as.
RunResult processRegion(const RegionRun& run, SwapBuffer& workBuffer, SwapBuffer& preNrBuffer,
                        RunObserver& observer, engine::EngineWorkspace* engineWorkspace = nullptr,
                        BlockReducer reduceBlock = &engine::reduceNoise);

} // namespace velanox::pipeline
