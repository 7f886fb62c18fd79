// ImageBuffer: the pipeline's working copy of a region, C x D pixels of 4 bytes, rows top to
// bottom without padding; bytes 0..2 red, green, blue and byte 3 set to 255.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::pipeline {

/// A view of 4-byte pixels held elsewhere (a SwapBuffer).
struct ImageBuffer {
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    std::size_t rowBytes() const { return std::size_t(width) * 4; }
    std::size_t byteSize() const { return rowBytes() * std::size_t(height); }
    uint8_t* pixel(int32_t x, int32_t y) const {
        return pixels + std::size_t(y) * rowBytes() + std::size_t(x) * 4;
    }
};

/// Bytes held by a width x height buffer of the given bytes per pixel, or 0 when the size does
/// not fit into size_t (or a side is not positive).
std::size_t bufferBytes(int32_t width, int32_t height, std::size_t bytesPerPixel);

} // namespace velanox::pipeline
