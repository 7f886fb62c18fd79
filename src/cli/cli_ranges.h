// Ranges of the command-line values that have no declaration beside their settings struct. The
// defaults still come from the structs; only what the tool accepts beyond the panes is here.
#pragma once

#include "color/tone_values.h"
#include "core/param_range.h"
#include "pipeline/memory_limits.h"
#include "pipeline/noise_settings.h"

#include <cstdint>

namespace velanox::cli {

/// The levels as typed numbers: the tone tables take any level, the pane's sliders only part.
inline constexpr core::ParamRange<int32_t> kBlackLevelRange{"black", 0, 255,
                                                            color::ToneValues{}.blackPoint};
inline constexpr core::ParamRange<int32_t> kWhiteLevelRange{"white", 0, 255,
                                                            color::ToneValues{}.whitePoint};

/// --temperature P is the Color Temperature Filter slider's position minus its centre.
inline constexpr core::ParamRange<int> kTemperatureRange{
    "temperature", color::kTemperatureSlider.minimum - color::kTemperatureSlider.defaultValue,
    color::kTemperatureSlider.maximum - color::kTemperatureSlider.defaultValue, 0};

/// The wavelet levels the engine accepts; the pane offers only 5 and 3.
inline constexpr core::ParamRange<int32_t> kWaveletLevelsRange{"wavelet-levels", 2, 5,
                                                               pipeline::NoiseSettings{}.nrLevels};

/// Block and swap sizes: the settings accept any positive size; this keeps products in range.
inline constexpr core::ParamRange<int32_t> kMemorySideRange{"size", 1, 1 << 20,
                                                            pipeline::MemoryLimits{}.MaxBlockW};

/// The CPU seconds the contained reader may spend on one file.
inline constexpr core::ParamRange<int> kReadSecondsRange{"read-time-limit", 1, 3600, 20};

/// The memory, in MiB, a file's reading may take (0: half the machine's memory).
inline constexpr core::ParamRange<int64_t> kMaxMemoryRange{"max-memory", 256, int64_t(1) << 24, 0};

/// Files processed at once.
inline constexpr core::ParamRange<int> kJobsRange{"jobs", 1, 256, 1};

} // namespace velanox::cli
