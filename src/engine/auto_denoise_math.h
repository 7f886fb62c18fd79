// What the shipped automatic denoiser and its straightforward reference share: the lifting
// constants of the 9/7 transform, the colour transform, symmetric extension, the window a tile
// is processed in, the shrinkage rule, argument checks and the block statistics the noise
// estimate is made from.
#pragma once

#include "engine/auto_denoiser.h"
#include "engine/noise_profile.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velanox::engine::autonr {

// ---- the 9/7 (Cohen-Daubechies-Feauveau) transform as four lifting steps ------------------
// Forward on a line x[0..n): odd samples += alpha (both even neighbours), even += beta (both odd
// neighbours), odd += gamma, even += delta; then low[k] = x[2k] kLowScale, high[k] = x[2k + 1]
// kHighScale. Both ends are extended whole-sample symmetric (x[-1] = x[1], x[n] = x[n - 2]).
// The low-pass filter then sums to sqrt 2, as the engine's convolution taps do. A line of one
// sample is left as it is.
inline constexpr double kAlpha = -1.586134342059924;
inline constexpr double kBeta = -0.052980118572961;
inline constexpr double kGamma = 0.882911075530934;
inline constexpr double kDelta = 0.443506852043971;
inline constexpr double kLowScale = 1.4142135623730951 / 1.230174104914001;
inline constexpr double kHighScale = 1.230174104914001 / 1.4142135623730951;

// ---- colour ----------------------------------------------------------------------------------
inline constexpr double kInvSqrt3 = 0.57735026918962576;
inline constexpr double kInvSqrt2 = 0.70710678118654752;
inline constexpr double kInvSqrt6 = 0.40824829046386302;

// ---- geometry --------------------------------------------------------------------------------
/// Windows start on this grid of the source, so every tile sees the same sampling pattern.
inline constexpr int kGrid = 32;
/// Grid shifts in the order they are used (cycle spinning).
inline constexpr int kShiftX[4] = {0, 1, 0, 1};
inline constexpr int kShiftY[4] = {0, 1, 1, 0};

/// Whole-sample symmetric extension of index i into 0..n-1 (x[-1] = x[1], x[n] = x[n - 2]),
/// reflecting again beyond the mirrored range. n = 1 maps everything to 0.
inline int reflect(int i, int n) {
    if (n <= 1) return 0;
    const int period = 2 * (n - 1);
    i %= period;
    if (i < 0) i += period;
    return i < n ? i : period - i;
}

/// The part of the source a call transforms: the tile and its margin, starting on the grid.
struct Window {
    int x0, y0, x1, y1;
};

inline Window processingWindow(const AutoDenoiseImages& im) {
    auto start = [](int tile) {
        const int s = tile - kAutoDenoiseMargin;
        return s <= 0 ? 0 : s / kGrid * kGrid;
    };
    auto end = [](int tileEnd, int size) {
        return tileEnd + kAutoDenoiseMargin < size ? tileEnd + kAutoDenoiseMargin : size;
    };
    return {start(im.tileX), start(im.tileY), end(im.tileX + im.tileWidth, im.width),
            end(im.tileY + im.tileHeight, im.height)};
}

/// Sizes of the region each level transforms: level 1 the plane, then the approximation of the
/// level before ((n + 1) / 2 each way).
struct LevelSizes {
    int w[NoiseProfile::kLevels + 2];
    int h[NoiseProfile::kLevels + 2];
};

inline LevelSizes levelSizes(int w, int h, int levels) {
    LevelSizes s{};
    s.w[1] = w;
    s.h[1] = h;
    for (int l = 2; l <= levels + 1; ++l) {
        s.w[l] = (s.w[l - 1] + 1) / 2;
        s.h[l] = (s.h[l - 1] + 1) / 2;
    }
    return s;
}

/// The noise standard deviation the run uses for each channel, level (index 0 = level 1) and
/// orientation: the profile's, scaled by the strengths.
struct BandSigmas {
    double s[NoiseProfile::kChannels][NoiseProfile::kLevels][NoiseProfile::kOrientations];
    bool any = false;
};

inline BandSigmas effectiveSigmas(const NoiseProfile& profile, const AutoDenoiseParams& params) {
    BandSigmas b{};
    for (int c = 0; c < NoiseProfile::kChannels; ++c) {
        const double k = params.strength / 100.0 * (c == 0 ? 1.0 : params.colorStrength / 100.0);
        for (int l = 0; l < NoiseProfile::kLevels; ++l)
            for (int o = 0; o < NoiseProfile::kOrientations; ++o) {
                b.s[c][l][o] = profile.bandSigma[c][l][o] * k;
                if (b.s[c][l][o] > 0.0) b.any = true;
            }
    }
    return b;
}

/// The soft threshold of one coefficient d whose band has local mean square `energy` and noise
/// variance `noiseVariance`: BayesShrink's T = variance / (signal standard deviation), with
/// the signal variance estimated as energy - noise and kept above a thousandth of the noise.
/// No noise leaves d as it is. Written without branches so that the shipped loop vectorises.
template <class T> inline T shrinkCoefficient(T d, T energy, T noiseVariance) {
    const T signal = std::max(energy - noiseVariance, noiseVariance * T(0.001));
    const T t = noiseVariance / std::sqrt(signal);
    const T a = std::fabs(d) - t;
    const T shrunk = a > T(0) ? std::copysign(a, d) : T(0);
    return noiseVariance > T(0) ? shrunk : d;
}

/// NR_OK or NR_INVALID_PARAMETER, checking everything reduceNoiseAuto promises to refuse.
int32_t validateAutoArguments(const AutoDenoiseImages& images, const NoiseProfile& profile,
                              const AutoDenoiseParams& params, const AutoDenoiseTuning& tuning);

/// The strides with -1 replaced.
inline std::ptrdiff_t sourceStride(const AutoDenoiseImages& im) {
    return im.sourceStride == -1 ? std::ptrdiff_t(4) * im.width : im.sourceStride;
}
inline std::ptrdiff_t targetStride(const AutoDenoiseImages& im) {
    return im.targetStride == -1 ? std::ptrdiff_t(4) * im.tileWidth : im.targetStride;
}

/// Luminance and colour differences back to one 8-bit component: rounded, clamped.
inline unsigned char toByte(double v) {
    const double t = std::floor(v + 0.5);
    return t <= 0.0 ? 0 : (t >= 255.0 ? 255 : static_cast<unsigned char>(t));
}

// ---- the noise estimate ------------------------------------------------------------------
/// Blocks of this many pixels square are measured; analysis windows hold 8 x 8 of them, with a
/// guard band around so their coefficients are not those of the window's edge.
inline constexpr int kBlock = 32;
inline constexpr int kWindowBlocks = 8;
inline constexpr int kWindowGuard = 16;
inline constexpr int kMeasuredLevels = 3;
/// At most this many analysis windows (about 3 megapixels) are measured; larger pictures are
/// sampled in a fixed diagonal pattern.
inline constexpr int kMaxWindows = 48;

/// What the estimate measures of one block.
struct BlockStats {
    float brightness = 0.0f; ///< mean of R, G, B
    bool usable = false;     ///< not clipped (few pixels at 0 or 255)
    /// Mean square of the detail coefficients inside the block, by channel, level 1..3 and
    /// orientation.
    float energy[NoiseProfile::kChannels][kMeasuredLevels][NoiseProfile::kOrientations] = {};
};

/// The analysis windows of a picture: window (wx, wy) covers pixels [256 wx, 256 wx + 256) x
/// [256 wy, ...) plus its guard; `selected` says which are measured.
struct WindowGrid {
    int columns = 0, rows = 0;
    int stride = 1; ///< window i is measured when (row + column) % stride == 0
    bool selected(int wx, int wy) const { return (wx + wy) % stride == 0; }
};
WindowGrid windowGrid(int width, int height);

/// Counts, for one block of a 3- or 4-byte picture, its brightness and whether it is clipped.
void measureBlockPixels(const unsigned char* pixels, std::ptrdiff_t stride, int bytesPerPixel,
                        int x, int y, BlockStats& stats);

/// The profile from the statistics of the picture's blocks: per brightness class and band, the
/// low quantile of the block energies, corrected for the quantile of pure noise.
NoiseProfile profileFromBlocks(const std::vector<BlockStats>& blocks);

} // namespace velanox::engine::autonr
