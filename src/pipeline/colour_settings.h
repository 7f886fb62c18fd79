// The colour values a processing run recolours the working copy with: colour match, tone levels
// with the blue gamma and the midtone bend, and colour boost.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace velanox {

/// Three 256-entry tables, red, green, blue.
using MatchTables = std::array<std::array<uint8_t, 256>, 3>;

inline MatchTables identityMatchTables() {
    MatchTables t{};
    for (auto& table : t)
        for (int i = 0; i < 256; ++i)
            table[i] = uint8_t(i);
    return t;
}

struct ColourSettings {
    int32_t matchActive = 0; ///< 0 off, 1 match to the reference image, 2 match to a profile
    int32_t matchFade = 0;   ///< 0..255, share of the unmatched colour kept
    MatchTables matchTables = identityMatchTables();
    int32_t blackPoint = 0;
    int32_t whitePoint = 255;
    float gamma = 1.0f;       ///< gamma of the blue tone table
    double midtoneBend = 0.0; ///< -4.0..+4.0, exposure compensation in EV
    int32_t colourBoost = 0;  ///< 0..100

    static constexpr int32_t kMatchFadeMax = 255;
    static constexpr double kMidtoneBendMin = -4.0, kMidtoneBendMax = 4.0;
    static constexpr int32_t kColourBoostMin = 0, kColourBoostMax = 100;

    bool matchOn() const { return matchActive > 0; }
    /// Any tone value off neutral. The gamma is compared bit for bit with 1.0.
    bool toneActive() const {
        const float one = 1.0f;
        return blackPoint > 0 || whitePoint < 255 || std::memcmp(&gamma, &one, sizeof one) != 0 ||
               midtoneBend != 0.0;
    }
    bool boostActive() const { return colourBoost > 0; }
};

} // namespace velanox
