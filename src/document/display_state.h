// What the view shows: the display tab, the output display selection, the detail rectangle the
// pipeline works on, the visible rectangle and the histogram bars.
#pragma once

#include "pipeline/noise_settings.h"
#include "pipeline/rect.h"

#include <array>
#include <cstdint>

namespace velanox {

/// Bar heights 0..255 for the values 0..255 of red, green and blue.
using HistogramBars = std::array<std::array<uint8_t, 256>, 3>;

enum DisplayTab : int32_t {
    kTabImage = 0, ///< Detail or Full/Crop
    kTabCurves = 1,
    kTabHistogram = 2,
};

struct DisplayState {
    int32_t displayTab = kTabImage;
    int32_t outputWindowMode = kOutputResult;
    Rect detailRect;  ///< the area detail runs process
    Rect visibleRect; ///< the area visible in Detail mode
    HistogramBars histogramBars{};
};

} // namespace velanox
