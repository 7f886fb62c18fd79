// Resampling of a 24-bit picture to a new size: area averaging along an axis that shrinks (each
// output pixel is the exact area-weighted mean of the source pixels it covers) and Lanczos-3
// along an axis that grows. The two axes are filtered one after the other.
#pragma once

#include <cstdint>

namespace velanox::codec {

/// Resamples the RGB array src (srcWidth x srcHeight, 3 bytes per pixel, no padding) into dst
/// (dstWidth x dstHeight, same layout). Returns false when the working memory cannot be had or
/// a size is not positive; dst is then untouched.
bool resampleRgb(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, uint8_t* dst,
                 int32_t dstWidth, int32_t dstHeight);

} // namespace velanox::codec
