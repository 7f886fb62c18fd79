// The automatic denoiser beside the default mode, in one run so that their ratio holds on a busy
// machine: processImage with default settings and in the automatic mode over a whole 6000x4000
// picture and over a 1600x430 detail rectangle; the same picture's noise estimate; the automatic
// denoiser over the picture in the tiles processImage makes with the default block limits (2 x 2
// tiles of 3000 x 2000, each reading its margin from an unchanged copy, as the pre-reduction copy
// serves the pipeline); the pipeline without any engine, which with the tiles gives the automatic
// mode's whole run; and the 1600x430 rectangle denoised on its own, shipped and straightforward.
// CPU times are those of the whole process (every thread), steadier than the wall-clock times on a
// shared machine.
#include "document/csotavo_doc.h"
#include "engine/auto_denoiser.h"
#include "engine/reference/reference_auto_denoiser.h"
#include "pipeline/process_region.h"
#include "pipeline/run_observer.h"
#include "quiet_host.h"
#include "silent_observer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using velanox::bench::QuietHost;

using namespace velanox::engine;

constexpr int kWidth = 6000, kHeight = 4000;

void loadNoisyPicture(velanox::document::CSotavoDoc& doc) {
    doc.sourceImage.allocate(kWidth, kHeight, 24);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 10.0);
    uint8_t* p = doc.sourceImage.pixels();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x, p += 3) {
            const double base = 60.0 + 120.0 * x / kWidth + 40.0 * ((x / 200 + y / 200) % 2);
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<uint8_t>(std::clamp(base + noise(rng), 0.0, 255.0));
        }
    doc.resultImage.copyFrom(doc.sourceImage);
}

// The picture as the pipeline's 4-byte working pixels, and its estimate.
struct Working {
    std::vector<unsigned char> source, target;
    NoiseProfile profile;
    Working() {
        QuietHost host;
        velanox::document::CSotavoDoc doc(host);
        loadNoisyPicture(doc);
        source.resize(std::size_t(kWidth) * kHeight * 4);
        const uint8_t* p = doc.sourceImage.pixels();
        for (std::size_t i = 0; i < std::size_t(kWidth) * kHeight; ++i) {
            std::memcpy(&source[4 * i], p + 3 * i, 3);
            source[4 * i + 3] = 255;
        }
        target = source;
        estimateNoise(doc.sourceImage.pixels(), kWidth, kHeight, -1, 3, &profile);
    }
};

Working& working() {
    static Working w;
    return w;
}

void BM_DefaultWholePicture(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc);
    doc.processImage(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.processImage(false));
}

void BM_DefaultDetailRect(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc);
    doc.setDetailRect(2000, 1500, 3600, 1930);
    doc.processImage(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.processImage(true));
}

// The automatic mode through processImage, as the program runs it: the whole picture (its
// estimate made once, before the timed runs, as the document keeps it) and the detail rectangle.
void BM_AutoModeWholePicture(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc);
    doc.noise.nrMode = velanox::pipeline::kNrModeAuto;
    doc.processImage(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.processImage(false));
}

void BM_AutoModeDetailRect(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc);
    doc.noise.nrMode = velanox::pipeline::kNrModeAuto;
    doc.setDetailRect(2000, 1500, 3600, 1930);
    doc.processImage(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.processImage(true));
}

velanox::core::Status noEngine(const velanox::core::ImageView&, const NrParams&,
                               velanox::engine::EngineWorkspace*) {
    return velanox::core::Status::success();
}

// Everything processImage does around the engine: the copies, colour steps, sharpened copy, edge
// map and blend.
void BM_PipelineWithoutEngine(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc);
    velanox::pipeline::RegionRun run;
    run.source = velanox::core::ConstImageView(doc.sourceImage.pixels(), kWidth, kHeight, 3);
    run.result = velanox::core::ImageView(doc.resultImage.pixels(), kWidth, kHeight, 3);
    run.region = velanox::core::Rect{0, 0, kWidth, kHeight};
    run.noise = doc.noise;
    run.color = doc.color;
    run.limits = doc.memory;
    velanox::bench::SilentObserver observer;
    auto once = [&] {
        return velanox::pipeline::processRegion(run, doc.processing.workBuffer,
                                                doc.processing.preNrBuffer, observer, nullptr,
                                                &noEngine)
            .outcome;
    };
    once();
    for (auto _ : state)
        benchmark::DoNotOptimize(once());
}

void BM_AutoEstimate(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc);
    NoiseProfile profile;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            estimateNoise(doc.sourceImage.pixels(), kWidth, kHeight, -1, 3, &profile));
    state.counters["sigma"] = profile.sigma;
}

void BM_AutoWholePictureTiles(benchmark::State& state) {
    Working& w = working();
    AutoDenoiseWorkspace workspace;
    const AutoDenoiseParams params;
    auto once = [&] {
        int32_t rc = NR_OK;
        for (int tx = 0; tx < 2; ++tx)
            for (int ty = 0; ty < 2; ++ty) {
                AutoDenoiseImages im;
                im.source = w.source.data();
                im.width = kWidth;
                im.height = kHeight;
                im.tileX = tx * 3000;
                im.tileY = ty * 2000;
                im.tileWidth = 3000;
                im.tileHeight = 2000;
                im.target = w.target.data() + (std::size_t(im.tileY) * kWidth + im.tileX) * 4;
                im.targetStride = std::ptrdiff_t(kWidth) * 4;
                rc = reduceNoiseAuto(im, w.profile, params, &workspace);
            }
        return rc;
    };
    once();
    for (auto _ : state)
        benchmark::DoNotOptimize(once());
    state.counters["workspaceMB"] = double(workspace.bytes()) / 1e6;
}

// The detail rectangle as the pipeline hands it over: its own working copy, denoised whole.
void BM_AutoDetailRect(benchmark::State& state) {
    Working& w = working();
    std::vector<unsigned char> rect(std::size_t(1600) * 430 * 4);
    AutoDenoiseWorkspace workspace;
    const AutoDenoiseParams params;
    auto once = [&] {
        for (int y = 0; y < 430; ++y)
            std::memcpy(&rect[std::size_t(y) * 1600 * 4],
                        &w.source[(std::size_t(1500 + y) * kWidth + 2000) * 4], 1600 * 4);
        return reduceNoiseAuto(AutoDenoiseImages::inPlace(rect.data(), 1600, 430), w.profile,
                               params, &workspace);
    };
    once();
    for (auto _ : state)
        benchmark::DoNotOptimize(once());
}

void BM_AutoDetailRectReference(benchmark::State& state) {
    Working& w = working();
    std::vector<unsigned char> rect(std::size_t(1600) * 430 * 4);
    const AutoDenoiseParams params;
    for (auto _ : state) {
        for (int y = 0; y < 430; ++y)
            std::memcpy(&rect[std::size_t(y) * 1600 * 4],
                        &w.source[(std::size_t(1500 + y) * kWidth + 2000) * 4], 1600 * 4);
        benchmark::DoNotOptimize(reduceNoiseAutoReference(
            AutoDenoiseImages::inPlace(rect.data(), 1600, 430), w.profile, params));
    }
}

} // namespace

BENCHMARK(BM_DefaultWholePicture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);
BENCHMARK(BM_AutoModeWholePicture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);
BENCHMARK(BM_PipelineWithoutEngine)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);
BENCHMARK(BM_AutoEstimate)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);
BENCHMARK(BM_AutoWholePictureTiles)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);
BENCHMARK(BM_DefaultDetailRect)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_AutoModeDetailRect)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_AutoDetailRect)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_AutoDetailRectReference)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);
