// The three pixel filters on the default largest tile, 3100 x 2100 pixels of 4 bytes, the shipped
// versions beside the plain ones in engine/reference/ (same results, one thread). Compare the
// two in the same run: the machine may be busy with other work.
#include "engine/pixel_filters.h"
#include "engine/reference/reference_pixel_filters.h"

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

namespace core = velanox::core;
namespace engine = velanox::engine;

using SharpenFn = core::Status (*)(const core::ConstImageView&, const core::ImageView&, int, int);
using SpeckleFn = core::Status (*)(const core::ImageView&, int);
using EdgeWeightsFn = core::Status (*)(const core::ConstImageView&, uint8_t*, int, float);

core::ImageView viewOf(std::vector<unsigned char>& px) {
    return {px.data(), kWidth, kHeight, 4};
}

template <SharpenFn Sharpen> void runSharpen(benchmark::State& state) {
    auto source = randomBlock();
    std::vector<unsigned char> destination(source.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(Sharpen(viewOf(source), viewOf(destination), 8, 7));
}

template <SpeckleFn Speckle> void runSpeckle(benchmark::State& state) {
    const auto source = randomBlock();
    std::vector<unsigned char> work;
    for (auto _ : state) {
        state.PauseTiming();
        work = source;
        state.ResumeTiming();
        benchmark::DoNotOptimize(Speckle(viewOf(work), 7));
    }
}

template <EdgeWeightsFn EdgeWeights> void runEdgeWeights(benchmark::State& state) {
    auto source = randomBlock();
    std::vector<unsigned char> map(std::size_t(kWidth) * kHeight);
    for (auto _ : state)
        benchmark::DoNotOptimize(EdgeWeights(viewOf(source), map.data(), 0, 1.6f));
}

void BM_SharpenFilter(benchmark::State& state) {
    runSharpen<engine::sharpenFilter>(state);
}
void BM_SharpenFilterReference(benchmark::State& state) {
    runSharpen<engine::sharpenFilterReference>(state);
}
void BM_SpeckleFilter(benchmark::State& state) {
    runSpeckle<engine::speckleFilter>(state);
}
void BM_SpeckleFilterReference(benchmark::State& state) {
    runSpeckle<engine::speckleFilterReference>(state);
}
void BM_ComputeEdgeWeights(benchmark::State& state) {
    runEdgeWeights<engine::computeEdgeWeights>(state);
}
void BM_ComputeEdgeWeightsReference(benchmark::State& state) {
    runEdgeWeights<engine::computeEdgeWeightsReference>(state);
}

} // namespace

// Wall time, and the CPU time of all threads of the process.
#define VELANOX_FILTER_BENCH(name)                                                                 \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()

VELANOX_FILTER_BENCH(BM_SharpenFilter);
VELANOX_FILTER_BENCH(BM_SharpenFilterReference);
VELANOX_FILTER_BENCH(BM_SpeckleFilter);
VELANOX_FILTER_BENCH(BM_SpeckleFilterReference);
VELANOX_FILTER_BENCH(BM_ComputeEdgeWeights);
VELANOX_FILTER_BENCH(BM_ComputeEdgeWeightsReference);
