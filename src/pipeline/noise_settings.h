// The noise-reduction settings a processing run reads, with their defaults and ranges declared
// once here for the options pane, the command-line flags and the pipeline.
#pragma once

#include "engine/auto_denoiser.h"

#include <cstdint>

namespace velanox::pipeline {

/// Values of NoiseSettings::nrMode, in the order of the mode list.
enum NrMode : int32_t {
    kNrModeDefault = 0,
    kNrModeNature = 1,    ///< edge-weight gain 12 instead of 1.6
    kNrModePortrait = 2,  ///< bright, reddish pixels keep more of their texture
    kNrModeHighNoise = 3, ///< engine threshold four times the noise level
    kNrModeScanner = 4,   ///< speckle passes before noise reduction
    kNrModeAuto = 5,      ///< the automatic denoiser, from the picture's own noise estimate
};

/// The number of modes in the mode list.
inline constexpr int32_t kNrModeCount = 6;

/// Values of the output display selection (outputWindowMode).
enum OutputWindowMode : int32_t {
    kOutputResult = 0,         ///< "Display Result Image (default)"
    kOutputHighlightEdges = 1, ///< "Show Image Edges"
    kOutputFilteredNoise = 2,  ///< "Show Filtered Noise"
};

struct NoiseSettings {
    double noiseLevel = 8.0;        ///< engine threshold before the mode factor, 0.0..100.0
    int32_t nrLevels = 5;           ///< wavelet levels: 5 removes block noise, 3 does not
    int32_t nrPerChannel = 1;       ///< handed to the engine as perChannel
    int32_t advancedProcessing = 1; ///< edge-weighted blend with the kept copies
    int32_t sharpenEdges = 1;       ///< build the sharpened copy
    int32_t sharpenAmount = 8;      ///< 0..100
    int32_t edgeThreshold = 0;      ///< 0..255
    int32_t nrMode = kNrModeDefault;
    /// Automatic mode: strength in percent of the estimated noise, and the colour-noise strength
    /// in percent on top of it (engine::kAutoStrengthRange, engine::kAutoColorStrengthRange).
    int32_t autoStrength = engine::kAutoStrengthRange.defaultValue;
    int32_t autoChroma = engine::kAutoColorStrengthRange.defaultValue;

    static constexpr double kNoiseLevelMin = 0.0, kNoiseLevelMax = 100.0;
    static constexpr double kNoiseLevelSliderMax = 20.0; ///< the slider covers 0.0..20.0
    static constexpr int32_t kSharpenAmountMin = 0, kSharpenAmountMax = 100;
    static constexpr int32_t kEdgeThresholdMin = 0, kEdgeThresholdMax = 255;
    static constexpr int32_t kLevelsWithBlockNoise = 5, kLevelsWithoutBlockNoise = 3;
};

} // namespace velanox::pipeline
