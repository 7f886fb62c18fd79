// The shipped run (sharpened copy, map and blend fused, tiles reduced in place) against the plain
// run made of the reference engine, filters and passes one step after the other, over whole
// pictures and regions of them, in every mode and output view, tiled and untiled. Measured:
// 0 differing bytes in every case below, and the picture outside the region untouched.
#include "pipeline/process_region.h"
#include "pipeline/reference/reference_pipeline_steps.h"

#include "codec/picture.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"
#include "support/test_images.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velanox;

namespace {

class QuietObserver final : public pipeline::RunObserver {
public:
    std::vector<std::string> messages, texts;
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void setProgressText(std::string_view text) override { texts.emplace_back(text); }
    int32_t engineProgress(int32_t, int32_t) override { return 0; }
    void runEnding() override {}
};

struct Picture24 {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

Picture24 noisyPicture(int32_t width, int32_t height, uint32_t seed) {
    const test::TestImage scene = test::makeNoisyScene(width, height, 14.0, seed);
    Picture24 p{width, height, std::vector<uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                p.pixels[(std::size_t(y) * width + x) * 3 + k] = scene.at(x, y, k);
    return p;
}

// A run of the given steps over region of source; the result starts as a copy of the source.
std::vector<uint8_t> runWith(const pipeline::PipelineSteps& steps, const Picture24& source,
                             pipeline::RegionRun run,
                             pipeline::ProcessOutcome expected = pipeline::ProcessOutcome::Done) {
    std::vector<uint8_t> result = source.pixels;
    run.source = core::ConstImageView(source.pixels.data(), source.width, source.height, 3);
    run.result = core::ImageView(result.data(), source.width, source.height, 3);
    run.steps = &steps;
    pipeline::SwapBuffer work, preNr;
    QuietObserver observer;
    EXPECT_EQ(pipeline::processRegion(run, work, preNr, observer).outcome, expected);
    EXPECT_TRUE(observer.messages.empty()) << observer.messages.front();
    return result;
}

std::size_t differingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

struct Variant {
    const char* name;
    void (*apply)(pipeline::RegionRun&);
};

const Variant kVariants[] = {
    {"default", [](pipeline::RegionRun&) {}},
    {"portrait", [](pipeline::RegionRun& r) { r.noise.nrMode = pipeline::kNrModePortrait; }},
    {"scanner", [](pipeline::RegionRun& r) { r.noise.nrMode = pipeline::kNrModeScanner; }},
    {"nature", [](pipeline::RegionRun& r) { r.noise.nrMode = pipeline::kNrModeNature; }},
    {"high noise, 3 levels, luminance",
     [](pipeline::RegionRun& r) {
         r.noise.nrMode = pipeline::kNrModeHighNoise;
         r.noise.noiseLevel = 5.5;
         r.noise.nrLevels = 3;
         r.noise.nrPerChannel = 0;
     }},
    {"highlight edges",
     [](pipeline::RegionRun& r) { r.outputWindowMode = pipeline::kOutputHighlightEdges; }},
    {"filtered noise",
     [](pipeline::RegionRun& r) { r.outputWindowMode = pipeline::kOutputFilteredNoise; }},
    {"no sharpening, edge threshold 60",
     [](pipeline::RegionRun& r) {
         r.noise.sharpenEdges = 0;
         r.noise.edgeThreshold = 60;
     }},
    {"no advanced processing", [](pipeline::RegionRun& r) { r.noise.advancedProcessing = 0; }},
    // 7 and 100 are amounts whose sharpening keeps the floating-point arithmetic.
    {"sharpen 7, portrait",
     [](pipeline::RegionRun& r) {
         r.noise.sharpenAmount = 7;
         r.noise.nrMode = pipeline::kNrModePortrait;
     }},
    {"sharpen 100, colour steps",
     [](pipeline::RegionRun& r) {
         r.noise.sharpenAmount = 100;
         r.color.tone.blackPoint = 12;
         r.color.tone.gamma = 1.3f;
         r.color.tone.colourBoost = 40;
     }},
    {"portrait, colour steps",
     [](pipeline::RegionRun& r) {
         r.noise.nrMode = pipeline::kNrModePortrait;
         r.color.tone.whitePoint = 240;
     }},
};

} // namespace

TEST(ProcessRegionSteps, EveryModeAndViewMatchesThePlainRun) {
    const Picture24 picture = noisyPicture(421, 263, 3);
    for (const Variant& v : kVariants) {
        pipeline::RegionRun run;
        run.region = core::Rect{0, 0, picture.width, picture.height};
        v.apply(run);
        const auto shipped = runWith(pipeline::shippedPipelineSteps(), picture, run);
        const auto reference = runWith(pipeline::referencePipelineSteps(), picture, run);
        EXPECT_EQ(differingBytes(shipped, reference), 0u) << v.name;
        EXPECT_NE(differingBytes(shipped, picture.pixels), 0u) << v.name << ": nothing was done";
    }
}

TEST(ProcessRegionSteps, TiledRunsAndRegionsMatchThePlainRun) {
    const Picture24 picture = noisyPicture(517, 389, 11);
    // Regions inside the picture, with block limits that leave columns and rows over, tiles
    // narrower than the engine takes, a single column of tiles and a single row.
    const struct {
        core::Rect region;
        int32_t blockW, blockH;
    } cases[] = {
        {{0, 0, 517, 389}, 150, 120}, {{13, 7, 500, 380}, 200, 100}, {{40, 30, 300, 95}, 50, 20},
        {{0, 0, 517, 389}, 600, 100}, {{0, 0, 517, 389}, 100, 600},  {{5, 5, 36, 36}, 10, 10},
    };
    for (const auto& c : cases)
        for (const Variant& v : {kVariants[0], kVariants[2], kVariants[5], kVariants[6]}) {
            pipeline::RegionRun run;
            run.region = c.region;
            run.limits.MaxBlockW = c.blockW;
            run.limits.MaxBlockH = c.blockH;
            v.apply(run);
            const auto shipped = runWith(pipeline::shippedPipelineSteps(), picture, run);
            const auto reference = runWith(pipeline::referencePipelineSteps(), picture, run);
            const auto plain = runWith(pipeline::shippedStepByStep(), picture, run);
            EXPECT_EQ(differingBytes(shipped, reference), 0u)
                << v.name << " limits " << c.blockW << "x" << c.blockH;
            EXPECT_EQ(differingBytes(shipped, plain), 0u) << v.name;
        }
}

TEST(ProcessRegionSteps, OnlyARunWithColorStepsKeepsAPreReductionCopy) {
    // Without colour steps the copy would repeat the picture: the shipped run reads the picture.
    const Picture24 picture = noisyPicture(300, 200, 9);
    for (const Variant& v : {kVariants[0], kVariants[1], kVariants[6], kVariants[10]}) {
        std::vector<uint8_t> result = picture.pixels;
        pipeline::RegionRun run;
        run.region = core::Rect{20, 10, 280, 190};
        v.apply(run);
        run.source = core::ConstImageView(picture.pixels.data(), picture.width, picture.height, 3);
        run.result = core::ImageView(result.data(), picture.width, picture.height, 3);
        pipeline::SwapBuffer work, preNr;
        ASSERT_TRUE(preNr.allocate(1000)); // a copy from an earlier run is let go
        QuietObserver observer;
        ASSERT_EQ(pipeline::processRegion(run, work, preNr, observer).outcome,
                  pipeline::ProcessOutcome::Done);
        const bool colorSteps = v.name == kVariants[10].name;
        EXPECT_EQ(preNr.size() != 0, colorSteps) << v.name;
    }
}

TEST(ProcessRegionSteps, BuffersOnMappingsGiveTheSameBytes) {
    // A tiny swap threshold puts every buffer of the run in a memory mapping.
    const Picture24 picture = noisyPicture(300, 200, 5);
    pipeline::RegionRun run;
    run.region = core::Rect{0, 0, 300, 200};
    run.limits.MaxSwapW = 10;
    run.limits.MaxSwapH = 10;
    const auto shipped = runWith(pipeline::shippedPipelineSteps(), picture, run);
    run.limits = pipeline::MemoryLimits{};
    EXPECT_EQ(differingBytes(shipped, runWith(pipeline::referencePipelineSteps(), picture, run)),
              0u);
}

void expectRealPhotoMatchesThePlainRun(const std::string& path) {
    const std::string file = std::filesystem::path(path).filename().string();
    {
        codec::Picture photo;
        ASSERT_TRUE(photo.load(path).ok()) << file;
        Picture24 picture{
            photo.width, photo.height,
            std::vector<uint8_t>(photo.pixels(), photo.pixels() + photo.pixelBytes())};
        // A detail-sized region of the photo, once whole and once tiled.
        const core::Rect region{photo.width / 3, photo.height / 3, photo.width / 3 + 640,
                                photo.height / 3 + 420};
        for (const Variant& v :
             {kVariants[0], kVariants[1], kVariants[2], kVariants[3], kVariants[5], kVariants[6]})
            for (int32_t block : {3100, 250}) {
                pipeline::RegionRun run;
                run.region = region;
                run.limits.MaxBlockW = run.limits.MaxBlockH = block;
                v.apply(run);
                EXPECT_EQ(differingBytes(runWith(pipeline::shippedPipelineSteps(), picture, run),
                                         runWith(pipeline::referencePipelineSteps(), picture, run)),
                          0u)
                    << file << ", " << v.name << ", block " << block;
            }
    }
}

TEST(ProcessRegionSteps, RealPhotosMatchThePlainRun) {
    VELANOX_TEST_FILE(path, "noisy/nikon_coolpix_s3100_iso400_colorchecker.jpg");
    expectRealPhotoMatchesThePlainRun(path);
}

TEST(ProcessRegionSteps, NightPhotoOfTheCorpusMatchesThePlainRun) {
    VELANOX_CORPUS_FILE(path, "noisy/lg_nexus4_iso1200_night.jpg");
    expectRealPhotoMatchesThePlainRun(path);
}
