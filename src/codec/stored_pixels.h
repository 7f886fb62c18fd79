// The pixels a writer stores for a picture that carries EXIF data: turned by the inverse of the
// EXIF orientation, so that together with that orientation (in the EXIF copy, and where the
// format has one, in its own orientation field) they show as on screen.
#pragma once

#include "codec/codec.h"
#include "codec/orientation.h"

#include <new>
#include <vector>

namespace velanox::codec {

class StoredPixels {
public:
    /// The orientation the written file will state: the picture's EXIF orientation when it has
    /// an EXIF block and the value is 2..8, else 1 (the pixels are stored as they are).
    static int fileOrientation(const Picture& picture) {
        return !picture.info.exifBlock.empty() && picture.info.orientation >= 2 &&
                       picture.info.orientation <= 8
                   ? picture.info.orientation
                   : 1;
    }

    /// Prepares the rows of a 24-bit picture; false when the memory for the turned copy cannot
    /// be had.
    bool prepare(const Picture& picture) {
        orientation = fileOrientation(picture);
        rgb = picture.pixels();
        width = picture.width;
        height = picture.height;
        if (orientation == 1) return true;
        try {
            m_turned.resize(picture.pixelBytes());
        } catch (const std::bad_alloc&) {
            return false;
        }
        const int inverse = inverseOrientation(orientation);
        orientPixels(picture.pixels(), width, height, 3, inverse, m_turned.data());
        if (orientationSwapsAxes(inverse)) std::swap(width, height);
        rgb = m_turned.data();
        return true;
    }

    int orientation = 1;
    const uint8_t* rgb = nullptr; ///< rows of width * 3 bytes
    int32_t width = 0, height = 0;

private:
    std::vector<uint8_t> m_turned;
};

} // namespace velanox::codec
