// The shipped run (sharpened copy, map and blend fused, tiles reduced in place) against the plain
// run made of the stages one after the other over whole buffers, with the reference engine,
// filters and passes and with the shipped ones, over whole pictures and regions of them, in every
// mode and output view, tiled and untiled. Measured: 0 differing bytes in every case below, and
// the picture outside the region untouched. Both runs also report alike: the same progress
// texts, messages and outcome when the engine is cancelled or fails.
#include "pipeline/process_region.h"
#include "pipeline/reference/step_by_step_run.h"

#include "codec/picture.h"
#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"
#include "support/test_images.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace velanox;
using namespace velanox::pipeline;

namespace {

class QuietObserver final : public RunObserver {
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

// Which run: the shipped one, or the plain one with the reference or the shipped kernels.
enum class Driver { Shipped, PlainReference, PlainShipped };

RunResult runDriver(Driver driver, const RegionRun& run, RunObserver& observer) {
    SwapBuffer work, preNr;
    switch (driver) {
    case Driver::Shipped:
        return processRegion(run, work, preNr, observer);
    case Driver::PlainReference:
        return pipeline::processRegionStepByStep(run, work, preNr, observer,
                                                 pipeline::referenceKernels());
    case Driver::PlainShipped:
        return pipeline::processRegionStepByStep(run, work, preNr, observer,
                                                 pipeline::shippedKernels());
    }
    return {};
}

// A run over region of source; the result starts as a copy of the source.
std::vector<uint8_t> runWith(Driver driver, const Picture24& source, RegionRun run,
                             ProcessOutcome expected = ProcessOutcome::Done) {
    std::vector<uint8_t> result = source.pixels;
    run.source = core::ConstImageView(source.pixels.data(), source.width, source.height, 3);
    run.result = core::ImageView(result.data(), source.width, source.height, 3);
    QuietObserver observer;
    EXPECT_EQ(runDriver(driver, run, observer).outcome, expected);
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
    void (*apply)(RegionRun&);
};

const Variant kVariants[] = {
    {"default", [](RegionRun&) {}},
    {"portrait", [](RegionRun& r) { r.noise.nrMode = kNrModePortrait; }},
    {"scanner", [](RegionRun& r) { r.noise.nrMode = kNrModeScanner; }},
    {"nature", [](RegionRun& r) { r.noise.nrMode = kNrModeNature; }},
    {"high noise, 3 levels, luminance",
     [](RegionRun& r) {
         r.noise.nrMode = kNrModeHighNoise;
         r.noise.noiseLevel = 5.5;
         r.noise.nrLevels = 3;
         r.noise.nrPerChannel = 0;
     }},
    {"highlight edges", [](RegionRun& r) { r.outputWindowMode = kOutputHighlightEdges; }},
    {"filtered noise", [](RegionRun& r) { r.outputWindowMode = kOutputFilteredNoise; }},
    {"no sharpening, edge threshold 60",
     [](RegionRun& r) {
         r.noise.sharpenEdges = 0;
         r.noise.edgeThreshold = 60;
     }},
    {"no advanced processing", [](RegionRun& r) { r.noise.advancedProcessing = 0; }},
    // 7 and 100 are amounts whose sharpening keeps the floating-point arithmetic.
    {"sharpen 7, portrait",
     [](RegionRun& r) {
         r.noise.sharpenAmount = 7;
         r.noise.nrMode = kNrModePortrait;
     }},
    {"sharpen 100, colour steps",
     [](RegionRun& r) {
         r.noise.sharpenAmount = 100;
         r.color.tone.blackPoint = 12;
         r.color.tone.gamma = 1.3f;
         r.color.tone.colorBoost = 40;
     }},
    {"portrait, colour steps",
     [](RegionRun& r) {
         r.noise.nrMode = kNrModePortrait;
         r.color.tone.whitePoint = 240;
     }},
    {"automatic", [](RegionRun& r) { r.noise.nrMode = kNrModeAuto; }},
    {"automatic, colour steps, highlight edges",
     [](RegionRun& r) {
         r.noise.nrMode = kNrModeAuto;
         r.noise.autoStrength = 150;
         r.color.tone.gamma = 0.8f;
         r.outputWindowMode = kOutputHighlightEdges;
     }},
    {"scanner, noise level 20, colour steps",
     [](RegionRun& r) {
         r.noise.nrMode = kNrModeScanner;
         r.noise.noiseLevel = 20.0; // four speckle passes
         r.color.tone.colorBoost = 25;
     }},
};

// Everything a run tells its observer, in order, and a cancel at the engine's n-th progress
// call when asked.
class TranscriptObserver final : public RunObserver {
public:
    std::vector<std::string> events;
    int cancelAt = -1;
    void showMessage(std::string_view text) override {
        events.push_back("message " + std::string(text));
    }
    void setProgressText(std::string_view text) override {
        events.push_back("text " + std::string(text));
    }
    int32_t engineProgress(int32_t step, int32_t total) override {
        events.push_back("progress " + std::to_string(step) + "/" + std::to_string(total));
        return m_calls++ == cancelAt ? 1 : 0;
    }
    void runEnding() override { events.emplace_back("ending"); }
    void dropProgress() {
        std::erase_if(events, [](const std::string& e) { return e.rfind("progress ", 0) == 0; });
    }

private:
    int m_calls = 0;
};

template <core::StatusCode Code>
core::Status engineFailingWith(const core::ImageView&, const NrParams&, engine::EngineWorkspace*) {
    return core::Status::failure(Code, "failed on purpose");
}

} // namespace

TEST(ProcessRegionSteps, EveryModeAndViewMatchesThePlainRun) {
    const Picture24 picture = noisyPicture(421, 263, 3);
    for (const Variant& v : kVariants) {
        RegionRun run;
        run.region = core::Rect{0, 0, picture.width, picture.height};
        v.apply(run);
        const auto shipped = runWith(Driver::Shipped, picture, run);
        const auto reference = runWith(Driver::PlainReference, picture, run);
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
        for (const Variant& v :
             {kVariants[0], kVariants[2], kVariants[5], kVariants[6], kVariants[12]}) {
            RegionRun run;
            run.region = c.region;
            run.limits.MaxBlockW = c.blockW;
            run.limits.MaxBlockH = c.blockH;
            v.apply(run);
            const auto shipped = runWith(Driver::Shipped, picture, run);
            const auto reference = runWith(Driver::PlainReference, picture, run);
            const auto plain = runWith(Driver::PlainShipped, picture, run);
            EXPECT_EQ(differingBytes(shipped, reference), 0u)
                << v.name << " limits " << c.blockW << "x" << c.blockH;
            EXPECT_EQ(differingBytes(shipped, plain), 0u) << v.name;
        }
}

TEST(ProcessRegionSteps, BothRunsReportAlikeAndACancelledRunWritesNothing) {
    const Picture24 picture = noisyPicture(300, 220, 21);
    // Untiled and tiled, every mode's engine and the automatic denoiser, cancelled at the
    // first progress call, at a later one (a later tile) and not at all. The automatic denoiser
    // reports progress from its threads as their jobs end, in no fixed order: its runs are
    // compared without their progress calls, and cancelled at the first one only (a later one
    // may come when every job is done).
    for (const Variant& v : {kVariants[0], kVariants[2], kVariants[12]})
        for (int32_t block : {3100, 120})
            for (int cancelAt : {-1, 0, 7}) {
                const bool automatic = v.name == kVariants[12].name;
                if (automatic && cancelAt > 0) continue;
                const std::string name = std::string(v.name) + ", block " + std::to_string(block) +
                                         ", cancel at " + std::to_string(cancelAt);
                RegionRun run;
                run.region = core::Rect{10, 20, 290, 210};
                run.limits.MaxBlockW = run.limits.MaxBlockH = block;
                v.apply(run);
                run.source =
                    core::ConstImageView(picture.pixels.data(), picture.width, picture.height, 3);
                std::vector<uint8_t> shippedPixels = picture.pixels, plainPixels = picture.pixels;
                TranscriptObserver shippedLog, plainLog;
                shippedLog.cancelAt = plainLog.cancelAt = cancelAt;
                run.result =
                    core::ImageView(shippedPixels.data(), picture.width, picture.height, 3);
                const RunResult shipped = runDriver(Driver::Shipped, run, shippedLog);
                run.result = core::ImageView(plainPixels.data(), picture.width, picture.height, 3);
                const RunResult plain = runDriver(Driver::PlainShipped, run, plainLog);

                if (automatic) {
                    shippedLog.dropProgress();
                    plainLog.dropProgress();
                }
                EXPECT_EQ(shippedLog.events, plainLog.events) << name;
                EXPECT_EQ(shipped.outcome, plain.outcome) << name;
                EXPECT_EQ(differingBytes(shippedPixels, plainPixels), 0u) << name;
                ASSERT_FALSE(shippedLog.events.empty()) << name;
                if (cancelAt < 0) {
                    EXPECT_EQ(shipped.outcome, ProcessOutcome::Done) << name;
                    EXPECT_EQ(shippedLog.events.back(), "ending") << name;
                    continue;
                }
                EXPECT_EQ(shipped.outcome, ProcessOutcome::Cancelled) << name;
                EXPECT_EQ(shipped.engineStatus.code, core::StatusCode::Cancelled) << name;
                EXPECT_EQ(shippedPixels, picture.pixels) << name << ": the result was written";
                const std::vector<std::string> ending{"text Finishing...", "ending",
                                                      "message Operation cancelled"};
                ASSERT_GE(shippedLog.events.size(), ending.size()) << name;
                EXPECT_TRUE(std::equal(ending.begin(), ending.end(),
                                       shippedLog.events.end() - std::ptrdiff_t(ending.size())))
                    << name;
            }
}

TEST(ProcessRegionSteps, AFailingEngineEndsBothRunsWithItsMessageAndWritesNothing) {
    const Picture24 picture = noisyPicture(200, 150, 23);
    const struct {
        BlockReducer reducer;
        core::StatusCode code;
        const char* message;
    } cases[] = {
        {&engineFailingWith<core::StatusCode::InvalidArgument>, core::StatusCode::InvalidArgument,
         "message Invalid parameter given"},
        // The engine's own shortage is its message, not the run's buffer messages.
        {&engineFailingWith<core::StatusCode::OutOfMemory>, core::StatusCode::OutOfMemory,
         "message Operation failed"},
        {&engineFailingWith<core::StatusCode::Corrupt>, core::StatusCode::Corrupt,
         "message Unknown Noise Reduce error"},
    };
    for (const auto& c : cases)
        for (int32_t block : {3100, 90}) {
            RegionRun run;
            run.region = core::Rect{0, 0, picture.width, picture.height};
            run.limits.MaxBlockW = run.limits.MaxBlockH = block;
            run.source =
                core::ConstImageView(picture.pixels.data(), picture.width, picture.height, 3);
            std::vector<uint8_t> shippedPixels = picture.pixels, plainPixels = picture.pixels;
            TranscriptObserver shippedLog, plainLog;
            SwapBuffer work, preNr;
            run.result = core::ImageView(shippedPixels.data(), picture.width, picture.height, 3);
            const RunResult shipped =
                processRegion(run, work, preNr, shippedLog, nullptr, c.reducer);
            pipeline::StageKernels kernels = pipeline::shippedKernels();
            kernels.reduceBlock = c.reducer;
            run.result = core::ImageView(plainPixels.data(), picture.width, picture.height, 3);
            const RunResult plain =
                pipeline::processRegionStepByStep(run, work, preNr, plainLog, kernels);

            for (const RunResult& r : {shipped, plain}) {
                EXPECT_EQ(r.outcome, ProcessOutcome::Failed) << c.message;
                EXPECT_EQ(r.engineStatus.code, c.code) << c.message;
            }
            EXPECT_EQ(shippedLog.events, plainLog.events) << c.message;
            ASSERT_FALSE(shippedLog.events.empty());
            EXPECT_EQ(shippedLog.events.back(), c.message);
            EXPECT_EQ(std::count(shippedLog.events.begin(), shippedLog.events.end(), "ending"), 1);
            EXPECT_EQ(shippedPixels, picture.pixels) << c.message;
            EXPECT_EQ(plainPixels, picture.pixels) << c.message;
        }
}

TEST(ProcessRegionSteps, OnlyARunWithColorStepsOrAutomaticModeKeepsAPreReductionCopy) {
    // Without colour steps the copy would repeat the picture: the shipped run reads the picture.
    const Picture24 picture = noisyPicture(300, 200, 9);
    for (const Variant& v :
         {kVariants[0], kVariants[1], kVariants[6], kVariants[10], kVariants[12]}) {
        std::vector<uint8_t> result = picture.pixels;
        RegionRun run;
        run.region = core::Rect{20, 10, 280, 190};
        v.apply(run);
        run.source = core::ConstImageView(picture.pixels.data(), picture.width, picture.height, 3);
        run.result = core::ImageView(result.data(), picture.width, picture.height, 3);
        SwapBuffer work, preNr;
        ASSERT_TRUE(preNr.allocate(1000)); // a copy from an earlier run is let go
        QuietObserver observer;
        ASSERT_EQ(processRegion(run, work, preNr, observer).outcome, ProcessOutcome::Done);
        // The automatic denoiser reads its margins from the copy.
        const bool keepsCopy = v.name == kVariants[10].name || v.name == kVariants[12].name;
        EXPECT_EQ(preNr.size() != 0, keepsCopy) << v.name;
    }
}

TEST(ProcessRegionSteps, BuffersOnMappingsGiveTheSameBytes) {
    // A tiny swap threshold puts every buffer of the run in a memory mapping.
    const Picture24 picture = noisyPicture(300, 200, 5);
    RegionRun run;
    run.region = core::Rect{0, 0, 300, 200};
    run.limits.MaxSwapW = 10;
    run.limits.MaxSwapH = 10;
    const auto shipped = runWith(Driver::Shipped, picture, run);
    run.limits = MemoryLimits{};
    EXPECT_EQ(differingBytes(shipped, runWith(Driver::PlainReference, picture, run)), 0u);
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
                RegionRun run;
                run.region = region;
                run.limits.MaxBlockW = run.limits.MaxBlockH = block;
                v.apply(run);
                EXPECT_EQ(differingBytes(runWith(Driver::Shipped, picture, run),
                                         runWith(Driver::PlainReference, picture, run)),
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
