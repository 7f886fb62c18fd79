// ICC profiles for the colour tests, made with LittleCMS: RGB spaces of other primaries than sRGB.
#pragma once

#include <lcms2.h>

#include <cstdint>
#include <vector>

namespace velanox::color::test {

/// An RGB profile with the given primaries, a D65 white and the parametric curve (type 4, as
/// sRGB's) or a pure gamma; empty when LittleCMS cannot make it.
inline std::vector<uint8_t> rgbProfile(const cmsCIExyYTRIPLE& primaries, double gamma) {
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = gamma > 0 ? cmsBuildGamma(nullptr, gamma)
                                    : cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    if (curve == nullptr) return {};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (profile == nullptr) return {};
    std::vector<uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    }
    cmsCloseProfile(profile);
    return bytes;
}

/// Display P3: wider primaries than sRGB, the same white and curve.
inline const std::vector<uint8_t>& displayP3() {
    static const std::vector<uint8_t> profile =
        rgbProfile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 0);
    return profile;
}

/// Rec. 2020 primaries with a plain gamma of 2.2: another space again.
inline const std::vector<uint8_t>& wideGamma22() {
    static const std::vector<uint8_t> profile =
        rgbProfile({{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}, 2.2);
    return profile;
}

} // namespace velanox::color::test
