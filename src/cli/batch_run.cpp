#include "cli/batch_run.h"

#include "cli/cli_host.h"
#include "cli/file_job.h"
#include "document/load_source.h"
#include "engine/threads.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace velanox::cli {

bool prepareRun(const CliOptions& options, ProgressDisplay& display) {
    if (options.saveProfile.empty() || options.info) return true;
    // Written once here rather than by every job, so parallel jobs never write the same file.
    CliHost host(display, 0);
    document::CSotavoDoc doc(host, documentSettingsFor(options));
    color::ColorMatchState match;
    if (const core::Status st = document::loadReferenceImage(match, doc, options.matchImage);
        !st.ok()) {
        display.note(
            "cannot read the reference " + options.matchImage + ": " + st.reason +
            (st.detail.empty() ? std::string() : " (" + document::readerSaidText(st.detail) + ")"));

        return false;
    }
    if (const core::Status st = match.writeProfile(options.saveProfile); !st.ok()) {
        display.note("cannot write the profile " + options.saveProfile + ": " + st.reason);
        return false;
    }
    return true;
}

int runBatch(const CliOptions& options, const std::vector<PlannedFile>& files,
             ProgressDisplay& display, std::FILE* jsonOut, std::FILE* infoOut) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> allDone{true};
    std::mutex outputMutex;

    auto publish = [&](int slot, const FileReport& report) {
        if (report.status != FileStatus::Done) allDone = false;
        {
            std::lock_guard lock(outputMutex);
            if (options.json) {
                std::fprintf(jsonOut, "%s\n", jsonLine(report, options.info).c_str());
                std::fflush(jsonOut);
            } else if (options.info && report.status == FileStatus::Done) {
                std::fprintf(infoOut, "%s\n  size: %d x %d, %s\n  format: %s\n",
                             report.input.c_str(), report.width, report.height,
                             report.message.c_str(), report.format.c_str());
                if (report.noiseEstimate >= 0.0)
                    std::fprintf(infoOut, "  Estimated noise: %.1f\n", report.noiseEstimate);
                // The pane's text ends its lines with CR LF; a terminal wants LF only.
                std::string text = report.info;
                std::erase(text, '\r');
                std::size_t start = 0;
                while (start < text.size()) {
                    const std::size_t end = text.find('\n', start);
                    std::fprintf(
                        infoOut, "  %s\n",
                        text.substr(start, end == std::string::npos ? end : end - start).c_str());
                    if (end == std::string::npos) break;
                    start = end + 1;
                }
                std::fflush(infoOut);
            }
        }
        const bool failed = report.status != FileStatus::Done;
        // The --info text is the line of a described file.
        const bool described = options.info && !failed;
        display.fileFinished(slot, described ? std::string() : textLine(report), failed);
    };

    const int jobs = std::max(1, std::min<int>(options.jobs, int(files.size())));
    // The files processed at once share the memory budget.
    CliOptions perJob = options;
    perJob.memory.budgetBytes = std::max<uint64_t>(options.memory.budgetBytes / uint64_t(jobs), 1);
    auto work = [&](int slot) {
        // The engine spreads each call over the cores; jobs running side by side share them
        // instead of each using a thread per core (measured faster on two cores).
        if (jobs > 1)
            engine::setThreadLimit(
                std::max(1, int(std::max(1u, std::thread::hardware_concurrency())) / jobs));
        FileJob job(perJob, display, slot);
        for (std::size_t i = next++; i < files.size(); i = next++) {
            const PlannedFile& file = files[i];
            if (!file.skipReason.empty()) {
                FileReport report;
                report.input = file.input.path;
                report.status = FileStatus::Skipped;
                report.message = file.skipReason;
                publish(slot, report);
                continue;
            }
            publish(slot, job.run(file.input, file.output));
        }
    };

    std::vector<std::thread> threads;
    for (int slot = 1; slot < jobs; ++slot)
        threads.emplace_back(work, slot);
    work(0);
    for (std::thread& t : threads)
        t.join();
    display.finish();
    return allDone ? kExitAllDone : kExitSomeFailed;
}

} // namespace velanox::cli
