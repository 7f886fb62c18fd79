// The noise of one picture as the automatic denoiser models it: a value the document keeps from
// the moment the picture is loaded, shows ("Estimated noise: 6.3") and hands to every run, so
// the detail preview and the saved picture are denoised with the same estimate.
#pragma once

#include <cstdint>

namespace velanox::engine {

struct NoiseProfile {
    /// The three colour channels the denoiser works in: luminance (R + G + B) / sqrt 3 and two
    /// colour differences, (R - B) / sqrt 2 and (R - 2G + B) / sqrt 6. The transform is
    /// orthonormal, so noise of the same strength in red, green and blue has that strength in
    /// each of them.
    static constexpr int kChannels = 3;
    /// Wavelet levels, 1 the finest (details of 2-pixel period) to 5 (of 32 pixels).
    static constexpr int kLevels = 5;
    /// Detail bands of a level: horizontal detail (high-pass along rows), vertical detail
    /// (high-pass along columns), diagonal detail.
    static constexpr int kOrientations = 3;
    /// Brightness classes of the noise-level function, each 16 levels of the mean of R, G, B wide.
    static constexpr int kBrightnessBins = 16;

    /// Standard deviation of the noise in each detail band, in the band's own units, for a pixel
    /// of average noise gain. Demosaiced, JPEG-compressed or in-camera-processed noise is
    /// spatially correlated, so the levels differ: the finest often holds far less noise than the
    /// coarser ones.
    float bandSigma[kChannels][kLevels][kOrientations] = {};

    /// How the noise scales with brightness (the noise-level function): bin k covers brightness
    /// 16k .. 16k + 15, its value applying at its centre 16k + 8, linear in between. Normalised
    /// so that the picture's blocks average 1.
    float brightnessGain[kBrightnessBins] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

    /// The summary a person is shown: the standard deviation of the noise in each of red, green
    /// and blue, in 8-bit sample values, at the picture's average noise gain. 0: no noise found.
    float sigma = 0.0f;

    /// The noise gain at a brightness (mean of R, G, B, 0..255), interpolated between the bins.
    float gainAt(float brightness) const;

    /// The summary of one channel alone (0 luminance, 1 and 2 colour), in the units of sigma.
    float channelSigma(int channel) const;

    /// Every value finite, non-negative and below a generous bound: what the denoiser accepts.
    bool valid() const;

    /// Recomputes sigma from bandSigma.
    void updateSummary();

    friend bool operator==(const NoiseProfile&, const NoiseProfile&) = default;
};

/// The variance a detail band of each level receives from white noise of variance 1 in the
/// pixels, by level (1..5) and orientation: the filters are not quite orthonormal.
inline constexpr double kWhiteBandGain[NoiseProfile::kLevels][NoiseProfile::kOrientations] = {
    {1.022700, 1.022700, 0.966198},
    {1.111714, 1.111714, 1.251360},
    {1.013889, 1.013889, 1.090600},
    {0.966912, 0.966912, 1.007417},
    {0.951640, 0.951640, 0.980202}};
/// The same for the approximation left after level 5.
inline constexpr double kWhiteApproximationGain = 0.923911;

/// The profile of white noise of standard deviation sigma in every channel and band.
NoiseProfile whiteNoiseProfile(float sigma);

} // namespace velanox::engine
