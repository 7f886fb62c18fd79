// The state of processing runs: the busy and result flags, the size of the last region, the two
// work buffers kept between runs and the progress displays of a run.
#pragma once

#include "document/host.h"
#include "engine/auto_denoiser.h"
#include "engine/engine_workspace.h"
#include "pipeline/swap_buffer.h"

#include <cstdint>
#include <memory>

namespace velanox::document {

struct ProcessingState {
    int32_t calculating = 0;     ///< a run is in progress
    int32_t resultValid = 0;     ///< resultImage holds a processed region
    int32_t cancelRequested = 0; ///< sticky cancel, reset when a run starts
    int32_t cropWidth = 0;       ///< size of the region of the last run
    int32_t cropHeight = 0;
    pipeline::SwapBuffer workBuffer;
    pipeline::SwapBuffer preNrBuffer;
    /// The engine's planes, kept between runs like the two buffers: a preview follows every
    /// change of a setting. They grow to the largest block a run gave the engine (bounded by
    /// the memory settings' block size).
    engine::EngineWorkspace engineWorkspace;
    /// The automatic denoiser's memory, kept like the engine's.
    engine::AutoDenoiseWorkspace autoWorkspace;
    /// The noise of sourceImage as the automatic mode measured it, made by the first run or
    /// read-out that needs it and kept while the source stays the same (noiseProfileKey is a
    /// fingerprint of its size and a sample of its rows; 0: none measured).
    engine::NoiseProfile noiseProfile;
    uint64_t noiseProfileKey = 0;
    /// The workspaces hold the planes of a whole-picture run: kept for the next whole-picture
    /// run (saving again, the next picture of a batch), let go before the next detail run.
    bool workspaceOfWholeRun = false;
    /// The progress window; exists only while saving (owned by the saving operation).
    ProgressDialog* progressDialog = nullptr;
    /// The status-bar indicator, created by the first engine callback of a run.
    std::unique_ptr<StatusProgress> statusProgress;
    /// A detail run was asked for while a run was on; it follows when that run ends.
    bool detailRunPending = false;
};

} // namespace velanox::document
