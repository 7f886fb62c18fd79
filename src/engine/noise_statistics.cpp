// The noise profile from block statistics, which the shipped estimate and its reference share:
// per brightness class and band the low quantile of the block energies (the flattest blocks hold
// mostly noise), corrected by the same quantile of pure noise.
#include "engine/auto_denoise_math.h"

#include <algorithm>
#include <cmath>

namespace velanox::engine::autonr {

namespace {

constexpr double kQuantile = 0.1;
constexpr double kQuantileZ = -1.2815515655446004; // the standard normal's 10 % point
constexpr int kMinUsable = 8;  // fewer unclipped blocks: use the clipped ones too
constexpr int kMinPerBin = 16; // fewer blocks in a brightness class: interpolate it
constexpr int kIterations = 3;
constexpr int kBins = NoiseProfile::kBrightnessBins;
constexpr int kC = NoiseProfile::kChannels;
constexpr int kO = NoiseProfile::kOrientations;

// The 10 % point of chi-square with n degrees of freedom divided by n (Wilson-Hilferty).
double chiSquareQuantileRatio(double n) {
    const double a = 2.0 / (9.0 * n);
    const double t = 1.0 - a + kQuantileZ * std::sqrt(a);
    return t * t * t;
}

// Samples per block of a band of level l (0-based).
int samplesPerBlock(int l) {
    const int side = kBlock >> (l + 1);
    return side * side;
}

double quantileOf(std::vector<double>& v) {
    if (v.empty()) return 0.0;
    const std::size_t k = static_cast<std::size_t>(kQuantile * double(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

int binOf(float brightness) {
    const int b = static_cast<int>(brightness / 16.0f);
    return b < 0 ? 0 : (b >= kBins ? kBins - 1 : b);
}

struct Estimate {
    double s2[kC][kMeasuredLevels][kO] = {};
};

// The band variances with every block's energies divided by the square of its noise gain.
Estimate bandVariances(const std::vector<const BlockStats*>& used, const NoiseProfile& gains) {
    Estimate e;
    std::vector<double> v(used.size());
    for (int c = 0; c < kC; ++c)
        for (int l = 0; l < kMeasuredLevels; ++l) {
            const double cq = chiSquareQuantileRatio(samplesPerBlock(l));
            for (int o = 0; o < kO; ++o) {
                for (std::size_t i = 0; i < used.size(); ++i) {
                    const double g = std::max(double(gains.gainAt(used[i]->brightness)), 1e-3);
                    v[i] = used[i]->energy[c][l][o] / (g * g);
                }
                e.s2[c][l][o] = quantileOf(v) / cq;
            }
        }
    return e;
}

// The noise-level function's shape: the noise variance of an sRGB-encoded picture at brightness
// v is a x (dv/dx)^2 + b (dv/dx)^2 + c + d v + e v^2 (x the linear light of v): a Poisson-
// Gaussian sensor's a x + b carried through the sRGB curve (Foi et al. 2008), noise added after
// the curve (c), and noise growing with the encoded value itself (d, e), for pictures kept
// linear or noise proportional to the signal. The coefficients are non-negative; the fit picks
// the best of every subset of the five terms.
constexpr int kTerms = 5;

void basisAt(double brightness, double phi[kTerms]) {
    const double u = std::clamp(brightness / 255.0, 0.0, 1.0);
    const double x = u <= 0.04045 ? u / 12.92 : std::pow((u + 0.055) / 1.055, 2.4);
    const double slope = x <= 0.0031308 ? 12.92 : 1.055 / 2.4 * std::pow(x, 1.0 / 2.4 - 1.0);
    phi[0] = x * slope * slope;
    phi[1] = slope * slope / 100.0; // scaled to the others' size
    phi[2] = 1.0;
    phi[3] = u;
    phi[4] = u * u;
}

// Weighted non-negative least squares over the five terms: every subset solved by its normal
// equations (Gaussian elimination), the best one with no negative coefficient kept. False when
// none qualifies.
bool fitTerms(const double v[kBins], const double w[kBins], double coef[kTerms]) {
    double best = -1.0;
    for (int mask = 1; mask < (1 << kTerms); ++mask) {
        int idx[kTerms], n = 0;
        for (int t = 0; t < kTerms; ++t)
            if (mask & (1 << t)) idx[n++] = t;
        double a[kTerms][kTerms + 1] = {};
        for (int k = 0; k < kBins; ++k) {
            if (!(w[k] > 0.0)) continue;
            double phi[kTerms];
            basisAt(16.0 * k + 8.0, phi);
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j)
                    a[i][j] += w[k] * phi[idx[i]] * phi[idx[j]];
                a[i][n] += w[k] * phi[idx[i]] * v[k];
            }
        }
        bool ok = true;
        for (int i = 0; i < n && ok; ++i) {
            int pivot = i;
            for (int r = i + 1; r < n; ++r)
                if (std::fabs(a[r][i]) > std::fabs(a[pivot][i])) pivot = r;
            if (!(std::fabs(a[pivot][i]) > 1e-12)) {
                ok = false;
                break;
            }
            for (int j = 0; j <= n; ++j)
                std::swap(a[i][j], a[pivot][j]);
            for (int r = 0; r < n; ++r) {
                if (r == i) continue;
                const double f = a[r][i] / a[i][i];
                for (int j = i; j <= n; ++j)
                    a[r][j] -= f * a[i][j];
            }
        }
        if (!ok) continue;
        double c[kTerms] = {};
        for (int i = 0; i < n; ++i) {
            c[idx[i]] = a[i][n] / a[i][i];
            if (c[idx[i]] < 0.0) ok = false;
        }
        if (!ok) continue;
        double err = 0.0;
        for (int k = 0; k < kBins; ++k) {
            if (!(w[k] > 0.0)) continue;
            double phi[kTerms], m = 0.0;
            basisAt(16.0 * k + 8.0, phi);
            for (int t = 0; t < kTerms; ++t)
                m += c[t] * phi[t];
            err += w[k] * (m - v[k]) * (m - v[k]);
        }
        if (best < 0.0 || err < best) {
            best = err;
            std::copy(c, c + kTerms, coef);
        }
    }
    return best >= 0.0;
}

// One pass of the noise-level function: per brightness class, the low quantile of the blocks'
// pooled energy of the two finest levels relative to the band variances; then the curve of the
// form above that follows those values from below (classes far above it are taken to hold
// texture rather than noise and count less). False when no class has enough blocks.
bool brightnessGains(const std::vector<const BlockStats*>& used, const Estimate& e,
                     NoiseProfile& profile) {
    // The pooled energy of a block of pure noise is a mean of chi-squares of different degrees
    // of freedom; its spread sets the quantile correction.
    double spread = 0.0;
    int bands = 0;
    for (int c = 0; c < kC; ++c)
        for (int l = 0; l < 2; ++l)
            for (int o = 0; o < kO; ++o)
                if (e.s2[c][l][o] > 0.0) {
                    spread += 2.0 / samplesPerBlock(l);
                    ++bands;
                }
    if (bands == 0) return false;
    const double cq = chiSquareQuantileRatio(2.0 / (spread / (double(bands) * bands)));

    std::vector<double> pooled[kBins];
    for (const BlockStats* b : used) {
        double t = 0.0;
        for (int c = 0; c < kC; ++c)
            for (int l = 0; l < 2; ++l)
                for (int o = 0; o < kO; ++o)
                    if (e.s2[c][l][o] > 0.0) t += b->energy[c][l][o] / e.s2[c][l][o];
        pooled[binOf(b->brightness)].push_back(t / bands);
    }
    double v[kBins], w[kBins];
    int measured = 0;
    for (int k = 0; k < kBins; ++k) {
        const bool enough = int(pooled[k].size()) >= kMinPerBin;
        v[k] = enough ? quantileOf(pooled[k]) / cq : 0.0;
        // Relative errors count: a class's weight grows with its blocks, less than linearly so
        // that one large flat area does not decide the whole curve.
        w[k] = enough && v[k] > 0.0 ? std::sqrt(double(pooled[k].size())) / (v[k] * v[k]) : 0.0;
        if (enough) ++measured;
    }
    if (measured == 0) return false;
    double coef[kTerms] = {};
    for (int pass = 0; pass < 4; ++pass) {
        if (!fitTerms(v, w, coef)) return false;
        for (int k = 0; k < kBins; ++k) {
            double phi[kTerms], m = 0.0;
            basisAt(16.0 * k + 8.0, phi);
            for (int t = 0; t < kTerms; ++t)
                m += coef[t] * phi[t];
            if (w[k] > 0.0 && v[k] > 1.2 * m) w[k] *= 0.2;
        }
    }
    // The curve is trusted over the brightness the picture's blocks measured, and held constant
    // beyond it.
    int first = kBins, last = -1;
    for (int k = 0; k < kBins; ++k)
        if (v[k] > 0.0) {
            first = std::min(first, k);
            last = k;
        }
    double g[kBins];
    for (int k = 0; k < kBins; ++k) {
        double phi[kTerms], m = 0.0;
        basisAt(16.0 * std::clamp(k, first, last) + 8.0, phi);
        for (int t = 0; t < kTerms; ++t)
            m += coef[t] * phi[t];
        g[k] = std::sqrt(std::max(m, 0.0));
    }
    double mean = 0.0;
    for (const BlockStats* b : used)
        mean += g[binOf(b->brightness)];
    mean /= double(used.size());
    if (!(mean > 0.0)) return false;
    for (int k = 0; k < kBins; ++k)
        profile.brightnessGain[k] = static_cast<float>(g[k] / mean);
    return true;
}

// A channel whose finest level holds as much diagonal as horizontal and vertical detail (in
// white-noise terms) has white noise: demosaicing, in-camera processing and JPEG all take the
// diagonal detail first. Its noise is then measured where the picture's own structure disturbs
// it least, the finest level, and carried to the coarser ones as white noise; texture would
// otherwise pass for noise there.
constexpr double kWhiteDiagonalRatio = 0.85;

void whiteWhereWhite(Estimate& e) {
    for (int c = 0; c < kC; ++c) {
        const double hv =
            0.5 * (e.s2[c][0][0] / kWhiteBandGain[0][0] + e.s2[c][0][1] / kWhiteBandGain[0][1]);
        const double d = e.s2[c][0][2] / kWhiteBandGain[0][2];
        if (!(hv > 0.0) || d < kWhiteDiagonalRatio * kWhiteDiagonalRatio * hv) continue;
        const double white = (2.0 * hv + d) / 3.0;
        for (int l = 0; l < kMeasuredLevels; ++l)
            for (int o = 0; o < kO; ++o)
                e.s2[c][l][o] = white * kWhiteBandGain[l][o];
    }
}

} // namespace

WindowGrid windowGrid(int width, int height) {
    const int side = kBlock * kWindowBlocks;
    WindowGrid g;
    g.columns = width >= kBlock ? (width + side - 1) / side : 0;
    g.rows = height >= kBlock ? (height + side - 1) / side : 0;
    const int count = g.columns * g.rows;
    g.stride = count > kMaxWindows ? (count + kMaxWindows - 1) / kMaxWindows : 1;
    return g;
}

void measureBlockPixels(const unsigned char* pixels, std::ptrdiff_t stride, int bytesPerPixel,
                        int x, int y, BlockStats& stats) {
    long sum = 0;
    int clipped = 0;
    for (int r = 0; r < kBlock; ++r) {
        const unsigned char* p = pixels + (y + r) * stride + std::ptrdiff_t(x) * bytesPerPixel;
        for (int i = 0; i < kBlock; ++i, p += bytesPerPixel) {
            sum += p[0] + p[1] + p[2];
            clipped += (p[0] == 0) | (p[1] == 0) | (p[2] == 0) | (p[0] == 255) | (p[1] == 255) |
                       (p[2] == 255);
        }
    }
    stats.brightness = static_cast<float>(double(sum) / (3.0 * kBlock * kBlock));
    stats.usable = clipped * 8 <= kBlock * kBlock;
}

NoiseProfile profileFromBlocks(const std::vector<BlockStats>& blocks) {
    std::vector<const BlockStats*> used;
    for (const BlockStats& b : blocks)
        if (b.usable) used.push_back(&b);
    if (int(used.size()) < kMinUsable) {
        used.clear();
        for (const BlockStats& b : blocks)
            used.push_back(&b);
    }
    NoiseProfile profile;
    if (used.empty()) return profile;

    for (int it = 0; it < kIterations; ++it) {
        const Estimate e = bandVariances(used, profile);
        if (!brightnessGains(used, e, profile)) {
            for (float& g : profile.brightnessGain)
                g = 1.0f;
            break;
        }
    }
    Estimate e = bandVariances(used, profile);
    whiteWhereWhite(e);
    for (int c = 0; c < kC; ++c)
        for (int o = 0; o < kO; ++o) {
            for (int l = 0; l < kMeasuredLevels; ++l)
                profile.bandSigma[c][l][o] = static_cast<float>(std::sqrt(e.s2[c][l][o]));
            // The coarser levels cannot be told from the picture's own structure: their noise is
            // taken to be as white as that of the coarsest measured level.
            const int m = kMeasuredLevels - 1;
            for (int l = kMeasuredLevels; l < NoiseProfile::kLevels; ++l)
                profile.bandSigma[c][l][o] = static_cast<float>(
                    std::sqrt(e.s2[c][m][o] * kWhiteBandGain[l][o] / kWhiteBandGain[m][o]));
        }
    profile.updateSummary();
    return profile;
}

} // namespace velanox::engine::autonr
