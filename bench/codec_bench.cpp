// The codec layer's costs on a 26 MP camera JPEG: decoding, the thumbnail resampling and the
// in-memory size estimate that Suggest Quality runs about six times.
#include "codec/jpeg/jpeg_codec.h"
#include "codec/picture.h"
#include "codec/png/png_codec.h"
#include "engine/threads.h"
#include "noisy_picture.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The shared corpus lies beside the checkout, as for the tests.
const std::string kLargeJpeg =
    (std::filesystem::path(VELANOX_CORPUS_DIR) / "noisy/canon_eos_rp_26mp_clean_benchmark.jpg")
        .string();

bool loadLarge(velanox::codec::Picture& p, benchmark::State& state) {
    if (!std::filesystem::exists(kLargeJpeg) || !p.load(kLargeJpeg).ok()) {
        state.SkipWithError("shared test data absent");
        return false;
    }
    return true;
}

// On one thread, and on two (the picture decoded in two bands at once), side by side.
void BM_LoadJpeg26MP(benchmark::State& state) {
    velanox::engine::setThreadLimit(int(state.range(0)));
    velanox::codec::Picture p;

    for (auto _ : state)
        if (!loadLarge(p, state)) break;
    velanox::engine::setThreadLimit(0);
    state.SetLabel(std::to_string(p.width) + "x" + std::to_string(p.height));
}
BENCHMARK(BM_LoadJpeg26MP)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LoadJpegPreview(benchmark::State& state) {
    velanox::codec::Picture p;
    p.setPreviewLimit(300, 200);
    for (auto _ : state)
        if (!loadLarge(p, state)) return;
}
BENCHMARK(BM_LoadJpegPreview)->Unit(benchmark::kMillisecond);

void BM_ResampleThumbnail(benchmark::State& state) {
    velanox::codec::Picture source;
    if (!loadLarge(source, state)) return;
    velanox::codec::Picture p;
    for (auto _ : state) {
        p.copyFrom(source);
        p.resample(320, 213);
    }
}
BENCHMARK(BM_ResampleThumbnail)->Unit(benchmark::kMillisecond);

void BM_EstimateJpegSize(benchmark::State& state) {
    velanox::codec::Picture p;
    if (!loadLarge(p, state)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            velanox::codec::estimateJpegSize(p.pixels(), p.width, p.height, 92, true));
}
BENCHMARK(BM_EstimateJpegSize)->Unit(benchmark::kMillisecond);

using velanox::bench::makeNoisyPicture;

const std::string kPngPath =
    (std::filesystem::temp_directory_path() / "velanox_codec_bench.png").string();

void BM_SavePng2MP(benchmark::State& state) {
    velanox::codec::Picture p;
    makeNoisyPicture(p, 1732, 1155);
    for (auto _ : state)
        if (!p.save(kPngPath).ok()) state.SkipWithError("PNG not written");
    state.counters["MB"] = double(std::filesystem::file_size(kPngPath)) / 1e6;
}
BENCHMARK(BM_SavePng2MP)->Unit(benchmark::kMillisecond)->UseRealTime();

// The encoding alone, without the file system's share of a save.
void BM_EncodePng2MP(benchmark::State& state) {
    velanox::codec::Picture p;
    makeNoisyPicture(p, 1732, 1155);
    std::vector<uint8_t> bytes;
    for (auto _ : state)
        if (!velanox::codec::writePng(p, bytes).ok()) state.SkipWithError("PNG not encoded");
    state.counters["MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_EncodePng2MP)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 12-megapixel camera picture's size (4000 x 3000), encoded in memory.
void BM_EncodePng12MP(benchmark::State& state) {
    velanox::codec::Picture p;
    makeNoisyPicture(p, 4000, 3000);
    std::vector<uint8_t> bytes;
    for (auto _ : state)
        if (!velanox::codec::writePng(p, bytes).ok()) state.SkipWithError("PNG not encoded");
    state.counters["MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_EncodePng12MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadPng2MP(benchmark::State& state) {
    velanox::codec::Picture p;
    makeNoisyPicture(p, 1732, 1155);
    if (!p.save(kPngPath).ok()) {
        state.SkipWithError("PNG not written");
        return;
    }
    for (auto _ : state)
        if (!p.load(kPngPath).ok()) state.SkipWithError("PNG not read");
    std::filesystem::remove(kPngPath);
}
BENCHMARK(BM_LoadPng2MP)->Unit(benchmark::kMillisecond);

} // namespace
