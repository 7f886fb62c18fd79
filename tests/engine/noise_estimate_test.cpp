// The noise estimate: its accuracy on white noise of known strength, per-scale estimates of
// correlated noise, the noise-level function over brightness, pictures with nothing to measure,
// the shipped estimate against the straightforward one, and the profile's own arithmetic; and
// the single-precision lifting it shares with the denoiser.
#include "engine/auto_denoiser.h"
#include "engine/lifting_97.h"
#include "engine/noise_profile.h"
#include "engine/reference/reference_auto_denoiser.h"

#include "codec/picture.h"
#include "support/test_files.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

using namespace velanox::engine;

namespace {

// A clean scene of 3-byte pixels: gradients kept between 90 and 165 (so strong noise seldom
// clips), with rectangles of sharp edges.
std::vector<unsigned char> scene(int w, int h) {
    std::vector<unsigned char> px(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) {
                double v = 95.0 + 40.0 * x / w + 20.0 * y / h + 5.0 * k;
                if ((x / 90 + y / 70) % 3 == 0) v += 25.0;
                px[(std::size_t(y) * w + x) * 3 + k] = static_cast<unsigned char>(v);
            }
    return px;
}

// The scene with noise of standard deviation sigma(brightness) added to every component, first
// filtered by `blur` (0: white; 1: each noise sample averaged with its 8 neighbours, 3 x 3).
std::vector<unsigned char> noisy(const std::vector<unsigned char>& clean, int w, int h,
                                 double (*sigma)(double), int blur, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> n(clean.size());
    for (double& v : n)
        v = normal(rng);
    if (blur) {
        std::vector<double> b(n.size(), 0.0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) {
                    double s = 0.0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int yy = std::clamp(y + dy, 0, h - 1),
                                      xx = std::clamp(x + dx, 0, w - 1);
                            s += n[(std::size_t(yy) * w + xx) * 3 + k];
                        }
                    b[(std::size_t(y) * w + x) * 3 + k] = s / 3.0; // variance 1 again
                }
        n = b;
    }
    std::vector<unsigned char> out(clean.size());
    for (std::size_t i = 0; i < clean.size(); ++i) {
        const double v = clean[i] + sigma(clean[i]) * n[i];
        out[i] = static_cast<unsigned char>(std::clamp(std::round(v), 0.0, 255.0));
    }
    return out;
}

double gSigma = 0.0;
double constantSigma(double) {
    return gSigma;
}
double risingSigma(double b) {
    return 1.0 + 0.06 * b;
}

NoiseProfile estimate(const std::vector<unsigned char>& px, int w, int h) {
    NoiseProfile p;
    EXPECT_EQ(estimateNoise(px.data(), w, h, -1, 3, &p), NR_OK);
    EXPECT_TRUE(p.valid());
    return p;
}

double levelSigma(const NoiseProfile& p, int c, int l) {
    double v = 0.0;
    for (int o = 0; o < NoiseProfile::kOrientations; ++o)
        v += p.bandSigma[c][l][o] * p.bandSigma[c][l][o] / kWhiteBandGain[l][o];
    return std::sqrt(v / NoiseProfile::kOrientations);
}

} // namespace

TEST(NoiseEstimate, IsWithinTenPercentOfWhiteNoiseFromTwoToForty) {
    const int w = 640, h = 480;
    const std::vector<unsigned char> clean = scene(w, h);
    for (double sigma : {2.0, 3.5, 5.0, 10.0, 20.0, 30.0, 40.0}) {
        gSigma = sigma;
        const NoiseProfile p = estimate(noisy(clean, w, h, &constantSigma, 0, 7), w, h);
        EXPECT_NEAR(p.sigma, sigma, 0.1 * sigma) << "sigma " << sigma;
        // The same strength at every level and in every channel, and no brightness dependence.
        for (int c = 0; c < NoiseProfile::kChannels; ++c)
            for (int l = 0; l < NoiseProfile::kLevels; ++l)
                EXPECT_NEAR(levelSigma(p, c, l), sigma, 0.12 * sigma)
                    << "sigma " << sigma << " channel " << c << " level " << l;
        for (float g : p.brightnessGain)
            EXPECT_NEAR(g, 1.0, 0.15) << "sigma " << sigma;
    }
}

TEST(NoiseEstimate, MeasuresCorrelatedNoiseScaleByScale) {
    const int w = 640, h = 480;
    gSigma = 8.0;
    const NoiseProfile p = estimate(noisy(scene(w, h), w, h, &constantSigma, 1, 3), w, h);
    // A 3 x 3 average leaves little at the finest level and most at the coarser ones: the
    // finest band alone would underestimate it several times over.
    for (int c = 0; c < NoiseProfile::kChannels; ++c) {
        EXPECT_LT(levelSigma(p, c, 0), 0.5 * levelSigma(p, c, 2)) << "channel " << c;
        EXPECT_GT(levelSigma(p, c, 2), 1.2 * levelSigma(p, c, 1)) << "channel " << c;
    }
    EXPECT_NEAR(p.sigma, 8.0, 0.25 * 8.0);
}

TEST(NoiseEstimate, FollowsNoiseThatGrowsWithBrightness) {
    const int w = 800, h = 600;
    // Bright and dark halves, each a gradient, so every brightness class holds flat blocks.
    std::vector<unsigned char> clean(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k)
                clean[(std::size_t(y) * w + x) * 3 + k] =
                    static_cast<unsigned char>(40 + 170.0 * (x + w * (y * 2 / h)) / (2.0 * w));
    const NoiseProfile p = estimate(noisy(clean, w, h, &risingSigma, 0, 5), w, h);
    const double low = p.gainAt(60.0f), high = p.gainAt(190.0f);
    EXPECT_GT(high, 1.6 * low);
    EXPECT_LT(high, 3.0 * low);
    EXPECT_NEAR(high / low, risingSigma(190.0) / risingSigma(60.0), 0.25 * high / low);
}

TEST(NoiseEstimate, PicturesWithNothingToMeasureHaveNoNoise) {
    NoiseProfile p;
    std::vector<unsigned char> tiny(31 * 200 * 3, 128);
    ASSERT_EQ(estimateNoise(tiny.data(), 31, 200, -1, 3, &p), NR_OK);
    EXPECT_EQ(p.sigma, 0.0f);
    EXPECT_TRUE(p.valid());
    std::vector<unsigned char> one(3, 7);
    ASSERT_EQ(estimateNoise(one.data(), 1, 1, -1, 3, &p), NR_OK);
    EXPECT_EQ(p.sigma, 0.0f);
    for (unsigned char v : {0, 128, 255}) {
        std::vector<unsigned char> flat(300 * 200 * 4, v);
        ASSERT_EQ(estimateNoise(flat.data(), 300, 200, -1, 4, &p), NR_OK);
        EXPECT_LT(p.sigma, 0.01f) << int(v);
        EXPECT_TRUE(p.valid());
    }
}

TEST(NoiseEstimate, ReadsThreeAndFourBytePixelsAlikeAndRefusesBadArguments) {
    const int w = 300, h = 200;
    gSigma = 6.0;
    const std::vector<unsigned char> px3 = noisy(scene(w, h), w, h, &constantSigma, 0, 9);
    // Four bytes per pixel with padded rows.
    const int stride = w * 4 + 12;
    std::vector<unsigned char> px4(std::size_t(stride) * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::copy_n(&px3[(std::size_t(y) * w + x) * 3], 3,
                        &px4[std::size_t(y) * stride + x * 4]);
    NoiseProfile a, b;
    ASSERT_EQ(estimateNoise(px3.data(), w, h, -1, 3, &a), NR_OK);
    ASSERT_EQ(estimateNoise(px4.data(), w, h, stride, 4, &b), NR_OK);
    EXPECT_EQ(a, b);

    EXPECT_EQ(estimateNoise(nullptr, w, h, -1, 3, &a), NR_INVALID_PARAMETER);
    EXPECT_EQ(estimateNoise(px3.data(), w, h, -1, 3, nullptr), NR_INVALID_PARAMETER);
    EXPECT_EQ(estimateNoise(px3.data(), 0, h, -1, 3, &a), NR_INVALID_PARAMETER);
    EXPECT_EQ(estimateNoise(px3.data(), w, h, -1, 2, &a), NR_INVALID_PARAMETER);
    EXPECT_EQ(estimateNoise(px3.data(), w, h, 3 * w - 1, 3, &a), NR_INVALID_PARAMETER);
}

namespace {

void expectProfilesClose(const NoiseProfile& a, const NoiseProfile& b, const std::string& what) {
    for (int c = 0; c < NoiseProfile::kChannels; ++c)
        for (int l = 0; l < NoiseProfile::kLevels; ++l)
            for (int o = 0; o < NoiseProfile::kOrientations; ++o)
                EXPECT_NEAR(a.bandSigma[c][l][o], b.bandSigma[c][l][o],
                            0.01 * b.bandSigma[c][l][o] + 1e-3)
                    << what << " band " << c << " " << l << " " << o;
    for (int k = 0; k < NoiseProfile::kBrightnessBins; ++k)
        EXPECT_NEAR(a.brightnessGain[k], b.brightnessGain[k], 0.01 * b.brightnessGain[k] + 1e-3)
            << what << " class " << k;
}

} // namespace

TEST(NoiseEstimate, MatchesTheReference) {
    const int w = 700, h = 520;
    gSigma = 9.0;
    for (int blur : {0, 1}) {
        const std::vector<unsigned char> px = noisy(scene(w, h), w, h, &constantSigma, blur, 2);
        NoiseProfile fast, reference;
        ASSERT_EQ(estimateNoise(px.data(), w, h, -1, 3, &fast), NR_OK);
        ASSERT_EQ(estimateNoiseReference(px.data(), w, h, -1, 3, &reference), NR_OK);
        expectProfilesClose(fast, reference, blur ? "correlated" : "white");
    }
    const std::vector<unsigned char> px = noisy(scene(w, h), w, h, &risingSigma, 0, 4);
    NoiseProfile fast, reference;
    ASSERT_EQ(estimateNoise(px.data(), w, h, -1, 3, &fast), NR_OK);
    ASSERT_EQ(estimateNoiseReference(px.data(), w, h, -1, 3, &reference), NR_OK);
    expectProfilesClose(fast, reference, "rising");
}

TEST(NoiseEstimate, AgreesWithTheReferenceOnARealNoisyPhotograph) {
    VELANOX_TEST_FILE(path, "noisy/nikon_coolpix_s3100_iso400_colorchecker.jpg");
    velanox::codec::Picture pic;
    ASSERT_TRUE(pic.load(path).ok());
    NoiseProfile fast, reference;
    ASSERT_EQ(estimateNoise(pic.pixels(), pic.width, pic.height, -1, 3, &fast), NR_OK);
    ASSERT_EQ(estimateNoiseReference(pic.pixels(), pic.width, pic.height, -1, 3, &reference),
              NR_OK);
    expectProfilesClose(fast, reference, "photograph");
    // An ISO 400 exposure of a small sensor, strongly smoothed in the camera: noise of about
    // 1.5, JPEG-smoothed at the finest level.
    EXPECT_GT(fast.sigma, 1.0f);
    EXPECT_LT(fast.sigma, 12.0f);
    EXPECT_LT(levelSigma(fast, 0, 0), levelSigma(fast, 0, 2));
}

TEST(NoiseProfile, SummaryGainsAndValidity) {
    for (float s : {0.0f, 1.0f, 6.3f, 40.0f}) {
        const NoiseProfile p = whiteNoiseProfile(s);
        EXPECT_NEAR(p.sigma, s, 1e-4 + 1e-5 * s);
        for (int c = 0; c < NoiseProfile::kChannels; ++c)
            EXPECT_NEAR(p.channelSigma(c), s, 1e-4 + 1e-5 * s);
        EXPECT_TRUE(p.valid());
    }
    NoiseProfile p;
    for (int k = 0; k < NoiseProfile::kBrightnessBins; ++k)
        p.brightnessGain[k] = float(k);
    EXPECT_EQ(p.gainAt(-5.0f), 0.0f);
    EXPECT_EQ(p.gainAt(8.0f), 0.0f);
    EXPECT_FLOAT_EQ(p.gainAt(16.0f), 0.5f);
    EXPECT_FLOAT_EQ(p.gainAt(200.0f), 12.0f);
    EXPECT_EQ(p.gainAt(255.0f), 15.0f);
    EXPECT_EQ(p.gainAt(1e9f), 15.0f);
    EXPECT_EQ(p.channelSigma(3), 0.0f);
    p.brightnessGain[2] = std::nanf("");
    EXPECT_FALSE(p.valid());
}

TEST(NoiseProfile, BandGainsAreThoseOfWhiteNoiseThroughTheTransform) {
    // White noise of variance 1 through the single-precision transform: each band's variance is
    // the declared gain, to the accuracy of the sample (about 2 %).
    const int n = 512;
    std::mt19937 rng(1);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> plane(std::size_t(n) * n);
    for (float& v : plane)
        v = normal(rng);
    std::vector<float> scratch(velanox::engine::lifting97::lineScratch(n) + 16);
    std::vector<float*> ptr(n + 8);
    int w = n;
    for (int l = 0; l < NoiseProfile::kLevels; ++l, w = (w + 1) / 2) {
        for (int y = 0; y < w; ++y)
            lifting97::forwardLine(&plane[std::size_t(y) * n], w, &plane[std::size_t(y) * n],
                                   scratch.data());
        float** e = ptr.data() + 1;
        float** o = e + (w + 1) / 2 + 2;
        for (int y = 0; y < w; ++y)
            (y & 1 ? o[y / 2] : e[y / 2]) = &plane[std::size_t(y) * n];
        lifting97::forwardRows(e, o, w, w);
        const int half = w / 2;
        for (int orientation = 0; orientation < 3; ++orientation) {
            double sum = 0.0;
            for (int i = 0; i < half; ++i)
                for (int j = 0; j < half; ++j) {
                    // Rows stay where they are: low rows even, high rows odd.
                    const int row = 2 * i + (orientation == 0 ? 0 : 1);
                    const int col = j + (orientation == 1 ? 0 : (w + 1) / 2);
                    const double v = plane[std::size_t(row) * n + col];
                    sum += v * v;
                }
            EXPECT_NEAR(sum / (half * half), kWhiteBandGain[l][orientation],
                        0.08 * kWhiteBandGain[l][orientation] + (l >= 3 ? 0.15 : 0.0))
                << "level " << l + 1 << " orientation " << orientation;
        }
        // The next level works on the low rows' low columns: move them together.
        for (int i = 0; i < (w + 1) / 2; ++i)
            std::copy_n(&plane[std::size_t(2 * i) * n], (w + 1) / 2, &plane[std::size_t(i) * n]);
    }
}

TEST(Lifting97, LinesAndRowsGoForwardAndBackToWithinRounding) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(0.0f, 255.0f);
    for (int n = 1; n <= 41; ++n) {
        std::vector<float> x(n), y(n), back(n), scratch(lifting97::lineScratch(n) + 4);
        for (float& v : x)
            v = u(rng);
        lifting97::forwardLine(x.data(), n, y.data(), scratch.data());
        lifting97::inverseLine(y.data(), n, back.data(), scratch.data());
        for (int i = 0; i < n; ++i)
            ASSERT_NEAR(back[i], x[i], 2e-3f) << "n " << n << " sample " << i;
        if (n >= 2) {
            // A constant line has no detail, and its low band holds it times sqrt 2.
            std::vector<float> c(n, 100.0f), cy(n);
            lifting97::forwardLine(c.data(), n, cy.data(), scratch.data());
            for (int i = 0; i < (n + 1) / 2; ++i)
                EXPECT_NEAR(cy[i], 141.4214f, 2e-3f) << "n " << n;
            for (int i = (n + 1) / 2; i < n; ++i)
                EXPECT_NEAR(cy[i], 0.0f, 2e-3f) << "n " << n;
        }
        // The column direction gives what the line direction gives, up to rounding.
        std::vector<float> rows(std::size_t(n) * 3);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < 3; ++j)
                rows[std::size_t(i) * 3 + j] = x[i];
        std::vector<float*> ptr(n + 8);
        float** e = ptr.data() + 1;
        float** o = e + (n + 1) / 2 + 2;
        for (int i = 0; i < n; ++i)
            (i & 1 ? o[i / 2] : e[i / 2]) = &rows[std::size_t(i) * 3];
        lifting97::forwardRows(e, o, n, 3);
        for (int k = 0; k < (n + 1) / 2; ++k)
            EXPECT_NEAR(e[k][1], y[k], 1e-3f * (1.0f + std::fabs(y[k]))) << "n " << n;
        for (int k = 0; k < n / 2; ++k)
            EXPECT_NEAR(o[k][2], y[(n + 1) / 2 + k], 1e-3f * (1.0f + std::fabs(y[(n + 1) / 2 + k])))
                << "n " << n;
        lifting97::inverseRows(e, o, n, 3);
        for (int i = 0; i < n; ++i)
            ASSERT_NEAR(rows[std::size_t(i) * 3], x[i], 2e-3f) << "rows n " << n;
    }
}
