// The colour work done over a whole 6000 x 4000 photograph: the histogram (once per settled
// change on the Histogram tab) and the Full/Crop display image (once per change in that mode);
// and the conversion of one 1600 x 430 detail view from a Display P3 picture to the screen's
// sRGB, beside a plain copy of the same image for scale.
#include "codec/icc/icc_profile.h"
#include "color/color_transform.h"
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

// The detail view converts both of its halves (each 1600 x 430 at most) from the picture's
// profile to the screen's every time they are redrawn after a change.
constexpr int kViewWidth = 1600, kViewHeight = 430;

std::vector<uint8_t> viewImage() {
    std::vector<uint8_t> image(std::size_t(kViewWidth) * kViewHeight * 4);
    std::mt19937 rng(11);
    for (uint8_t& v : image)
        v = uint8_t(rng() >> 24);
    return image;
}

void BM_DisplayConversionP3ToSrgb(benchmark::State& state) {
    const std::vector<uint8_t> p3 = codec::profileFromNclx(12, 13); // Display P3
    color::ColorTransformCache cache;
    const std::vector<uint8_t> source = viewImage();
    std::vector<uint8_t> image = source;
    for (auto _ : state) {
        image = source;
        cache.convert(p3, {}, color::PixelLayout::Bgrx, image.data(), kViewWidth, kViewHeight,
                      std::size_t(kViewWidth) * 4);
        benchmark::DoNotOptimize(image.data());
    }
}
BENCHMARK(BM_DisplayConversionP3ToSrgb)->Unit(benchmark::kMillisecond);

// The copy the conversion above includes, alone: what an untagged picture costs.
void BM_DisplayCopyOnly(benchmark::State& state) {
    const std::vector<uint8_t> source = viewImage();
    std::vector<uint8_t> image = source;
    for (auto _ : state) {
        image = source;
        benchmark::DoNotOptimize(image.data());
    }
}
BENCHMARK(BM_DisplayCopyOnly)->Unit(benchmark::kMillisecond);

} // namespace
