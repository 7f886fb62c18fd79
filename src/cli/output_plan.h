// Where each input's result goes: beside the input, into the output folder (keeping the folder
// tree below a named INPUT folder), or to the one output file named.
#pragma once

#include "cli/cli_options.h"
#include "cli/input_files.h"

#include <string>
#include <vector>

namespace velanox::cli {

struct PlannedFile {
    InputFile input;
    std::string output;
    std::string skipReason; ///< not empty: the file is not processed (reported as skipped)
};

struct OutputPlan {
    std::vector<PlannedFile> files;
    std::string error; ///< a usage error (a file named as output for several inputs), or a
                       ///< folder that cannot be created
};

/// The output of each input. The name is the save dialog's proposal with --format's extension
/// or the proposed default type. -o names a file when exactly one file INPUT is given and the
/// path is not an existing folder nor ends in a separator; a file name without extension gets
/// the type's. Output folders are created. Without --overwrite an existing output is skipped;
/// when several inputs would write the same file, only the first does. --info plans no output.
OutputPlan planOutputs(const CliOptions& options, const std::vector<InputFile>& inputs);

} // namespace velanox::cli
