// The thumbnail a reference image is reduced to once its statistics are taken.
#pragma once

#include "image/pixel_buffer.h"

#include <cstdint>
#include <functional>

namespace velanox::color {

struct ThumbnailSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const ThumbnailSize&) const = default;
};

/// 170 wide when that keeps the height within 100, otherwise 100 high; the other side follows
/// the image's proportions (truncated). A side that would round down to nothing is 1 pixel.
ThumbnailSize referenceThumbnailSize(int32_t width, int32_t height);

/// Scales 24-bit pixels into out at the given size; returns false when it cannot.
using ThumbnailScaler = std::function<bool(const image::PixelBuffer& source, int32_t width,
                                           int32_t height, image::PixelBuffer& out)>;

/// The built-in scaler: each thumbnail pixel is the mean of the source pixels it covers
/// (24-bit, red first). Fails for other depths or when memory cannot be had.
bool scaleDownByAveraging(const image::PixelBuffer& source, int32_t width, int32_t height,
                          image::PixelBuffer& out);

} // namespace velanox::color
