// The noise-reduction engine on blocks of typical sizes: a small block, a preview rectangle and
// the default largest tile. Per channel, 5 levels, threshold 8.
#include "engine/engine_workspace.h"
#include "engine/noise_reducer.h"
#include "engine/reference/reference_noise_reducer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<unsigned char> noisyBlock(int width, int height) {
    std::vector<unsigned char> px(std::size_t(width) * height * 4);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 10.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &px[(std::size_t(y) * width + x) * 4];
            const double base = 60.0 + 120.0 * x / width;
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<unsigned char>(std::clamp(base + noise(rng), 0.0, 255.0));
            p[3] = 255;
        }
    return px;
}

namespace core = velanox::core;
namespace engine = velanox::engine;

using EngineFn = core::Status (*)(const core::ImageView&, const NrParams&,
                                  engine::EngineWorkspace*);

// workspace: null for a run that allocates its planes every call, as the C entry point does.
template <EngineFn Engine>
void runEngine(benchmark::State& state, engine::EngineWorkspace* workspace = nullptr) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const std::vector<unsigned char> source = noisyBlock(width, height);
    std::vector<unsigned char> work;
    const NrParams params{1, 5, 8.0, 1, nullptr, nullptr};
    for (auto _ : state) {
        state.PauseTiming();
        work = source;
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            Engine(core::ImageView(work.data(), width, height, 4), params, workspace));
    }
    state.SetItemsProcessed(state.iterations() * int64_t(width) * height);
    state.counters["Mpix/s"] = benchmark::Counter(double(state.iterations()) * width * height / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_ReduceNoise(benchmark::State& state) {
    runEngine<engine::reduceNoise>(state);
}

// Calls after the first, as tile after tile of a picture or preview after preview: the planes
// are kept in a workspace, so no call allocates or first touches them.
void BM_ReduceNoiseKeptWorkspace(benchmark::State& state) {
    engine::EngineWorkspace kept;
    runEngine<engine::reduceNoise>(state, &kept);
}

// The straightforward engine the shipped one is compared against.
void BM_ReduceNoiseReference(benchmark::State& state) {
    runEngine<engine::reduceNoiseReference>(state);
}

} // namespace

BENCHMARK(BM_ReduceNoise)
    ->Args({512, 512})
    ->Args({1600, 430})
    ->Args({3100, 2100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReduceNoiseKeptWorkspace)
    ->Args({1600, 430})
    ->Args({3100, 2100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReduceNoiseReference)
    ->Args({512, 512})
    ->Args({1600, 430})
    ->Args({3100, 2100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
