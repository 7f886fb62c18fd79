// The EXIF orientation transforms of a 24-bit picture.
#pragma once

#include <cstdint>

namespace velanox::codec {

/// True for the orientations that exchange width and height (5..8).
inline bool orientationSwapsAxes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

/// The orientation that undoes the given one: 6 and 8 are exchanged, the others are their own
/// inverse.
inline int inverseOrientation(int orientation) {
    return orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
}

/// Writes the transformed copy of a width x height array (bytesPerPixel bytes per pixel, no
/// padding) into dst, which holds the same number of bytes and must not overlap src. 2 mirrors each
/// row, 3 rotates by 180 degrees, 4 reverses the rows, 5 transposes, 6 rotates 90 degrees
/// clockwise, 7 is the transverse, 8 rotates 90 degrees counter-clockwise; other values copy.
/// For 5..8 dst is height pixels wide and width pixels tall.
void orientPixels(const uint8_t* src, int32_t width, int32_t height, int bytesPerPixel,
                  int orientation, uint8_t* dst);

} // namespace velanox::codec
