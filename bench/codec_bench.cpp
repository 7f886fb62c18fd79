// The codec layer's costs on a 26 MP camera JPEG: decoding, the thumbnail resampling and the
// in-memory size estimate that Suggest Quality runs about six times.
#include "codec/jpeg/jpeg_codec.h"
#include "codec/picture.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {

// The shared corpus lies beside the checkout, as for the tests.
const std::string kLargeJpeg =
    (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
     "shared/testdata/noisy/canon_eos_rp_26mp_clean_benchmark.jpg")
        .string();

bool loadLarge(velanox::Picture& p, benchmark::State& state) {
    if (!std::filesystem::exists(kLargeJpeg) || p.load(kLargeJpeg) != velanox::kPictureOk) {
        state.SkipWithError("shared test data absent");
        return false;
    }
    return true;
}

void BM_LoadJpeg26MP(benchmark::State& state) {
    velanox::Picture p;
    for (auto _ : state)
        if (!loadLarge(p, state)) return;
    state.SetLabel(std::to_string(p.width) + "x" + std::to_string(p.height));
}
BENCHMARK(BM_LoadJpeg26MP)->Unit(benchmark::kMillisecond);

void BM_LoadJpegPreview(benchmark::State& state) {
    velanox::Picture p;
    p.setPreviewLimit(300, 200);
    for (auto _ : state)
        if (!loadLarge(p, state)) return;
}
BENCHMARK(BM_LoadJpegPreview)->Unit(benchmark::kMillisecond);

void BM_ResampleThumbnail(benchmark::State& state) {
    velanox::Picture source;
    if (!loadLarge(source, state)) return;
    velanox::Picture p;
    for (auto _ : state) {
        p.copyFrom(source);
        p.resample(320, 213);
    }
}
BENCHMARK(BM_ResampleThumbnail)->Unit(benchmark::kMillisecond);

void BM_EstimateJpegSize(benchmark::State& state) {
    velanox::Picture p;
    if (!loadLarge(p, state)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            velanox::codec::estimateJpegSize(p.pixels(), p.width, p.height, 92, true));
}
BENCHMARK(BM_EstimateJpegSize)->Unit(benchmark::kMillisecond);

} // namespace
