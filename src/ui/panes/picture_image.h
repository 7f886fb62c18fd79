// The panes' way of showing 24-bit red-first pixels (a Picture, a thumbnail): a QImage copy of
// them, as they are or in the screen's colours.
#pragma once

#include "image/pixel_buffer.h"
#include "ui/display_colors.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace velanox::ui {

/// A deep copy of 24-bit pixels (rows 3 * width bytes, not padded); null for anything else.
inline QImage imageFromPicture(const image::PixelBuffer& picture) {
    if (!picture.hasPixels() || picture.bitsPerPixel != 24 || picture.width <= 0 ||
        picture.height <= 0)
        return {};
    return QImage(picture.pixels(), picture.width, picture.height, qsizetype(picture.width) * 3,
                  QImage::Format_RGB888)
        .copy();
}

/// The same in the screen's colours, converted from iccProfile (empty for sRGB).
inline QImage shownOnScreen(const image::PixelBuffer& pixels,
                            const std::vector<uint8_t>& iccProfile) {
    return DisplayColors::instance().toDisplay(imageFromPicture(pixels), iccProfile);
}

} // namespace velanox::ui
