// The colour-only preview of the detail rectangle shown while a colour slider is dragged.
#pragma once

#include "color/channel_order.h"
#include "color/color_steps.h"
#include "core/rect.h"
#include "image/pixel_buffer.h"

namespace velanox::color {

/// Copies detailRect (limited to the source) out of a 24-bit red-green-blue source into preview
/// and runs the colour steps on it; no noise reduction. An existing preview of the same size is
/// reused, one of another size is replaced. Returns false, with no preview, when the rectangle
/// is empty after limiting, the source has no pixels, or the memory cannot be had.
bool quickColorPreview(const core::ConstImageView& source, core::Rect detailRect,
                       const ColorSettings& settings, image::PixelBuffer& preview);

} // namespace velanox::color
