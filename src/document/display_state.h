// What the view shows: the display tab, the output display selection, the detail rectangle the
// pipeline works on, the visible rectangle and the histogram bars.
#pragma once

#include "color/histogram.h"
#include "core/rect.h"
#include "pipeline/noise_settings.h"

#include <array>
#include <cstdint>

namespace velanox::document {

enum DisplayTab : int32_t {
    kTabImage = 0, ///< Detail or Full/Crop
    kTabCurves = 1,
    kTabHistogram = 2,
};

struct DisplayState {
    int32_t displayTab = kTabImage;
    int32_t outputWindowMode = pipeline::kOutputResult;
    core::Rect detailRect;  ///< the area detail runs process
    core::Rect visibleRect; ///< the area visible in Detail mode
    color::HistogramBars histogramBars{};
};

} // namespace velanox::document
