#include "engine/reference/wavelet_97.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace w = velanox::engine::wavelet97;

TEST(Wavelet97, LowPassFiltersSumToSqrtTwoAndHighPassToZero) {
    EXPECT_NEAR(std::accumulate(std::begin(w::kAnalysisLow), std::end(w::kAnalysisLow), 0.0),
                std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(std::accumulate(std::begin(w::kSynthesisLow), std::end(w::kSynthesisLow), 0.0),
                std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(std::accumulate(std::begin(w::kAnalysisHigh), std::end(w::kAnalysisHigh), 0.0), 0.0,
                1e-6);
}

TEST(Wavelet97, ReflectIndexFollowsTheSymmetryAtEachEnd) {
    // whole-sample at both ends: period 2n-2
    EXPECT_EQ(w::reflectIndex(-1, 5, true, true), 1);
    EXPECT_EQ(w::reflectIndex(5, 5, true, true), 3);
    EXPECT_EQ(w::reflectIndex(-9, 3, true, true), 1); // reflects several times
    EXPECT_EQ(w::reflectIndex(12, 3, true, true), 0);
    // half-sample: the edge sample repeats
    EXPECT_EQ(w::reflectIndex(-1, 4, false, false), 0);
    EXPECT_EQ(w::reflectIndex(4, 4, false, false), 3);
    EXPECT_EQ(w::reflectIndex(-9, 2, false, false), 0);
    // mixed: period 2n-1
    for (int i = -20; i < 20; ++i)
        EXPECT_EQ(w::reflectIndex(i, 3, true, false), w::reflectIndex(i + 5, 3, true, false));
    EXPECT_EQ(w::reflectIndex(7, 1, true, true), 0);
}

TEST(Wavelet97, SynthesisReconstructsLinesOfEveryLength) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> value(0.0, 255.0);
    double worst = 0.0;
    for (int n = 2; n <= 70; ++n) {
        std::vector<double> x(n), c(n), y(n), ext(w::scratchSize(n)),
            lo(w::scratchSize((n + 1) / 2)), hi(w::scratchSize((n + 1) / 2));
        for (double& v : x)
            v = value(rng);
        w::analyseLine(x.data(), n, c.data(), ext.data());
        w::synthesiseLine(c.data(), n, y.data(), lo.data(), hi.data());
        for (int i = 0; i < n; ++i)
            worst = std::max(worst, std::fabs(y[i] - x[i]));
    }
    // The six-digit taps limit the reconstruction to a few ten-thousandths of a sample.
    EXPECT_LT(worst, 0.0005);
    RecordProperty("worst_reconstruction_error", std::to_string(worst));
}

TEST(Wavelet97, ConstantLineHasNoDetailAndScaledApproximation) {
    const int n = 17;
    std::vector<double> x(n, 50.0), c(n), ext(w::scratchSize(n));
    w::analyseLine(x.data(), n, c.data(), ext.data());
    for (int k = 0; k < (n + 1) / 2; ++k)
        EXPECT_NEAR(c[k], 50.0 * std::sqrt(2.0), 1e-9);
    for (int k = (n + 1) / 2; k < n; ++k)
        EXPECT_NEAR(c[k], 0.0, 1e-4);
}
