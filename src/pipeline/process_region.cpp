#include "pipeline/process_region.h"

#include "engine/engine_workspace.h"
#include "pipeline/pixel_passes.h"
#include "pipeline/run_observer.h"
#include "pipeline/run_stages.h"
#include "pipeline/swap_buffer.h"

#include <algorithm>
#include <optional>

namespace velanox::pipeline {

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

RunResult processRegion(const RegionRun& run, SwapBuffer& workBuffer, SwapBuffer& preNrBuffer,
                        RunObserver& observer, engine::EngineWorkspace* engineWorkspace,
                        BlockReducer reduceBlock) {
    std::optional<color::ColorPass> color;
    if (recolors(run)) color.emplace(run.color, int64_t(run.region.width()) * run.region.height());
    // Where no colour step changes a pixel, the pre-reduction copy would repeat the region of the
    // picture byte for byte: the run then reads the picture itself. The automatic mode reads its
    // source as whole 4-byte pixels, so it keeps the copy.
    const bool keepPreNr = (color && color->active()) || run.noise.nrMode == kNrModeAuto;
    RegionImages images;
    StageStatus status =
        allocateKeptBuffers(run, keepPreNr, workBuffer, preNrBuffer, observer, images);
    if (!status.ok()) return concludeRun(std::move(status), observer);
    copyInWithColor(run, color ? &*color : nullptr, images);
    observer.setProgressText(run_text::kPreparing);

    // The sharpened rows are made from P during the blend (P holds what the working copy holds
    // now); without memory for them the blend goes on without them.
    engine::SharpenRows sharpenRows;
    bool haveSharpened = prepareSharpenRows(run, images, observer, sharpenRows);
    speckleStage(run.noise, images.work, &engine::speckleFilter);
    engine::EngineWorkspace ownWorkspace;
    status = reduceInPlace(run, images, observer, reduceBlock,
                           engineWorkspace != nullptr ? *engineWorkspace : ownWorkspace);

    // The steepest gradient of the reduced pixels now, the weights band by band in the blend.
    engine::EdgeWeightRows weightRows;
    bool haveMap = status.ok() && prepareEdgeWeights(run, images.work, observer, weightRows);
    // Without its rows in flight the blend makes neither sharpened rows nor weights.
    SwapBuffer bands;
    if (status.ok() && !allocateBlendScratch(run, observer, bands)) haveSharpened = haveMap = false;

    RunResult result = concludeRun(std::move(status), observer);
    if (result.outcome == ProcessOutcome::Done)
        blendStage(run, images, blendOf(run, haveMap, haveSharpened), &sharpenRows, &weightRows,
                   bands.data());
    return result;
}

} // namespace velanox::pipeline
