// The engine's view of the caller's pixel block.
#pragma once

#include <cstddef>

namespace velanox::engine {

/// A block of 32-bit pixels in the caller's memory. Rows are addressed bottom-up unless the
/// surface is top-down: row 0 is then the last row in memory. Results go back to the same
/// pixels, so the only visible effect is on which side of each halving the odd sample falls.
class PixelSurface {
public:
    PixelSurface() = default;
    ~PixelSurface() { release(); }
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;

    /// Refuses any depth but 32 bits per pixel. A stride of -1 means 4 * width.
    bool initialise(int width, int height, int bitsPerPixel, unsigned char* pixels,
                    std::ptrdiff_t stride) {
        if (bitsPerPixel != 32 || width <= 0 || height <= 0 || pixels == nullptr) return false;
        width_ = width;
        height_ = height;
        pixels_ = pixels;
        stride_ = stride == -1 ? std::ptrdiff_t(4) * width : stride;
        return true;
    }

    std::ptrdiff_t stride() const { return stride_; }

    /// Address of the engine's row index (0 = first row it processes).
    unsigned char* rowAddress(int row) const {
        const std::ptrdiff_t memoryRow = topDown_ ? row : height_ - 1 - row;
        return pixels_ + memoryRow * stride_;
    }

    void release() {
        pixels_ = nullptr;
        width_ = height_ = 0;
        stride_ = 0;
    }

    unsigned char* pixelBase() const { return pixels_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_ = 0;
    int height_ = 0;
    unsigned char* pixels_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    bool topDown_ = false;
};

} // namespace velanox::engine
