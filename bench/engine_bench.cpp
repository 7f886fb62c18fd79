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

template <int32_t (*Engine)(int32_t, int32_t, int32_t, unsigned char*, const NrParams*)>
void runEngine(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const std::vector<unsigned char> source = noisyBlock(width, height);
    std::vector<unsigned char> work;
    const NrParams params{1, 5, 8.0, 1, nullptr, nullptr};
    for (auto _ : state) {
        state.PauseTiming();
        work = source;
        state.ResumeTiming();
        benchmark::DoNotOptimize(Engine(width, height, -1, work.data(), &params));
    }
    state.SetItemsProcessed(state.iterations() * int64_t(width) * height);
    state.counters["Mpix/s"] = benchmark::Counter(double(state.iterations()) * width * height / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_ReduceNoise(benchmark::State& state) {
    runEngine<reduceNoise>(state);
}

// Calls after the first, as tile after tile of a picture or preview after preview: the planes
// are kept in a workspace, so no call allocates or first touches them.
velanox::engine::EngineWorkspace keptWorkspace;

int32_t reduceNoiseKept(int32_t w, int32_t h, int32_t stride, unsigned char* px,
                        const NrParams* p) {
    return velanox::engine::reduceNoise(keptWorkspace, w, h, stride, px, p);
}

void BM_ReduceNoiseKeptWorkspace(benchmark::State& state) {
    runEngine<reduceNoiseKept>(state);
    keptWorkspace.release();
}

// The straightforward engine the shipped one is compared against.
void BM_ReduceNoiseReference(benchmark::State& state) {
    runEngine<velanox::engine::reduceNoiseReference>(state);
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
