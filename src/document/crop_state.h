// The Full/Crop mode state of the document: the crop window's aspect, orientation, zoom and
// position. The crop operations work on these values.
#pragma once

#include <cstdint>

namespace velanox::document {

struct CropState {
    bool cropMode = false;   ///< Full/Crop mode is on; no processing run while set
    int32_t cropAspect = 8;  ///< index into the aspect table, 0..8 (8: "Do not change")
    int32_t cropSwap = 0;    ///< crop window turned against the image's orientation
    double cropZoom = 1.0;   ///< 1.0..3.0; the window is 1 / cropZoom of the image
    int32_t cropOffsetX = 0; ///< top-left corner of the crop window in source pixels
    int32_t cropOffsetY = 0;
    /// The person moved, resized, zoomed, turned or re-aspected the window since Full/Crop mode
    /// was entered (or its view reset). Only such a window is cropped when the mode is left by a
    /// way that does not itself mean "apply".
    bool windowChanged = false;

    static constexpr int32_t kAspectCount = 9;
    static constexpr double kZoomMin = 1.0, kZoomMax = 3.0;

    /// Zoom exactly 1.0 and both offsets 0.
    bool isNeutral() const { return cropZoom == 1.0 && cropOffsetX == 0 && cropOffsetY == 0; }
};

} // namespace velanox::document
