// The declared range and default of one adjustable value. Sliders, the correction of typed
// values and command-line flags all read these declarations instead of repeating the numbers.
#pragma once

#include <algorithm>

namespace velanox::core {

template <class T> struct ParamRange {
    const char* name; ///< the value's name as the document spells it
    T minimum;
    T maximum;
    T defaultValue;

    constexpr T clamp(T value) const { return std::clamp(value, minimum, maximum); }
    constexpr bool contains(T value) const { return value >= minimum && value <= maximum; }
};

} // namespace velanox::core
