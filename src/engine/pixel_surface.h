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
        m_width = width;
        m_height = height;
        m_pixels = pixels;
        m_stride = stride == -1 ? std::ptrdiff_t(4) * width : stride;
        return true;
    }

    std::ptrdiff_t stride() const { return m_stride; }

    /// Address of the engine's row index (0 = first row it processes).
    unsigned char* rowAddress(int row) const {
        const std::ptrdiff_t memoryRow = m_topDown ? row : m_height - 1 - row;
        return m_pixels + memoryRow * m_stride;
    }

    void release() {
        m_pixels = nullptr;
        m_width = m_height = 0;
        m_stride = 0;
    }

    unsigned char* pixelBase() const { return m_pixels; }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width = 0;
    int m_height = 0;
    unsigned char* m_pixels = nullptr;
    std::ptrdiff_t m_stride = 0;
    bool m_topDown = false;
};

} // namespace velanox::engine
