// The command line of velanox-nr-cli: every option, its accepted values and what it sets.
#pragma once

#include "color/tone_values.h"
#include "core/rect.h"
#include "document/crop_rotate.h"
#include "document/crop_state.h"
#include "document/document_settings.h"
#include "pipeline/memory_limits.h"
#include "pipeline/noise_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velanox::cli {

/// The crop window asked for with --crop; applied to the (rotated) source before processing.
struct CropRequest {
    int32_t aspect = document::kCropAspectRange.defaultValue;
    bool swap = false;
    double zoom = document::CropState{}.cropZoom;
    int32_t offsetX = 0, offsetY = 0;
};

/// --target-size: the JPEG quality searched against the source's own data size or a byte count.
struct TargetSize {
    bool sameAsSource = true;
    int64_t bytes = 0;
};

struct CliOptions {
    std::vector<std::string> inputs;
    std::vector<std::string> fileLists; ///< --files-from: files naming more inputs ("-": stdin)
    std::string output;                 ///< a file or a folder; empty: beside each input
    bool recursive = false;
    std::string format; ///< output extension without the dot; empty: as the save dialog proposes
    bool overwrite = false;

    pipeline::NoiseSettings noise;
    int32_t outputWindowMode = pipeline::kOutputResult;

    color::ToneValues tone;
    bool autoLevels = false;
    bool blackGiven = false, whiteGiven = false; ///< typed levels win over --auto-levels

    std::string matchImage;
    std::string matchProfile;
    std::string saveProfile;
    int32_t matchFade = 0;

    std::vector<document::RotateDirection> rotations; ///< in the order given
    std::optional<CropRequest> crop;

    int32_t jpegQuality = document::DocumentSettings{}.JPGq;
    int32_t enhancedSampling = document::DocumentSettings{}.JPGES;
    std::optional<TargetSize> targetSize;

    pipeline::MemoryLimits memory;
    std::optional<core::Rect> region; ///< --region: left, top, right, bottom

    int readSeconds = 20;     ///< --read-time-limit: CPU seconds of the reader per file
    int64_t maxMemoryMiB = 0; ///< --max-memory; 0: half the machine's memory
    bool inProcess = false;   ///< --read-in-process: no contained reader (debugging)

    int jobs = 1;
    bool json = false;
    bool info = false;
    bool quiet = false;
    bool showVersion = false;
    bool showHelp = false;
};

/// What parsing came to: the options, or a one-line usage error naming the option and what it
/// accepts.
struct ParseResult {
    CliOptions options;
    std::string error; ///< empty on success
    bool ok() const { return error.empty(); }
};

/// Parses the arguments after the program name. "--name=value" and "--name value" are both
/// accepted; "--" ends the options. defaultJobs is used when -j is not given.
ParseResult parseCommandLine(const std::vector<std::string>& args, int defaultJobs);

/// Puts the memory budget into o.memory: --max-memory, or half the machine's memory (the files
/// processed at once share it), and whether a run can do without the pre-reduction copy.
/// parseCommandLine does this on success.
void settleMemoryBudget(CliOptions& o);

/// The text of --help.
std::string usageText();

/// Index of a crop aspect given as a number 0..8, a ratio ("3:2"), a short name ("square",
/// "widescreen", "keep") or the aspect list's own text, compared without regard to case;
/// nothing when unknown.
std::optional<int32_t> cropAspectFromText(const std::string& text);

} // namespace velanox::cli
