// The colour operations' view of a caller's pixels: a pointer, a size, the bytes per pixel, the
// distance between rows and which byte holds which colour.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::color {

/// A rectangle in pixels: left and top inside, right and bottom just outside.
struct PixelRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

/// Where the colours sit in a pixel. Rgb: red in byte 0, blue in byte 2 (the source, result and
/// working buffers). Bgr: blue in byte 0, red in byte 2 (the Full/Crop display image).
enum class ChannelOrder { Rgb, Bgr };

/// Byte index of colour channel c (0 red, 1 green, 2 blue) in a pixel of the given order.
constexpr int channelByte(ChannelOrder order, int channel) {
    return order == ChannelOrder::Rgb ? channel : 2 - channel;
}

/// width x height pixels of bytesPerPixel (3 or 4) bytes; rows stride bytes apart, where a
/// stride of 0 means rows packed without a gap. Only bytes 0..2 of a pixel are ever touched.
struct PixelBlock {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    std::ptrdiff_t stride = 0;
    ChannelOrder order = ChannelOrder::Rgb;

    std::ptrdiff_t rowStride() const {
        return stride != 0 ? stride : std::ptrdiff_t(width) * bytesPerPixel;
    }
    uint8_t* row(int y) const { return pixels + std::ptrdiff_t(y) * rowStride(); }
    /// True when the block can be walked: pixels present, positive size, 3 or 4 bytes per
    /// pixel and rows at least one row of pixels long.
    bool valid() const {
        return pixels != nullptr && width > 0 && height > 0 &&
               (bytesPerPixel == 3 || bytesPerPixel == 4) &&
               (stride == 0 || stride >= std::ptrdiff_t(width) * bytesPerPixel);
    }
};

/// The read-only form of PixelBlock.
struct ConstPixelBlock {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    std::ptrdiff_t stride = 0;
    ChannelOrder order = ChannelOrder::Rgb;

    ConstPixelBlock() = default;
    ConstPixelBlock(const uint8_t* p, int w, int h, int bpp, std::ptrdiff_t s = 0,
                    ChannelOrder o = ChannelOrder::Rgb)
        : pixels(p), width(w), height(h), bytesPerPixel(bpp), stride(s), order(o) {}
    ConstPixelBlock(const PixelBlock& b) // NOLINT: a writable block may always be read
        : pixels(b.pixels), width(b.width), height(b.height), bytesPerPixel(b.bytesPerPixel),
          stride(b.stride), order(b.order) {}

    std::ptrdiff_t rowStride() const {
        return stride != 0 ? stride : std::ptrdiff_t(width) * bytesPerPixel;
    }
    const uint8_t* row(int y) const { return pixels + std::ptrdiff_t(y) * rowStride(); }
    bool valid() const {
        return pixels != nullptr && width > 0 && height > 0 &&
               (bytesPerPixel == 3 || bytesPerPixel == 4) &&
               (stride == 0 || stride >= std::ptrdiff_t(width) * bytesPerPixel);
    }
};

} // namespace velanox::color
