// The automatic denoiser: the shipped version against the straightforward one (they differ only
// by single-precision rounding: at most +-1 on at most 0.5 % of the samples), tiles against the
// whole picture, threads, progress and cancel, the arguments it refuses, and what it must leave
// alone.
#include "engine/auto_denoiser.h"
#include "engine/reference/reference_auto_denoiser.h"
#include "engine/threads.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>
#include <vector>

using namespace velanox::engine;
using velanox::test::makeNoisyScene;
using velanox::test::makeRandom;
using velanox::test::makeUniform;
using velanox::test::psnr;
using velanox::test::TestImage;

namespace {

AutoDenoiseImages whole(TestImage& img) {
    return AutoDenoiseImages::inPlace(img.data(), img.width, img.height, img.stride);
}

// The tile (x, y, w, h) of source written into target (a picture of the source's size) at the
// same place.
AutoDenoiseImages tileOf(const TestImage& source, TestImage& target, int x, int y, int w, int h) {
    AutoDenoiseImages im;
    im.source = source.data();
    im.width = source.width;
    im.height = source.height;
    im.sourceStride = source.stride;
    im.tileX = x;
    im.tileY = y;
    im.tileWidth = w;
    im.tileHeight = h;
    im.target = &target.at(x, y, 0);
    im.targetStride = target.stride;
    return im;
}

struct Difference {
    int worst = 0;
    std::size_t differing = 0, samples = 0;
    double sum = 0.0;
};

Difference compare(const TestImage& a, const TestImage& b) {
    Difference d;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int k = 0; k < 3; ++k) {
                const int v = std::abs(int(a.at(x, y, k)) - int(b.at(x, y, k)));
                d.worst = std::max(d.worst, v);
                d.differing += v != 0;
                d.sum += v;
                ++d.samples;
            }
    return d;
}

void expectMatchesReference(const TestImage& source, const NoiseProfile& profile,
                            const AutoDenoiseParams& params, const AutoDenoiseTuning& tuning,
                            const std::string& what) {
    TestImage fast = source, reference = source;
    ASSERT_EQ(reduceNoiseAuto(whole(fast), profile, params, nullptr, tuning), NR_OK) << what;
    ASSERT_EQ(reduceNoiseAutoReference(whole(reference), profile, params, tuning), NR_OK) << what;
    const Difference d = compare(fast, reference);
    EXPECT_LE(d.worst, 1) << what;
    EXPECT_LE(double(d.differing), 0.005 * double(d.samples)) << what;
    // Bytes 3 and the row padding are never written.
    for (std::size_t i = 0; i < source.bytes.size(); ++i) {
        const std::size_t inRow = i % std::size_t(source.stride);
        if (inRow >= std::size_t(4) * source.width || inRow % 4 == 3) {
            ASSERT_EQ(fast.bytes[i], source.bytes[i]) << what << " byte " << i;
        }
    }
}

} // namespace

TEST(AutoDenoiser, MatchesTheReferenceOverSizesAndTunings) {
    const NoiseProfile profile = whiteNoiseProfile(12.0f);
    const AutoDenoiseParams params;
    for (auto [w, h] :
         {std::pair{1, 1}, std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 2}, std::pair{3, 5},
          std::pair{33, 17}, std::pair{64, 64}, std::pair{131, 70}, std::pair{70, 190}}) {
        const TestImage img = makeNoisyScene(w, h, 12.0, uint32_t(w * 31 + h), nullptr);
        expectMatchesReference(img, profile, params, AutoDenoiseTuning{},
                               std::to_string(w) + "x" + std::to_string(h));
    }
    const TestImage img = makeNoisyScene(150, 97, 20.0, 5, nullptr);
    for (int shifts : {1, 3, 4})
        for (int radius : {1, 4, 8})
            for (int levels : {1, 3, 5}) {
                AutoDenoiseTuning t;
                t.shifts = shifts;
                t.colorShifts = (shifts + 1) / 2;
                t.windowRadius = radius;
                t.levels = levels;
                expectMatchesReference(img, profile, params, t,
                                       "shifts " + std::to_string(shifts) + " radius " +
                                           std::to_string(radius) + " levels " +
                                           std::to_string(levels));
            }
}

TEST(AutoDenoiser, MatchesTheReferenceWithStridesStrengthsAndABrightnessDependentProfile) {
    NoiseProfile profile = whiteNoiseProfile(9.0f);
    for (int k = 0; k < NoiseProfile::kBrightnessBins; ++k)
        profile.brightnessGain[k] = 2.0f - 0.1f * float(k);
    profile.bandSigma[1][0][2] = 0.0f; // a band without noise is left alone
    TestImage img = makeRandom(120, 80, 17, 12);
    for (auto [strength, color] :
         {std::pair{100, 125}, std::pair{0, 0}, std::pair{400, 400}, std::pair{50, 0}}) {
        AutoDenoiseParams params;
        params.strength = strength;
        params.colorStrength = color;
        expectMatchesReference(img, profile, params, AutoDenoiseTuning{},
                               "strength " + std::to_string(strength));
    }
}

TEST(AutoDenoiser, RemovesNoiseAndKeepsPicturesWithoutNoiseAsTheyAre) {
    TestImage clean;
    TestImage noisy = makeNoisyScene(256, 192, 15.0, 3, &clean);
    const double before = psnr(noisy, clean);
    ASSERT_EQ(reduceNoiseAuto(whole(noisy), whiteNoiseProfile(15.0f), AutoDenoiseParams{}), NR_OK);
    EXPECT_GT(psnr(noisy, clean), before + 8.0);

    // Strength 0 or a profile without noise: every byte back as it was (the transform alone
    // rounds back to the same whole numbers).
    TestImage img = makeRandom(97, 61, 9, 4);
    TestImage copy = img;
    AutoDenoiseParams off;
    off.strength = 0;
    ASSERT_EQ(reduceNoiseAuto(whole(copy), whiteNoiseProfile(10.0f), off), NR_OK);
    EXPECT_EQ(copy.bytes, img.bytes);
    ASSERT_EQ(reduceNoiseAuto(whole(copy), NoiseProfile{}, AutoDenoiseParams{}), NR_OK);
    EXPECT_EQ(copy.bytes, img.bytes);
}

TEST(AutoDenoiser, TilesReadingAnUnchangedSourceJoinWithoutSeams) {
    const TestImage source = makeNoisyScene(700, 460, 20.0, 11, nullptr);
    const NoiseProfile profile = whiteNoiseProfile(20.0f);
    TestImage m_whole = source;
    ASSERT_EQ(reduceNoiseAuto(whole(m_whole), profile, AutoDenoiseParams{}), NR_OK);

    // Tiles as the pipeline cuts them: uneven, the last ones wider and taller.
    TestImage tiled = source;
    AutoDenoiseWorkspace workspace;
    const int xs[] = {0, 233, 466, 700}, ys[] = {0, 230, 460};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            ASSERT_EQ(reduceNoiseAuto(
                          tileOf(source, tiled, xs[i], ys[j], xs[i + 1] - xs[i], ys[j + 1] - ys[j]),
                          profile, AutoDenoiseParams{}, &workspace),
                      NR_OK);
    const Difference d = compare(tiled, m_whole);
    EXPECT_LE(d.worst, 4);
    EXPECT_LT(d.sum / double(d.samples), 0.05);
    // Across each seam the step between neighbouring pixels is no larger than in the whole
    // picture's result at the same place, give or take the rounding of both sides.
    for (int x : {233, 466}) {
        double steps = 0.0, reference = 0.0;
        for (int y = 0; y < source.height; ++y)
            for (int k = 0; k < 3; ++k) {
                steps += std::abs(int(tiled.at(x, y, k)) - int(tiled.at(x - 1, y, k)));
                reference += std::abs(int(m_whole.at(x, y, k)) - int(m_whole.at(x - 1, y, k)));
            }
        EXPECT_LT(steps, reference * 1.1 + 0.1 * source.height) << "seam at x " << x;
    }
}

TEST(AutoDenoiser, AWholeTileInAnotherBufferEqualsTheRunInPlace) {
    const TestImage source = makeNoisyScene(90, 70, 10.0, 21, nullptr);
    TestImage inPlace = source, elsewhere = makeUniform(90, 70, 0, 4, 8, 0x5A);
    const NoiseProfile profile = whiteNoiseProfile(10.0f);
    ASSERT_EQ(reduceNoiseAuto(whole(inPlace), profile, AutoDenoiseParams{}), NR_OK);
    ASSERT_EQ(
        reduceNoiseAuto(tileOf(source, elsewhere, 0, 0, 90, 70), profile, AutoDenoiseParams{}),
        NR_OK);
    EXPECT_EQ(compare(inPlace, elsewhere).worst, 0);
    // Outside the components nothing is written: byte 3 and the padding keep their marker.
    for (int y = 0; y < 70; ++y)
        EXPECT_EQ(elsewhere.at(13, y, 3), 0x5A);
    EXPECT_EQ(elsewhere.bytes.back(), 0x5A);
}

TEST(AutoDenoiser, TheResultDoesNotDependOnTheThreads) {
    const TestImage source = makeNoisyScene(300, 200, 15.0, 8, nullptr);
    const NoiseProfile profile = whiteNoiseProfile(15.0f);
    // Large enough for the estimate to measure many windows.
    const TestImage large = makeNoisyScene(1100, 800, 15.0, 9, nullptr);
    NoiseProfile measured[5];
    std::vector<unsigned char> results[5];
    // More threads than jobs or cores too: the pool starts the workers a pass asks for.
    for (int threads : {1, 2, 3, 5}) {
        setThreadLimit(threads);
        ASSERT_EQ(estimateNoise(large.data(), large.width, large.height, large.stride, 4,
                                &measured[threads - 1]),
                  NR_OK);
        TestImage img = source;
        ASSERT_EQ(reduceNoiseAuto(whole(img), profile, AutoDenoiseParams{}), NR_OK);
        results[threads - 1] = img.bytes;
    }
    setThreadLimit(0);
    for (int threads : {2, 3, 5}) {
        EXPECT_EQ(results[0], results[threads - 1]) << threads << " threads";
        EXPECT_EQ(measured[0], measured[threads - 1]) << threads << " threads";
    }
}

namespace {

struct Recorder {
    std::vector<std::pair<int32_t, int32_t>> calls;
    std::thread::id caller = std::this_thread::get_id();
    bool otherThread = false;
    std::size_t cancelAtCall = 0; // 1: the first call answers "stop"
    static int32_t callback(int32_t step, int32_t total, void* context) {
        auto* r = static_cast<Recorder*>(context);
        r->calls.emplace_back(step, total);
        if (std::this_thread::get_id() != r->caller) r->otherThread = true;
        return r->calls.size() == r->cancelAtCall ? 1 : 0;
    }
};

} // namespace

TEST(AutoDenoiser, ReportsProgressOnTheCallingThreadAndCancelsLeavingTheTargetUntouched) {
    const TestImage source = makeNoisyScene(200, 120, 10.0, 4, nullptr);
    const NoiseProfile profile = whiteNoiseProfile(10.0f);
    Recorder full;
    AutoDenoiseParams params;
    params.progress = &Recorder::callback;
    params.progressContext = &full;
    TestImage img = source;
    ASSERT_EQ(reduceNoiseAuto(whole(img), profile, params), NR_OK);
    ASSERT_FALSE(full.calls.empty());
    EXPECT_FALSE(full.otherThread);
    const int32_t total = full.calls.front().second;
    EXPECT_EQ(total, 2 * 6 + 1); // two phases of 3 channels x 2 shifts, and the write
    for (std::size_t i = 0; i < full.calls.size(); ++i) {
        EXPECT_EQ(full.calls[i].second, total);
        EXPECT_GE(full.calls[i].first, 1);
        if (i > 0) {
            EXPECT_GT(full.calls[i].first, full.calls[i - 1].first);
        }
    }
    EXPECT_EQ(full.calls.back().first, total);

    // Which steps a run reports, and how many, depends on how the threads share the work; a stop
    // answered at any call ends the run there, and a run that makes fewer calls finishes.
    for (std::size_t n = 1; n <= full.calls.size(); ++n) {
        Recorder cancel;
        cancel.cancelAtCall = n;
        AutoDenoiseParams p = params;
        p.progressContext = &cancel;
        TestImage c = source;
        AutoDenoiseWorkspace workspace;
        const int32_t rc = reduceNoiseAuto(whole(c), profile, p, &workspace);
        if (rc == NR_CANCELLED || n == 1) {
            EXPECT_EQ(rc, NR_CANCELLED) << "cancel at call " << n;
            EXPECT_EQ(c.bytes, source.bytes) << "cancel at call " << n;
            EXPECT_EQ(cancel.calls.size(), n) << "no call after the cancel";
        } else {
            EXPECT_EQ(rc, NR_OK);
            EXPECT_LT(cancel.calls.size(), n);
            EXPECT_EQ(c.bytes, img.bytes);
            c = source;
        }
        // The workspace serves the next run as if nothing had happened.
        EXPECT_EQ(reduceNoiseAuto(whole(c), profile, AutoDenoiseParams{}, &workspace), NR_OK);
        EXPECT_EQ(c.bytes, img.bytes);
    }
}

TEST(AutoDenoiser, RefusesWhatItCannotUseWithoutTouchingAnything) {
    TestImage img = makeRandom(40, 30, 2, 0);
    const TestImage original = img;
    const NoiseProfile good = whiteNoiseProfile(5.0f);
    Recorder recorder;
    AutoDenoiseParams params;
    params.progress = &Recorder::callback;
    params.progressContext = &recorder;
    auto refused = [&](AutoDenoiseImages im, const NoiseProfile& p, const AutoDenoiseParams& pa,
                       const AutoDenoiseTuning& t = AutoDenoiseTuning{}) {
        return reduceNoiseAuto(im, p, pa, nullptr, t) == NR_INVALID_PARAMETER &&
               reduceNoiseAutoReference(im, p, pa, t) == NR_INVALID_PARAMETER;
    };
    AutoDenoiseImages im = whole(img);
    auto with = [&](auto change) {
        AutoDenoiseImages c = im;
        change(c);
        return c;
    };
    EXPECT_TRUE(refused(with([](auto& c) { c.source = nullptr; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.target = nullptr; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.tileWidth = 0; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.tileX = 1; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.tileY = -1; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.width = 0; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.sourceStride = 159; }), good, params));
    EXPECT_TRUE(refused(with([](auto& c) { c.targetStride = 100; }), good, params));
    AutoDenoiseParams bad = params;
    bad.strength = kAutoStrengthRange.maximum + 1;
    EXPECT_TRUE(refused(im, good, bad));
    bad = params;
    bad.colorStrength = -1;
    EXPECT_TRUE(refused(im, good, bad));
    NoiseProfile nan = good;
    nan.bandSigma[0][0][0] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(refused(im, nan, params));
    NoiseProfile negative = good;
    negative.brightnessGain[3] = -1.0f;
    EXPECT_TRUE(refused(im, negative, params));
    AutoDenoiseTuning t;
    t.shifts = 5;
    EXPECT_TRUE(refused(im, good, params, t));
    t = AutoDenoiseTuning{};
    t.colorShifts = 3;
    EXPECT_TRUE(refused(im, good, params, t));
    t = AutoDenoiseTuning{};
    t.levels = 0;
    EXPECT_TRUE(refused(im, good, params, t));
    EXPECT_EQ(img.bytes, original.bytes);
    EXPECT_TRUE(recorder.calls.empty());
}
