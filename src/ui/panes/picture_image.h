// The panes' way of showing a 24-bit red-first Picture: a QImage copy of its pixels, as they are
// or in the screen's colours.
#pragma once

#include "codec/picture.h"
#include "ui/display_colors.h"

#include <QImage>

namespace velanox::ui {

/// A deep copy of a 24-bit picture (rows 3 * width bytes, not padded); null for anything else.
inline QImage imageFromPicture(const codec::Picture& picture) {
    if (!picture.hasPixels() || picture.bitsPerPixel != 24 || picture.width <= 0 ||
        picture.height <= 0)
        return {};
    return QImage(picture.pixels(), picture.width, picture.height, qsizetype(picture.width) * 3,
                  QImage::Format_RGB888)
        .copy();
}

/// The same in the screen's colours, converted from the picture's profile.
inline QImage shownOnScreen(const codec::Picture& picture) {
    return DisplayColors::instance().toDisplay(imageFromPicture(picture), picture.info.iccProfile);
}

} // namespace velanox::ui
