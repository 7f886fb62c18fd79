// processImage with default settings over a whole 6000x4000 picture (tiled with the default
// block limits) and over a 1600x430 detail rectangle, the size of a typical preview; beside
// them the same runs made of the plain engine, filters and passes one step after the other
// (their x_shipped counter: their time over the shipped run's), and the shipped whole run with
// an engine that does nothing, which leaves the cost of everything around the engine. Then
// Save of a 26-megapixel photo as JPEG from an open document, and the whole-picture runs again
// while a thread of this program keeps one core busy (x_quiet: their time over the quiet one).
#include "bench_support.h"
#include "document/csotavo_doc.h"
#include "document/load_source.h"
#include "document/save_document.h"
#include "noisy_picture.h"
#include "pipeline/reference/step_by_step_run.h"
#include "pipeline/run_observer.h"
#include "quiet_host.h"
#include "silent_observer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

#include <unistd.h>

namespace {

using velanox::bench::QuietHost;

void loadNoisyPicture(velanox::CSotavoDoc& doc, int width, int height) {
    doc.sourceImage.allocate(width, height, 24);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 10.0);
    uint8_t* p = doc.sourceImage.pixels();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, p += 3) {
            const double base = 60.0 + 120.0 * x / width + 40.0 * ((x / 200 + y / 200) % 2);
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<uint8_t>(std::clamp(base + noise(rng), 0.0, 255.0));
        }
    doc.resultImage.copyFrom(doc.sourceImage);
}

using velanox::bench::keepFigure;
using velanox::bench::ratioTo;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Saving again, or the second picture of a batch of the same size: the document's buffers are
// already there (one untimed run made them).
void wholePicture(benchmark::State& state, const std::string& figure) {
    QuietHost host;
    velanox::CSotavoDoc doc(host);
    loadNoisyPicture(doc, 6000, 4000);
    doc.processImage(false);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(doc.processImage(false));
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
    }
    keepFigure(figure, total / double(state.iterations()));
    state.counters["Mpix/s"] = double(state.iterations()) * 6000 * 4000 / 1e6 / total;
}

void BM_ProcessWholePicture(benchmark::State& state) {
    wholePicture(state, "whole");
}

// The first run of a document: every buffer is allocated and touched for the first time.
void firstRun(benchmark::State& state, const std::string& figure) {
    QuietHost host;
    double total = 0.0;
    for (auto _ : state) {
        auto doc = std::make_unique<velanox::CSotavoDoc>(host);
        loadNoisyPicture(*doc, 6000, 4000);
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(doc->processImage(false));
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
        doc.reset();
    }
    keepFigure(figure, total / double(state.iterations()));
}

void BM_ProcessWholePictureFirstRun(benchmark::State& state) {
    firstRun(state, "first run");
}

void BM_ProcessDetailRect(benchmark::State& state) {
    QuietHost host;
    velanox::CSotavoDoc doc(host);
    loadNoisyPicture(doc, 6000, 4000);
    doc.setDetailRect(2000, 1500, 3600, 1930);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(doc.processImage(true));
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
    }
    keepFigure("detail", total / double(state.iterations()));
    state.counters["Mpix/s"] = double(state.iterations()) * 1600 * 430 / 1e6 / total;
}

// A run over a region as processImage makes it: the plain one, or the shipped one with another
// engine call.
class RegionRunner {
public:
    RegionRunner(int width, int height, velanox::Rect region,
                 velanox::BlockReducer shippedWith = nullptr)
        : doc_(host_), shippedWith_(shippedWith) {
        loadNoisyPicture(doc_, width, height);
        run_.source = doc_.sourceImage.pixels();
        run_.result = doc_.resultImage.pixels();
        run_.imageWidth = width;
        run_.imageHeight = height;
        run_.region = region;
        run_.noise = doc_.noise;
        run_.colour = doc_.colour;
        run_.limits = doc_.memory;
    }
    velanox::ProcessOutcome operator()() {
        velanox::SwapBuffer& work = doc_.processing.workBuffer;
        velanox::SwapBuffer& preNr = doc_.processing.preNrBuffer;
        if (shippedWith_ != nullptr)
            return velanox::processRegion(run_, work, preNr, observer_, nullptr, shippedWith_)
                .outcome;
        return velanox::pipeline::processRegionStepByStep(run_, work, preNr, observer_).outcome;
    }

private:
    QuietHost host_;
    velanox::CSotavoDoc doc_;
    velanox::RegionRun run_;
    velanox::bench::SilentObserver observer_;
    velanox::BlockReducer shippedWith_;
};

// The plain run; x_shipped is its time over the shipped run's (kept under `figure`).
void referenceRun(benchmark::State& state, velanox::Rect region, const std::string& figure) {
    RegionRunner run(6000, 4000, region);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(run());
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
    }
    ratioTo(state, "x_shipped", figure, total / double(state.iterations()));
}

void BM_ProcessWholePictureReference(benchmark::State& state) {
    referenceRun(state, velanox::Rect{0, 0, 6000, 4000}, "whole");
}

void BM_ProcessDetailRectReference(benchmark::State& state) {
    referenceRun(state, velanox::Rect{2000, 1500, 3600, 1930}, "detail");
}

int32_t noEngine(velanox::engine::EngineWorkspace&, int32_t, int32_t, int32_t, unsigned char*,
                 const NrParams&) {
    return NR_OK;
}

void BM_ProcessWholePictureWithoutEngine(benchmark::State& state) {
    RegionRunner run(6000, 4000, velanox::Rect{0, 0, 6000, 4000}, &noEngine);
    run(); // warm: the kept buffers have their pages
    for (auto _ : state)
        benchmark::DoNotOptimize(run());
}

// File > Save of the corpus's 26-megapixel camera photo as JPEG (a synthetic picture of its size
// without the corpus), with a detail run made first as the open program has: the whole-picture
// run, the JPEG written with the source's EXIF and the detail run again. Beside it the same
// save with the whole picture made by the plain reference run (x_shipped).
void BM_SaveJpeg26MP(benchmark::State& state) {
    QuietHost host;
    const std::string out = (std::filesystem::temp_directory_path() /
                             ("velanox-save-bench-" + std::to_string(getpid()) + ".jpg"))
                                .string();
    double total = 0.0;
    for (auto _ : state) {
        velanox::CSotavoDoc doc(host);
        const std::string camera = velanox::bench::cameraJpeg();
        if (!camera.empty()) {
            if (!velanox::loadSource(doc, camera, false).loaded()) {
                state.SkipWithError("photo not read");
                return;
            }
        } else {
            velanox::bench::makeNoisyPicture(doc.sourceImage, 6240, 4160);
            doc.resultImage.copyFrom(doc.sourceImage);
        }
        doc.setDetailRect(2000, 1500, 3600, 1930);
        doc.processImage(true);
        const auto start = std::chrono::steady_clock::now();
        const bool saved = velanox::onSaveDocument(doc, out).saved();
        const double s = seconds(start);
        if (!saved) {
            state.SkipWithError("not saved");
            return;
        }
        state.SetIterationTime(s);
        total += s;
    }
    keepFigure("save", total / double(state.iterations()));
    std::filesystem::remove(out);
}

void BM_SaveJpeg26MPReference(benchmark::State& state) {
    QuietHost host;
    velanox::CSotavoDoc doc(host);
    const std::string camera = velanox::bench::cameraJpeg();
    if (camera.empty() || doc.sourceImage.load(camera) != velanox::kPictureOk)
        velanox::bench::makeNoisyPicture(doc.sourceImage, 6240, 4160);
    const std::string out = (std::filesystem::temp_directory_path() /
                             ("velanox-save-bench-ref-" + std::to_string(getpid()) + ".jpg"))
                                .string();
    velanox::RegionRun run;
    run.noise = doc.noise;
    run.colour = doc.colour;
    run.limits = doc.memory;
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        velanox::Picture result;
        result.copyFrom(doc.sourceImage);
        run.source = doc.sourceImage.pixels();
        run.result = result.pixels();
        run.imageWidth = doc.sourceImage.width;
        run.imageHeight = doc.sourceImage.height;
        run.region = velanox::Rect{0, 0, run.imageWidth, run.imageHeight};
        velanox::SwapBuffer work, preNr;
        velanox::bench::SilentObserver observer;
        result.jpegQuality = uint32_t(doc.jpeg.jpegQualitySetting);
        result.exifBlock = doc.sourceImage.exifBlock;
        if (velanox::pipeline::processRegionStepByStep(run, work, preNr, observer).outcome !=
                velanox::ProcessOutcome::Done ||
            result.save(out) != velanox::kPictureOk) {
            state.SkipWithError("reference save failed");
            return;
        }
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
    }
    ratioTo(state, "x_shipped", "save", total / double(state.iterations()));
    std::filesystem::remove(out);
}

void BM_ProcessWholePictureOtherCoreBusy(benchmark::State& state) {
    const velanox::bench::BusyCore busy;
    wholePicture(state, "whole busy");
    ratioTo(state, "x_quiet", "whole", velanox::bench::figures()["whole busy"]);
}

void BM_ProcessWholePictureFirstRunOtherCoreBusy(benchmark::State& state) {
    const velanox::bench::BusyCore busy;
    firstRun(state, "first run busy");
    ratioTo(state, "x_quiet", "first run", velanox::bench::figures()["first run busy"]);
}

void BM_ProcessDetailRectOtherCoreBusy(benchmark::State& state) {
    const velanox::bench::BusyCore busy;
    QuietHost host;
    velanox::CSotavoDoc doc(host);
    loadNoisyPicture(doc, 6000, 4000);
    doc.setDetailRect(2000, 1500, 3600, 1930);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(doc.processImage(true));
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
    }
    ratioTo(state, "x_quiet", "detail", total / double(state.iterations()));
}

} // namespace

BENCHMARK(BM_ProcessWholePictureFirstRun)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_ProcessWholePicture)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ProcessWholePictureReference)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_ProcessWholePictureWithoutEngine)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(5);
BENCHMARK(BM_ProcessDetailRect)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ProcessDetailRectReference)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SaveJpeg26MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SaveJpeg26MPReference)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_ProcessWholePictureOtherCoreBusy)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_ProcessWholePictureFirstRunOtherCoreBusy)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_ProcessDetailRectOtherCoreBusy)->Unit(benchmark::kMillisecond)->UseManualTime();
