// The colour work done over a whole 6000 x 4000 photograph: the histogram (once per settled
// change on the Histogram tab) and the Full/Crop display image (once per change in that mode).
#include "color/histogram.h"
#include "document/crop_rotate.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace velanox;

constexpr int kWidth = 6000, kHeight = 4000;

const codec::Picture& photograph() {
    static codec::Picture picture;
    if (!picture.hasPixels()) {
        picture.allocate(kWidth, kHeight, 24);
        std::mt19937 rng(7);
        for (std::size_t i = 0; i < picture.pixelBytes(); ++i)
            picture.pixels()[i] = uint8_t(rng() >> 24);
    }
    return picture;
}

color::ColorSettings settingsFor(bool active) {
    color::ColorSettings settings;
    if (active) {
        settings.tone = color::ToneValues{12, 240, 0.8f, 0.7, 30};
        settings.match.matchActive = 1;
        settings.match.matchFade = 64;
    }
    return settings;
}

void BM_ComputeHistogram(benchmark::State& state) {
    const codec::Picture& source = photograph();
    const color::ColorSettings settings = settingsFor(state.range(0) != 0);
    color::HistogramBars bars{};
    for (auto _ : state) {
        computeHistogram(core::ConstImageView(source.pixels(), kWidth, kHeight, 3), settings, bars);
        benchmark::DoNotOptimize(bars);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_ComputeHistogram)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildCropDisplayImage(benchmark::State& state) {
    const codec::Picture& source = photograph();
    const color::ColorSettings settings = settingsFor(state.range(0) != 0);
    codec::Picture display;
    for (auto _ : state) {
        document::buildCropDisplayImage(source, settings, display);
        benchmark::DoNotOptimize(display.pixels());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_BuildCropDisplayImage)
    ->ArgName("colour")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_RotateImage(benchmark::State& state) {
    codec::Picture picture;
    picture.copyFrom(photograph());
    for (auto _ : state)
        document::rotateImage(picture, document::RotateDirection::Clockwise);
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_RotateImage)->Unit(benchmark::kMillisecond);

} // namespace
