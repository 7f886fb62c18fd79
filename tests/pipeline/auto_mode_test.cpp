// The automatic mode through the pipeline: the same pixels as the denoiser called directly, tiles
// that join, the estimate made by the run when none is given, the region and cancel rules of the
// other modes, and the noise actually removed.
#include "pipeline/process_region.h"

#include "pipeline/run_observer.h"
#include "pipeline/swap_buffer.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace velanox::pipeline {
namespace {

class Observer final : public RunObserver {
public:
    std::vector<std::string> messages;
    int calls = 0;
    int cancelAt = -1; ///< the engine call that answers "cancel"
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void setProgressText(std::string_view) override {}
    int32_t engineProgress(int32_t, int32_t) override { return calls++ == cancelAt ? 1 : 0; }
    void runEnding() override {}
};

struct Scene {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> noisy, clean; // 24-bit
};

Scene makeScene(int32_t width, int32_t height, double sigma, uint32_t seed) {
    test::TestImage clean;
    const test::TestImage noisy = test::makeNoisyScene(width, height, sigma, seed, &clean);
    Scene s{width, height, std::vector<uint8_t>(std::size_t(width) * height * 3), {}};
    s.clean = s.noisy;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = (std::size_t(y) * width + x) * 3 + k;
                s.noisy[i] = noisy.at(x, y, k);
                s.clean[i] = clean.at(x, y, k);
            }
    return s;
}

RegionRun autoRun(const Scene& scene, std::vector<uint8_t>& result) {
    RegionRun run;
    run.source = core::ConstImageView(scene.noisy.data(), scene.width, scene.height, 3);
    run.result = core::ImageView(result.data(), scene.width, scene.height, 3);
    run.region = core::Rect{0, 0, scene.width, scene.height};
    run.noise.nrMode = kNrModeAuto;
    return run;
}

ProcessOutcome runPipeline(const RegionRun& run, Observer& observer) {
    SwapBuffer work, preNr;
    return processRegion(run, work, preNr, observer).outcome;
}

double psnr24(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(a.size())));
}

// The denoiser called directly on the whole picture as 4-byte pixels, back to 24-bit.
std::vector<uint8_t> direct(const Scene& scene, const engine::NoiseProfile& profile,
                            const engine::AutoDenoiseParams& params) {
    const std::size_t n = std::size_t(scene.width) * scene.height;
    std::vector<uint8_t> rgbx(n * 4, 0);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k)
            rgbx[i * 4 + k] = scene.noisy[i * 3 + k];
    EXPECT_EQ(engine::reduceNoiseAuto(
                  engine::AutoDenoiseImages::inPlace(rgbx.data(), scene.width, scene.height),
                  profile, params),
              NR_OK);
    std::vector<uint8_t> out(n * 3);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k)
            out[i * 3 + k] = rgbx[i * 4 + k];
    return out;
}

} // namespace

TEST(AutoMode, IsTheDenoiserCalledDirectlyAndRemovesTheNoise) {
    const Scene scene = makeScene(300, 200, 10.0, 5);
    engine::NoiseProfile profile;
    ASSERT_TRUE(estimatePictureNoise(
        core::ConstImageView(scene.noisy.data(), scene.width, scene.height, 3), &profile));
    EXPECT_NEAR(profile.sigma, 10.0, 1.0);

    for (int32_t strength : {100, 60}) {
        std::vector<uint8_t> result = scene.noisy;
        RegionRun run = autoRun(scene, result);
        run.noise.autoStrength = strength;
        run.noise.autoChroma = 200;
        // Settings of the other modes change nothing here.
        run.noise.sharpenAmount = 90;
        run.noise.edgeThreshold = 200;
        run.noise.nrLevels = 3;
        Observer observer;
        ASSERT_EQ(runPipeline(run, observer), ProcessOutcome::Done);
        EXPECT_TRUE(observer.messages.empty());
        EXPECT_GT(observer.calls, 0); // progress reaches the observer

        const std::vector<uint8_t> expected =
            direct(scene, profile, autoParams(run.noise)); // the run estimated the same profile
        EXPECT_EQ(result, expected) << "strength " << strength;
        if (strength == 100) {
            // Gaussian noise of 10: about 28 dB before.
            EXPECT_GT(psnr24(result, scene.clean), psnr24(scene.noisy, scene.clean) + 6.0);
        }
    }
}

TEST(AutoMode, TilesJoinTheUntiledResultAndTheProfileGivenIsUsed) {
    const Scene scene = makeScene(400, 260, 12.0, 9);
    engine::NoiseProfile profile;
    ASSERT_TRUE(estimatePictureNoise(
        core::ConstImageView(scene.noisy.data(), scene.width, scene.height, 3), &profile));

    std::vector<uint8_t> whole = scene.noisy;
    RegionRun run = autoRun(scene, whole);
    run.noiseProfile = &profile;
    engine::AutoDenoiseWorkspace workspace;
    run.autoWorkspace = &workspace;
    Observer observer;
    ASSERT_EQ(runPipeline(run, observer), ProcessOutcome::Done);

    std::vector<uint8_t> tiled = scene.noisy;
    run.result = core::ImageView(tiled.data(), scene.width, scene.height, 3);
    run.limits.MaxBlockW = 150; // 3 x 3 tiles
    run.limits.MaxBlockH = 100;
    ASSERT_EQ(runPipeline(run, observer), ProcessOutcome::Done);
    int largest = 0;
    double sum = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const int d = std::abs(int(whole[i]) - int(tiled[i]));
        largest = std::max(largest, d);
        sum += d;
    }
    EXPECT_LE(largest, 4);
    EXPECT_LT(sum / double(whole.size()), 0.1); // measured: 0.055

    // A profile of twice the noise removes more: the given profile, not a new estimate, is used.
    engine::NoiseProfile stronger = profile;
    for (auto& level : stronger.bandSigma)
        for (auto& band : level)
            for (float& sigma : band)
                sigma *= 2.0f;
    stronger.updateSummary();
    std::vector<uint8_t> strong = scene.noisy;
    run.result = core::ImageView(strong.data(), scene.width, scene.height, 3);
    run.noiseProfile = &stronger;
    run.limits = MemoryLimits{};
    ASSERT_EQ(runPipeline(run, observer), ProcessOutcome::Done);
    EXPECT_NE(strong, whole);
}

TEST(AutoMode, RegionViewsAndCancelFollowTheRulesOfEveryMode) {
    const Scene scene = makeScene(240, 180, 8.0, 2);
    const core::Rect region{30, 20, 200, 150};

    for (int32_t view : {kOutputResult, kOutputHighlightEdges, kOutputFilteredNoise}) {
        std::vector<uint8_t> result = scene.noisy;
        RegionRun run = autoRun(scene, result);
        run.region = region;
        run.outputWindowMode = view;
        Observer observer;
        ASSERT_EQ(runPipeline(run, observer), ProcessOutcome::Done) << view;
        std::size_t changedInside = 0;
        for (int y = 0; y < scene.height; ++y)
            for (int x = 0; x < scene.width; ++x)
                for (int k = 0; k < 3; ++k) {
                    const std::size_t i = (std::size_t(y) * scene.width + x) * 3 + k;
                    const bool inside = x >= region.left && x < region.right && y >= region.top &&
                                        y < region.bottom;
                    if (!inside)
                        ASSERT_EQ(result[i], scene.noisy[i]) << "outside the region, view " << view;
                    else
                        changedInside += result[i] != scene.noisy[i];
                }
        EXPECT_GT(changedInside, std::size_t(region.width()) * region.height()) << view;
    }

    // Cancelled at the first progress call: the result untouched, the message of every mode.
    std::vector<uint8_t> result = scene.noisy;
    RegionRun run = autoRun(scene, result);
    Observer observer;
    observer.cancelAt = 0;
    EXPECT_EQ(runPipeline(run, observer), ProcessOutcome::Cancelled);
    EXPECT_EQ(result, scene.noisy);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_EQ(observer.messages[0], run_text::kCancelled);
}

TEST(AutoMode, StrengthsOutsideTheirRangesAreLimitedAndCleanPicturesStayAlmostAsTheyAre) {
    NoiseSettings noise;
    noise.autoStrength = -5;
    noise.autoChroma = 9999;
    const engine::AutoDenoiseParams p = autoParams(noise);
    EXPECT_EQ(p.strength, engine::kAutoStrengthRange.minimum);
    EXPECT_EQ(p.colorStrength, engine::kAutoColorStrengthRange.maximum);

    // A picture without noise: the estimate is small and the result stays close.
    const Scene scene = makeScene(200, 150, 0.0, 4);
    std::vector<uint8_t> result = scene.noisy;
    RegionRun run = autoRun(scene, result);
    Observer observer;
    ASSERT_EQ(runPipeline(run, observer), ProcessOutcome::Done);
    EXPECT_GT(psnr24(result, scene.noisy), 40.0);
}

} // namespace velanox::pipeline
