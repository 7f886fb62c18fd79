// The five tone and colour values the document holds, with their declared ranges and the
// mappings between them and the Color Correction pane's slider positions.
#pragma once

#include "core/param_range.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace velanox::color {

/// Levels, the blue-only gamma (the colour temperature filter), the exposure bend in EV and the
/// colour boost. All defaults are neutral; neutral values cost nothing at all.
struct ToneValues {
    int32_t blackPoint = 0;
    int32_t whitePoint = 255;
    float gamma = 1.0f;
    double midtoneBend = 0.0;
    int32_t colorBoost = 0;

    /// The tone tables are built only when a level, the gamma or the bend is off neutral. The
    /// gamma counts as neutral only when its bits are those of 1.0.
    bool toneActive() const {
        const float one = 1.0f;
        return blackPoint > 0 || whitePoint < 255 || std::memcmp(&gamma, &one, sizeof gamma) != 0 ||
               midtoneBend != 0.0;
    }
    bool boostActive() const { return colorBoost > 0; }
};

// Ranges the pane offers. Auto levels may set a black point beyond the slider's 100; the
// tables accept any level.
inline constexpr core::ParamRange<int32_t> kBlackPointRange{"blackPoint", 0, 100, 0};
inline constexpr core::ParamRange<int32_t> kWhitePointRange{"whitePoint", 155, 255, 255};
inline constexpr core::ParamRange<float> kGammaRange{"gamma", 0.6f, 1.4f, 1.0f};
inline constexpr core::ParamRange<double> kMidtoneBendRange{"midtoneBend", -4.0, 4.0, 0.0};
inline constexpr core::ParamRange<int32_t> kColorBoostRange{"colourBoost", 0, 100, 0};

// Slider positions of the Color Correction pane (sliders 1022, 1023, 1030, 1024, 1025).
inline constexpr core::ParamRange<int> kBlackPointSlider{"blackPoint", 0, 100, 0};
inline constexpr core::ParamRange<int> kWhitePointSlider{"whitePoint", 0, 100, 0};
inline constexpr core::ParamRange<int> kExposureSlider{"midtoneBend", 0, 800, 400};
inline constexpr core::ParamRange<int> kTemperatureSlider{"gamma", 0, 200, 100};
inline constexpr core::ParamRange<int> kColorBoostSlider{"colourBoost", 0, 100, 0};

inline int32_t whitePointFromSlider(int position) {
    return 255 - position;
}
inline int sliderFromWhitePoint(int32_t whitePoint) {
    return 255 - whitePoint;
}
inline double midtoneBendFromSlider(int position) {
    return (position - 400) * 0.01;
}
inline int sliderFromMidtoneBend(double bend) {
    return int(std::lround(bend * 100 + 400));
}

/// Position 100 gives exactly 1.0; the ends give 0.6 ("Warmer") and 1.4 ("Colder").
inline float gammaFromSlider(int position) {
    const double x = (position - 100) * 0.01 * 0.4;
    return x != 0.0 ? float(1 + x) : 1.0f;
}
inline int sliderFromGamma(float gamma) {
    if (gamma == 1.0f) return 100;
    return int(std::lround((double(gamma) - 1) * 2.5 * 100 + 100));
}

} // namespace velanox::color
