// The three pixel filters on the default largest tile, 3100 x 2100 pixels of 4 bytes.
#include "engine/pixel_filters.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kWidth = 3100;
constexpr int kHeight = 2100;

std::vector<unsigned char> randomBlock() {
    std::vector<unsigned char> px(std::size_t(kWidth) * kHeight * 4);
    std::mt19937 rng(7);
    for (auto& b : px)
        b = static_cast<unsigned char>(rng());
    return px;
}

void BM_SharpenFilter(benchmark::State& state) {
    const auto source = randomBlock();
    std::vector<unsigned char> destination(source.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(sharpenFilter(source.data(), destination.data(), kWidth, kHeight,
                                               4, kWidth * 4, kWidth * 4, 8, 7));
}

void BM_SpeckleFilter(benchmark::State& state) {
    const auto source = randomBlock();
    std::vector<unsigned char> work;
    for (auto _ : state) {
        state.PauseTiming();
        work = source;
        state.ResumeTiming();
        benchmark::DoNotOptimize(speckleFilter(work.data(), kWidth, kHeight, 4, kWidth * 4, 7));
    }
}

void BM_ComputeEdgeWeights(benchmark::State& state) {
    const auto source = randomBlock();
    std::vector<unsigned char> map(std::size_t(kWidth) * kHeight);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            computeEdgeWeights(source.data(), map.data(), kWidth, kHeight, 4, 0, 1.6f));
}

} // namespace

BENCHMARK(BM_SharpenFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SpeckleFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComputeEdgeWeights)->Unit(benchmark::kMillisecond)->UseRealTime();
