// The file information text of the File Properties pane.
#pragma once

#include "codec/picture.h"

#include <string>

namespace velanox::codec {

/// With EXIF data (a JPEG's EXIF block, or the camera data a raw decoder read): make and model, the
/// size, the date, then "ISO: n", the exposure (whole seconds as n followed by a blank and a double
/// quote above 1 s, else "1/n") and "F: x.x" when known, each line ended by "\r\n". Without: "No
/// EXIF\r\n" and the size.
std::string fileInfoText(const ExifSummary& exif, bool hasExifBlock, int width, int height);

inline std::string fileInfoText(const Picture& picture) {
    return fileInfoText(picture.info.exif,
                        !picture.info.exifBlock.empty() || picture.info.exif.present, picture.width,
                        picture.height);
}

} // namespace velanox::codec
