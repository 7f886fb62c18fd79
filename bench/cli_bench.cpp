// The batch tool end to end, as a user runs it: a separate process that loads each picture,
// processes the whole of it with default settings and saves the result. Beside it, in the same
// run, ImageMagick's wavelet denoise on the same picture (the fastest general tool measured
// here; its counter x_cli is its time over the batch tool's) and the same job through the plain
// reference pipeline. Each benchmark reports the child's peak resident memory.
//
// The pictures: a 2-megapixel PNG and a 24-megapixel JPEG of a noisy synthetic scene, made once
// in a temporary folder, and the corpus's 26-megapixel camera JPEG when the shared corpus is
// there. ImageMagick gets a resource policy of its own in that folder (Debian's refuses pictures
// this large). The *OtherCoreBusy benchmarks run while a thread of this program spins on one
// core; their x_quiet counter is their time over the quiet figure. With VELANOX_BASELINE_CLI
// naming another build of the batch tool (an earlier version, say), the Baseline* benchmarks
// run it on the same jobs; their x_cli counter is their time over this build's.
#include "bench_support.h"
#include "codec/picture.h"
#include "noisy_picture.h"
#include "pipeline/process_region.h"
#include "pipeline/reference/step_by_step_run.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"
#include "silent_observer.h"

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
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using velanox::bench::keepFigure;
using velanox::bench::ratioTo;

struct ChildRun {
    bool ok = false;
    double seconds = 0.0;
    double cpuSeconds = 0.0; ///< user and system time of the child
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

// Runs argv[0] (looked up in PATH) with its output discarded and `extraEnvironment` added; the
// exit status must be 0. The peak is read from the child's own high-water mark while it runs:
// the rusage of a spawned child starts from the spawning process's peak, which here holds the
// test pictures.
ChildRun runChild(const std::vector<std::string>& args,
                  const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& e : extraEnvironment)
        env.push_back(const_cast<char*>(e.c_str()));
    for (char** e = environ; *e != nullptr; ++e)
        env.push_back(*e);
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
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
    rusage usage{};
    const bool waited = wait4(pid, &status, 0, &usage) == pid;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    watcher.join();
    run.peakKiB = peak;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    run.ok = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// ImageMagick's resource limits for the comparison runs: enough for 26 megapixels in memory.
constexpr const char* kMagickPolicy = R"(<?xml version="1.0" encoding="UTF-8"?>
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="disk" value="16GiB"/>
  <policy domain="resource" name="area" value="1GP"/>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
</policymap>
)";

constexpr int kFolderPictures = 20;

class Pictures {
public:
    Pictures()
        : m_folder(fs::temp_directory_path() / ("velanox-cli-bench-" + std::to_string(getpid()))) {
        fs::create_directories(m_folder);
        m_png2mp = make(1732, 1155, "noisy_2mp.png");
        m_jpeg24mp = make(6000, 4000, "noisy_24mp.jpg");
        std::ofstream(m_folder / "policy.xml") << kMagickPolicy;
        const std::string camera = velanox::bench::cameraJpeg();
        if (!camera.empty()) {
            m_camera = (m_folder / "camera_26mp.jpg").string();
            fs::copy_file(camera, m_camera);
        }
        // A folder of camera JPEGs (the synthetic one without the corpus).
        const std::string& one = m_camera.empty() ? m_jpeg24mp : m_camera;
        fs::create_directories(m_folder / "card");
        for (int i = 0; i < kFolderPictures; ++i)
            fs::copy_file(one, m_folder / "card" / ("IMG_" + std::to_string(1000 + i) + ".jpg"));
        velanox::codec::Picture p;
        if (p.load(one).ok()) m_folderPixels = double(p.width) * p.height;
    }
    ~Pictures() {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    const std::string& png2mp() const { return m_png2mp; }
    const std::string& jpeg24mp() const { return m_jpeg24mp; }
    const std::string& camera() const { return m_camera; }
    std::string card() const { return (m_folder / "card").string(); }
    double cardMegapixels() const { return kFolderPictures * m_folderPixels / 1e6; }
    std::string output(const std::string& name) const { return (m_folder / name).string(); }
    std::string magickEnvironment() const { return "MAGICK_CONFIGURE_PATH=" + m_folder.string(); }

private:
    std::string make(int width, int height, const std::string& name) const {
        velanox::codec::Picture p;
        velanox::bench::makeNoisyPicture(p, width, height);
        const std::string path = (m_folder / name).string();
        return p.save(path).ok() ? path : std::string();
    }

    fs::path m_folder;
    std::string m_png2mp, m_jpeg24mp, m_camera;
    double m_folderPixels = 0.0;
};

const Pictures& pictures() {
    static const Pictures p;
    return p;
}

// Debian's ImageMagick itself rather than any wrapper before it in PATH.
std::string convertProgram() {
    return fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

// Runs the child once per iteration and keeps the mean time under `figure`.
void runTimed(benchmark::State& state, const std::vector<std::string>& args,
              const std::string& figure, const std::vector<std::string>& environment = {}) {
    long peak = 0;
    double total = 0.0, cpu = 0.0;
    for (auto _ : state) {
        const ChildRun run = runChild(args, environment);
        if (!run.ok) {
            state.SkipWithError(("could not run " + args[0]).c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakKiB);
        total += run.seconds;
        cpu += run.cpuSeconds;
    }
    const double mean = total / double(state.iterations());
    keepFigure(figure, mean);
    state.counters["peak_MB"] = double(peak) / 1024.0;
    // Of the machine's cores, the share the child kept busy.
    state.counters["cpu_use"] =
        cpu / total / double(std::max(1u, std::thread::hardware_concurrency()));
}

bool needs(benchmark::State& state, const std::string& path) {
    if (!path.empty()) return true;
    state.SkipWithError("shared test data absent");
    return false;
}

double meanOf(const std::string& figure) {
    return velanox::bench::figures()[figure];
}

// The other build of the batch tool to compare with, or empty.
std::string baselineCli() {
    const char* path = std::getenv("VELANOX_BASELINE_CLI");
    return path != nullptr ? path : "";
}

bool needsBaseline(benchmark::State& state) {
    if (!baselineCli().empty()) return true;
    state.SkipWithError("VELANOX_BASELINE_CLI not set");
    return false;
}

void BM_StartEmptyProgram(benchmark::State& state) {
    runTimed(state, {"true"}, "true");
}

void BM_CliVersion(benchmark::State& state) {
    runTimed(state, {VELANOX_CLI_PATH, "--version"}, "version");
}

void BM_CliPng2MP(benchmark::State& state) {
    const Pictures& p = pictures();
    runTimed(state, {VELANOX_CLI_PATH, p.png2mp(), "-o", p.output("cli_2mp.png"), "--overwrite"},
             "png");
}

void BM_ConvertWaveletDenoisePng2MP(benchmark::State& state) {
    const Pictures& p = pictures();
    runTimed(state,
             {convertProgram(), p.png2mp(), "-wavelet-denoise", "2.5", p.output("convert_2mp.png")},
             "convert png", {p.magickEnvironment()});
    ratioTo(state, "x_cli", "png", meanOf("convert png"));
}

void BM_CliCameraJpeg26MP(benchmark::State& state) {
    const Pictures& p = pictures();
    if (!needs(state, p.camera())) return;
    runTimed(state, {VELANOX_CLI_PATH, p.camera(), "-o", p.output("cli_26mp.jpg"), "--overwrite"},
             "camera");
}

void BM_ConvertWaveletDenoiseCameraJpeg26MP(benchmark::State& state) {
    const Pictures& p = pictures();
    if (!needs(state, p.camera())) return;
    runTimed(
        state,
        {convertProgram(), p.camera(), "-wavelet-denoise", "2.5", p.output("convert_26mp.jpg")},
        "convert camera", {p.magickEnvironment()});
    ratioTo(state, "x_cli", "camera", meanOf("convert camera"));
}

void BM_CliJpeg24MP(benchmark::State& state) {
    const Pictures& p = pictures();
    runTimed(state, {VELANOX_CLI_PATH, p.jpeg24mp(), "-o", p.output("cli_24mp.jpg"), "--overwrite"},
             "jpeg");
}

// A folder of camera JPEGs into another folder, one job or two side by side; MP/s counts the
// pictures' megapixels over the whole command's time.
void cardRun(benchmark::State& state, int jobs) {
    const Pictures& p = pictures();
    const std::string out = p.output("card_out_" + std::to_string(jobs));
    runTimed(state,
             {VELANOX_CLI_PATH, "-q", "--overwrite", "-j", std::to_string(jobs), "-o", out + "/",
              p.card()},
             "card " + std::to_string(jobs));
    state.counters["MP/s"] = p.cardMegapixels() / meanOf("card " + std::to_string(jobs));
}

void BM_CliFolderOfJpegs(benchmark::State& state) {
    cardRun(state, int(state.range(0)));
}

void BM_CliPng2MPOtherCoreBusy(benchmark::State& state) {
    const Pictures& p = pictures();
    const velanox::bench::BusyCore busy;
    runTimed(state, {VELANOX_CLI_PATH, p.png2mp(), "-o", p.output("cli_2mp.png"), "--overwrite"},
             "png busy");
    ratioTo(state, "x_quiet", "png", meanOf("png busy"));
}

void BM_CliCameraJpeg26MPOtherCoreBusy(benchmark::State& state) {
    const Pictures& p = pictures();
    if (!needs(state, p.camera())) return;
    const velanox::bench::BusyCore busy;
    runTimed(state, {VELANOX_CLI_PATH, p.camera(), "-o", p.output("cli_26mp.jpg"), "--overwrite"},
             "camera busy");
    ratioTo(state, "x_quiet", "camera", meanOf("camera busy"));
}

void BM_BaselineCliVersion(benchmark::State& state) {
    if (!needsBaseline(state)) return;
    runTimed(state, {baselineCli(), "--version"}, "baseline version");
    ratioTo(state, "x_cli", "version", meanOf("baseline version"));
}

void BM_BaselineCliPng2MP(benchmark::State& state) {
    if (!needsBaseline(state)) return;
    const Pictures& p = pictures();
    runTimed(state, {baselineCli(), p.png2mp(), "-o", p.output("base_2mp.png"), "--overwrite"},
             "baseline png");
    ratioTo(state, "x_cli", "png", meanOf("baseline png"));
}

void BM_BaselineCliCameraJpeg26MP(benchmark::State& state) {
    const Pictures& p = pictures();
    if (!needsBaseline(state) || !needs(state, p.camera())) return;
    runTimed(state, {baselineCli(), p.camera(), "-o", p.output("base_26mp.jpg"), "--overwrite"},
             "baseline camera");
    ratioTo(state, "x_cli", "camera", meanOf("baseline camera"));
}

void BM_BaselineCliCameraJpeg26MPOtherCoreBusy(benchmark::State& state) {
    const Pictures& p = pictures();
    if (!needsBaseline(state) || !needs(state, p.camera())) return;
    const velanox::bench::BusyCore busy;
    runTimed(state, {baselineCli(), p.camera(), "-o", p.output("base_26mp.jpg"), "--overwrite"},
             "baseline camera busy");
    ratioTo(state, "x_cli", "camera busy", meanOf("baseline camera busy"));
}

// The same job with the reference implementation, in this process: load, the whole picture
// through the plain pipeline with default settings, save. Its x_cli counter is its time over
// the batch tool's on the same picture.
void referenceJob(benchmark::State& state, const std::string& in, const std::string& out,
                  const std::string& cliFigure) {
    velanox::bench::SilentObserver observer;
    const velanox::pipeline::NoiseSettings noise;
    const velanox::color::ColorSettings color;
    double total = 0.0;
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
        velanox::pipeline::SwapBuffer work, preNr;
        if (velanox::pipeline::processRegionStepByStep(run, work, preNr, observer).outcome !=
                velanox::pipeline::ProcessOutcome::Done ||
            !result.save(out).ok()) {
            state.SkipWithError("reference run failed");
            return;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    ratioTo(state, "x_cli", cliFigure, total / double(state.iterations()));
}

void BM_ReferenceJobPng2MP(benchmark::State& state) {
    referenceJob(state, pictures().png2mp(), pictures().output("reference_2mp.png"), "png");
}

void BM_ReferenceJobJpeg24MP(benchmark::State& state) {
    referenceJob(state, pictures().jpeg24mp(), pictures().output("reference_24mp.jpg"), "jpeg");
}

} // namespace

BENCHMARK(BM_StartEmptyProgram)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_CliVersion)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_CliPng2MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_ConvertWaveletDenoisePng2MP)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_CliCameraJpeg26MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ConvertWaveletDenoiseCameraJpeg26MP)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_CliJpeg24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_CliFolderOfJpegs)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_CliPng2MPOtherCoreBusy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CliCameraJpeg26MPOtherCoreBusy)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_BaselineCliVersion)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_BaselineCliPng2MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_BaselineCliCameraJpeg26MP)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_BaselineCliCameraJpeg26MPOtherCoreBusy)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_ReferenceJobPng2MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_ReferenceJobJpeg24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
