// velanox-nr-cli: the batch tool. Each input goes from Open to Save as in the program, with
// the settings of the command line; see --help.
#include "cli/batch_run.h"
#include "cli/cancel_signal.h"
#include "cli/cli_options.h"
#include "cli/file_list.h"
#include "cli/input_files.h"
#include "cli/output_plan.h"
#include "cli/progress_display.h"
#include "codec/contained_reader.h"

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace velanox::cli;

namespace {

constexpr const char* kProgram = "velanox-nr-cli";

int usageError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const ParseResult parsed = parseCommandLine(args, cores);
    if (!parsed.ok()) return usageError(parsed.error);
    const CliOptions& options = parsed.options;
    if (options.showHelp) {
        std::fputs(usageText().c_str(), stdout);
        return kExitAllDone;
    }
    if (options.showVersion) {
        std::printf("%s %s\n", kProgram, VELANOX_VERSION);
        return kExitAllDone;
    }

    // Every picture is read by the contained reader, limited in time and memory.
    velanox::codec::ContainedReading reading;
    reading.enabled = !options.inProcess;
    reading.cpuSeconds = uint32_t(options.readSeconds);
    reading.memoryBytes = uint64_t(options.maxMemoryMiB) << 20;
    velanox::codec::setContainedReading(std::move(reading));

    installCancelHandler();
    const ListedInputs listed = gatherInputs(options.inputs, options.fileLists);
    for (const std::string& error : listed.errors)
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    const InputListing listing = enumerateInputs(listed.inputs, options.recursive);
    for (const std::string& error : listing.errors)
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    const bool inputsFailed = !listed.errors.empty() || !listing.errors.empty();
    if (listing.files.empty()) {
        if (!inputsFailed)
            std::fprintf(stderr, "%s: no readable image files in the inputs\n", kProgram);
        return kExitSomeFailed;
    }

    const OutputPlan plan = planOutputs(options, listing.files);
    if (!plan.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, plan.error.c_str());
        return kExitSomeFailed;
    }

    ProgressDisplay display(stderr, ProgressDisplay::stderrIsTerminal(), options.quiet,
                            int(plan.files.size()), options.jobs);
    if (!prepareRun(options, display)) return kExitSomeFailed;
    const int status = runBatch(options, plan.files, display, stdout, stdout);
    if (cancelRequested()) std::fprintf(stderr, "%s: cancelled\n", kProgram);
    return inputsFailed ? kExitSomeFailed : status;
}
