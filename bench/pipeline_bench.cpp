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

void loadNoisyPicture(velanox::document::CSotavoDoc& doc, int width, int height) {
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
    velanox::document::CSotavoDoc doc(host);
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
        auto doc = std::make_unique<velanox::document::CSotavoDoc>(host);
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
    velanox::document::CSotavoDoc doc(host);
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
    RegionRunner(int width, int height, velanox::core::Rect region,
                 velanox::pipeline::BlockReducer shippedWith = nullptr)
        : m_doc(m_host), m_shippedWith(shippedWith) {
        loadNoisyPicture(m_doc, width, height);
        m_run.source = velanox::core::ConstImageView(m_doc.sourceImage.pixels(), width, height, 3);
        m_run.result = velanox::core::ImageView(m_doc.resultImage.pixels(), width, height, 3);
        m_run.region = region;
        m_run.noise = m_doc.noise;
        m_run.color = m_doc.color;
        m_run.limits = m_doc.memory;
    }
    velanox::pipeline::ProcessOutcome operator()() {
        velanox::pipeline::SwapBuffer& work = m_doc.processing.workBuffer;
        velanox::pipeline::SwapBuffer& preNr = m_doc.processing.preNrBuffer;
        if (m_shippedWith != nullptr)
            return velanox::pipeline::processRegion(m_run, work, preNr, m_observer, nullptr,
                                                    m_shippedWith)
                .outcome;
        return velanox::pipeline::processRegionStepByStep(m_run, work, preNr, m_observer).outcome;
    }

private:
    QuietHost m_host;
    velanox::document::CSotavoDoc m_doc;
    velanox::pipeline::RegionRun m_run;
    velanox::bench::SilentObserver m_observer;
    velanox::pipeline::BlockReducer m_shippedWith;
};

// The plain run; x_shipped is its time over the shipped run's (kept under `figure`).
void referenceRun(benchmark::State& state, velanox::core::Rect region, const std::string& figure) {
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
    referenceRun(state, velanox::core::Rect{0, 0, 6000, 4000}, "whole");
}

void BM_ProcessDetailRectReference(benchmark::State& state) {
    referenceRun(state, velanox::core::Rect{2000, 1500, 3600, 1930}, "detail");
}

velanox::core::Status noEngine(const velanox::core::ImageView&, const NrParams&,
                               velanox::engine::EngineWorkspace*) {
    return velanox::core::Status::success();
}

void BM_ProcessWholePictureWithoutEngine(benchmark::State& state) {
    RegionRunner run(6000, 4000, velanox::core::Rect{0, 0, 6000, 4000}, &noEngine);
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
        velanox::document::CSotavoDoc doc(host);
        const std::string camera = velanox::bench::cameraJpeg();
        if (!camera.empty()) {
            if (!velanox::document::loadSource(doc, camera, false).loaded()) {
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
        const bool saved = velanox::document::onSaveDocument(doc, out).saved();
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
    velanox::document::CSotavoDoc doc(host);
    const std::string camera = velanox::bench::cameraJpeg();
    if (camera.empty() || !doc.sourceImage.load(camera).ok())
        velanox::bench::makeNoisyPicture(doc.sourceImage, 6240, 4160);
    const std::string out = (std::filesystem::temp_directory_path() /
                             ("velanox-save-bench-ref-" + std::to_string(getpid()) + ".jpg"))
                                .string();
    velanox::pipeline::RegionRun run;
    run.noise = doc.noise;
    run.color = doc.color;
    run.limits = doc.memory;
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        velanox::codec::Picture result;
        result.copyFrom(doc.sourceImage);
        const int32_t w = doc.sourceImage.width, h = doc.sourceImage.height;
        run.source = velanox::core::ConstImageView(doc.sourceImage.pixels(), w, h, 3);
        run.result = velanox::core::ImageView(result.pixels(), w, h, 3);
        run.region = velanox::core::Rect{0, 0, w, h};
        velanox::pipeline::SwapBuffer work, preNr;
        velanox::bench::SilentObserver observer;
        result.writeOptions.set(velanox::codec::kQuality, uint32_t(doc.jpeg.jpegQualitySetting));
        result.info.exifBlock = doc.sourceImage.info.exifBlock;
        if (velanox::pipeline::processRegionStepByStep(run, work, preNr, observer).outcome !=
                velanox::pipeline::ProcessOutcome::Done ||
            !result.save(out).ok()) {
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
    velanox::document::CSotavoDoc doc(host);
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
