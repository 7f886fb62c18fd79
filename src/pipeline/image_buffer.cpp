#include "pipeline/image_buffer.h"

#include <cstdint>

namespace velanox::pipeline {

std::size_t bufferBytes(int32_t width, int32_t height, std::size_t bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel == 0) return 0;
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    if (w > SIZE_MAX / bytesPerPixel / h) return 0;
    return w * h * bytesPerPixel;
}

} // namespace velanox::pipeline
