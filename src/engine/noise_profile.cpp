#include "engine/noise_profile.h"

#include <cmath>

namespace velanox::engine {

namespace {

// The variance a channel's noise puts into each pixel: every band's variance in white-noise
// terms, weighted by the share of the coefficients it holds (3 / 4^l for the three bands of
// level l, 1 / 4^5 for the approximation, taken to be as noisy as level 5).
double pixelVariance(const NoiseProfile& p, int c) {
    double v = 0.0, share = 1.0;
    double deepest = 0.0;
    for (int l = 0; l < NoiseProfile::kLevels; ++l) {
        share /= 4.0;
        double level = 0.0;
        for (int o = 0; o < NoiseProfile::kOrientations; ++o) {
            const double s = p.bandSigma[c][l][o];
            level += s * s / kWhiteBandGain[l][o];
        }
        v += share * level;
        deepest = level / NoiseProfile::kOrientations;
    }
    return v + share * deepest;
}

} // namespace

float NoiseProfile::gainAt(float brightness) const {
    const float t = (brightness - 8.0f) / 16.0f;
    if (!(t > 0.0f)) return brightnessGain[0];
    if (t >= float(kBrightnessBins - 1)) return brightnessGain[kBrightnessBins - 1];
    const int k = static_cast<int>(t);
    const float f = t - float(k);
    return brightnessGain[k] + (brightnessGain[k + 1] - brightnessGain[k]) * f;
}

float NoiseProfile::channelSigma(int channel) const {
    if (channel < 0 || channel >= kChannels) return 0.0f;
    return static_cast<float>(std::sqrt(pixelVariance(*this, channel)));
}

void NoiseProfile::updateSummary() {
    double v = 0.0;
    for (int c = 0; c < kChannels; ++c)
        v += pixelVariance(*this, c);
    sigma = static_cast<float>(std::sqrt(v / kChannels));
}

bool NoiseProfile::valid() const {
    auto ok = [](float v, float limit) { return std::isfinite(v) && v >= 0.0f && v <= limit; };
    for (const auto& channel : bandSigma)
        for (const auto& level : channel)
            for (const float s : level)
                if (!ok(s, 10000.0f)) return false;
    for (const float g : brightnessGain)
        if (!ok(g, 1000.0f)) return false;
    return ok(sigma, 10000.0f);
}

NoiseProfile whiteNoiseProfile(float sigma) {
    NoiseProfile p;
    for (int c = 0; c < NoiseProfile::kChannels; ++c)
        for (int l = 0; l < NoiseProfile::kLevels; ++l)
            for (int o = 0; o < NoiseProfile::kOrientations; ++o)
                p.bandSigma[c][l][o] = static_cast<float>(sigma * std::sqrt(kWhiteBandGain[l][o]));
    p.updateSummary();
    return p;
}

} // namespace velanox::engine
