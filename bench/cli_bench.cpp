// The batch tool end to end, as a user runs it: a separate process that loads the picture,
// processes the whole of it with default settings and saves the result. Beside it, in the same
// run, ImageMagick's wavelet denoise on the same picture (the fastest general tool measured
// here). Each benchmark reports the child's peak resident memory.
//
// The pictures (a 2-megapixel PNG and a 24-megapixel JPEG of a noisy synthetic scene) are made
// once in a temporary folder.
#include "codec/picture.h"
#include "noisy_picture.h"
#include "pipeline/process_region.h"
#include "pipeline/reference/reference_pipeline_steps.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct ChildRun {
    bool ok = false;
    double seconds = 0.0;
    long peakKiB = 0;
};

// The high-water mark of a running process's memory (VmHWM), in KiB; 0 once it has exited.
long highWaterKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Runs argv[0] (looked up in PATH) with its output discarded; the exit status must be 0. The
// peak is read from the child's own high-water mark while it runs: the rusage of a spawned
// child starts from the spawning process's peak, which here holds the test pictures.
ChildRun runChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    std::atomic<bool> done{false};
    std::atomic<long> peak{0};
    std::thread watcher([&] {
        while (!done) {
            peak = std::max(peak.load(), highWaterKiB(pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    int status = 0;
    const bool waited = waitpid(pid, &status, 0) == pid;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    watcher.join();
    run.peakKiB = peak;
    run.ok = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

class Pictures {
public:
    Pictures()
        : m_folder(fs::temp_directory_path() / ("velanox-cli-bench-" + std::to_string(getpid()))) {
        fs::create_directories(m_folder);
        m_png2mp = make(1732, 1155, "noisy_2mp.png");
        m_jpeg24mp = make(6000, 4000, "noisy_24mp.jpg");
    }
    ~Pictures() {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    const std::string& png2mp() const { return m_png2mp; }
    const std::string& jpeg24mp() const { return m_jpeg24mp; }
    std::string output(const std::string& name) const { return (m_folder / name).string(); }

private:
    std::string make(int width, int height, const std::string& name) const {
        velanox::codec::Picture p;
        velanox::bench::makeNoisyPicture(p, width, height);
        const std::string path = (m_folder / name).string();
        return p.save(path).ok() ? path : std::string();
    }

    fs::path m_folder;
    std::string m_png2mp, m_jpeg24mp;
};

const Pictures& pictures() {
    static const Pictures p;
    return p;
}

void runTimed(benchmark::State& state, const std::vector<std::string>& args) {
    long peak = 0;
    for (auto _ : state) {
        const ChildRun run = runChild(args);
        if (!run.ok) {
            state.SkipWithError(("could not run " + args[0]).c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakKiB);
    }
    state.counters["peak_MB"] = double(peak) / 1024.0;
}

void BM_CliPng2MP(benchmark::State& state) {
    const Pictures& p = pictures();
    runTimed(state, {VELANOX_CLI_PATH, p.png2mp(), "-o", p.output("cli_2mp.png"), "--overwrite"});
}

void BM_ConvertWaveletDenoisePng2MP(benchmark::State& state) {
    const Pictures& p = pictures();
    runTimed(state,
             {"convert", p.png2mp(), "-wavelet-denoise", "2.5", p.output("convert_2mp.png")});
}

void BM_CliJpeg24MP(benchmark::State& state) {
    const Pictures& p = pictures();
    runTimed(state,
             {VELANOX_CLI_PATH, p.jpeg24mp(), "-o", p.output("cli_24mp.jpg"), "--overwrite"});
}

// The same job with the reference implementation, in this process: load, the whole picture
// through the plain pipeline with default settings, save. (ImageMagick's wavelet denoise gives up
// on 24 megapixels under Debian's resource policy.)
void referenceJob(benchmark::State& state, const std::string& in, const std::string& out) {
    struct Observer final : velanox::pipeline::RunObserver {
        void showMessage(std::string_view) override {}
        void setProgressText(std::string_view) override {}
        int32_t engineProgress(int32_t, int32_t) override { return 0; }
        void runEnding() override {}
    } observer;
    const velanox::pipeline::NoiseSettings noise;
    const velanox::color::ColorSettings color;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        velanox::codec::Picture source, result;
        if (!source.load(in).ok() || !result.copyFrom(source).ok()) {
            state.SkipWithError("picture not read");
            return;
        }
        velanox::pipeline::RegionRun run;
        run.source = velanox::core::ConstImageView(source.pixels(), source.width, source.height, 3);
        run.result = velanox::core::ImageView(result.pixels(), source.width, source.height, 3);
        run.region = velanox::core::Rect{0, 0, source.width, source.height};
        run.noise = noise;
        run.color = color;
        run.steps = &velanox::pipeline::referencePipelineSteps();
        velanox::pipeline::SwapBuffer work, preNr;
        if (velanox::pipeline::processRegion(run, work, preNr, observer).outcome !=
                velanox::pipeline::ProcessOutcome::Done ||
            !result.save(out).ok()) {
            state.SkipWithError("reference run failed");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void BM_ReferenceJobPng2MP(benchmark::State& state) {
    referenceJob(state, pictures().png2mp(), pictures().output("reference_2mp.png"));
}

void BM_ReferenceJobJpeg24MP(benchmark::State& state) {
    referenceJob(state, pictures().jpeg24mp(), pictures().output("reference_24mp.jpg"));
}

} // namespace

BENCHMARK(BM_CliPng2MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_ConvertWaveletDenoisePng2MP)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_ReferenceJobPng2MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_CliJpeg24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_ReferenceJobJpeg24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
