// A batch run: the planned files spread over the jobs, each job with its own document, the
// reports written as the files finish, and the exit status.
#pragma once

#include "cli/cli_options.h"
#include "cli/output_plan.h"
#include "cli/progress_display.h"

#include <cstdio>

namespace velanox::cli {

/// Exit statuses of the tool.
enum ExitStatus : int {
    kExitAllDone = 0,
    kExitSomeFailed = 1,
    kExitUsage = 2,
};

/// Prepares what every job needs once (the profile written from --match-image with
/// --save-profile) and fails with a reason when that cannot be done.
bool prepareRun(const CliOptions& options, ProgressDisplay& display);

/// Processes every planned file with options.jobs jobs. JSON lines go to jsonOut (with --json),
/// the --info text to infoOut, everything else to the display. Returns kExitAllDone when every
/// file is done, kExitSomeFailed otherwise.
int runBatch(const CliOptions& options, const std::vector<PlannedFile>& files,
             ProgressDisplay& display, std::FILE* jsonOut, std::FILE* infoOut);

} // namespace velanox::cli
