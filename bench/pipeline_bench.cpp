// processImage with default settings over a whole 6000x4000 picture (tiled with the default
// block limits) and over a 1600x430 detail rectangle, the size of a typical preview; beside
// them the same runs made of the plain engine, filters and passes one step after the other,
// and the shipped whole run with an engine that does nothing, which leaves the cost of
// everything around the engine.
#include "document/csotavo_doc.h"
#include "pipeline/reference/reference_pipeline_steps.h"
#include "pipeline/run_observer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

namespace {

// A host that shows nothing and never cancels.
class QuietHost final : public velanox::document::Host {
public:
    void showMessage(std::string_view) override {}
    velanox::document::Answer askQuestion(std::string_view,
                                          velanox::document::QuestionButtons) override {
        return velanox::document::Answer::No;
    }
    velanox::document::PumpResult pumpEvents() override {
        return velanox::document::PumpResult::Continue;
    }
    void setRunning(bool) override {}
    bool escapePending() override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    std::unique_ptr<velanox::document::StatusProgress> createStatusProgress(int32_t) override {
        return std::make_unique<Status>();
    }
    std::unique_ptr<velanox::document::ProgressDialog> createProgressDialog() override {
        return nullptr;
    }
    void updateAllViews() override {}

private:
    struct Status final : velanox::document::StatusProgress {
        bool isShown() const override { return true; }
        void setPosition(int32_t) override {}
    };
};

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

// Saving again, or the second picture of a batch of the same size: the document's buffers and the
// engine's planes are already there (one untimed run made them).
void BM_ProcessWholePicture(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc, 6000, 4000);
    doc.processImage(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.processImage(false));
    state.counters["Mpix/s"] = benchmark::Counter(double(state.iterations()) * 6000 * 4000 / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// The first run of a document: every buffer is allocated and touched for the first time.
void BM_ProcessWholePictureFirstRun(benchmark::State& state) {
    QuietHost host;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<velanox::document::CSotavoDoc>(host);
        loadNoisyPicture(*doc, 6000, 4000);
        state.ResumeTiming();
        benchmark::DoNotOptimize(doc->processImage(false));
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}

void BM_ProcessDetailRect(benchmark::State& state) {
    QuietHost host;
    velanox::document::CSotavoDoc doc(host);
    loadNoisyPicture(doc, 6000, 4000);
    doc.setDetailRect(2000, 1500, 3600, 1930);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.processImage(true));
    state.counters["Mpix/s"] = benchmark::Counter(double(state.iterations()) * 1600 * 430 / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// A run of processRegion as processImage makes it, with other steps.
class StepsRun {
public:
    StepsRun(int width, int height, velanox::core::Rect region,
             const velanox::pipeline::PipelineSteps& steps)
        : m_doc(m_host) {
        loadNoisyPicture(m_doc, width, height);
        m_run.source = velanox::core::ConstImageView(m_doc.sourceImage.pixels(), width, height, 3);
        m_run.result = velanox::core::ImageView(m_doc.resultImage.pixels(), width, height, 3);
        m_run.region = region;
        m_run.noise = m_doc.noise;
        m_run.color = m_doc.color;
        m_run.limits = m_doc.memory;
        m_run.steps = &steps;
    }
    velanox::pipeline::ProcessOutcome operator()() {
        return velanox::pipeline::processRegion(m_run, m_doc.processing.workBuffer,
                                                m_doc.processing.preNrBuffer, m_observer)
            .outcome;
    }

private:
    struct Observer final : velanox::pipeline::RunObserver {
        void showMessage(std::string_view) override {}
        void setProgressText(std::string_view) override {}
        int32_t engineProgress(int32_t, int32_t) override { return 0; }
        void runEnding() override {}
    };
    QuietHost m_host;
    velanox::document::CSotavoDoc m_doc;
    velanox::pipeline::RegionRun m_run;
    Observer m_observer;
};

void BM_ProcessWholePictureReference(benchmark::State& state) {
    StepsRun run(6000, 4000, velanox::core::Rect{0, 0, 6000, 4000},
                 velanox::pipeline::referencePipelineSteps());
    for (auto _ : state)
        benchmark::DoNotOptimize(run());
}

void BM_ProcessDetailRectReference(benchmark::State& state) {
    StepsRun run(6000, 4000, velanox::core::Rect{2000, 1500, 3600, 1930},
                 velanox::pipeline::referencePipelineSteps());
    for (auto _ : state)
        benchmark::DoNotOptimize(run());
}

velanox::core::Status noEngine(const velanox::core::ImageView&, const NrParams&,
                               velanox::engine::EngineWorkspace*) {
    return velanox::core::Status::success();
}

const velanox::pipeline::PipelineSteps& shippedWithoutEngine() {
    static const velanox::pipeline::PipelineSteps steps = [] {
        velanox::pipeline::PipelineSteps s = velanox::pipeline::shippedPipelineSteps();
        s.reduceNoise = &noEngine;
        return s;
    }();
    return steps;
}

void BM_ProcessWholePictureWithoutEngine(benchmark::State& state) {
    StepsRun run(6000, 4000, velanox::core::Rect{0, 0, 6000, 4000}, shippedWithoutEngine());
    run(); // warm: the kept buffers have their pages
    for (auto _ : state)
        benchmark::DoNotOptimize(run());
}

} // namespace

BENCHMARK(BM_ProcessWholePictureFirstRun)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_ProcessWholePicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ProcessWholePictureReference)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_ProcessWholePictureWithoutEngine)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(5);
BENCHMARK(BM_ProcessDetailRect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProcessDetailRectReference)->Unit(benchmark::kMillisecond)->UseRealTime();
