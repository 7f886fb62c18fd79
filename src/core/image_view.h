// ImageView and ConstImageView: how every layer hands pixels to another. A view is a pointer, a
// size, the bytes of one pixel and the distance between rows; it owns nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace velanox::core {

/// width x height pixels of bytesPerPixel bytes, row y starting stride bytes after row y - 1.
/// A negative stride walks the rows from the last one in memory to the first (rows bottom-up).
template <class Byte> struct BasicImageView {
    static_assert(std::is_same_v<std::remove_const_t<Byte>, uint8_t>);

    Byte* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;
    std::ptrdiff_t stride = 0;

    constexpr BasicImageView() = default;
    /// Rows packed without a gap.
    constexpr BasicImageView(Byte* data, int32_t width, int32_t height, int32_t bytesPerPixel)
        : data(data), width(width), height(height), bytesPerPixel(bytesPerPixel),
          stride(std::ptrdiff_t(width) * bytesPerPixel) {}
    constexpr BasicImageView(Byte* data, int32_t width, int32_t height, int32_t bytesPerPixel,
                             std::ptrdiff_t stride)
        : data(data), width(width), height(height), bytesPerPixel(bytesPerPixel), stride(stride) {}
    /// A writable view may always be read.
    template <class Other,
              class = std::enable_if_t<std::is_const_v<Byte> && !std::is_const_v<Other>>>
    constexpr BasicImageView(const BasicImageView<Other>& other) // NOLINT: intended conversion
        : data(other.data), width(other.width), height(other.height),
          bytesPerPixel(other.bytesPerPixel), stride(other.stride) {}

    /// Bytes of the pixels of one row (without any gap up to the next row).
    std::size_t rowBytes() const { return std::size_t(width) * std::size_t(bytesPerPixel); }
    Byte* row(int32_t y) const { return data + std::ptrdiff_t(y) * stride; }
    Byte* pixel(int32_t x, int32_t y) const { return row(y) + std::ptrdiff_t(x) * bytesPerPixel; }
    bool empty() const { return data == nullptr || width <= 0 || height <= 0; }
    /// Rows follow each other without a gap.
    bool packed() const { return stride == std::ptrdiff_t(rowBytes()); }

    /// The same pixels with the rows in the opposite order: row 0 is the last row in memory.
    BasicImageView flipped() const {
        return {height > 0 ? row(height - 1) : data, width, height, bytesPerPixel, -stride};
    }
    /// The pixels left..left + width - 1 of rows top..top + height - 1; the caller keeps them
    /// inside the view.
    BasicImageView section(int32_t left, int32_t top, int32_t sectionWidth,
                           int32_t sectionHeight) const {
        return {pixel(left, top), sectionWidth, sectionHeight, bytesPerPixel, stride};
    }
};

using ImageView = BasicImageView<uint8_t>;
using ConstImageView = BasicImageView<const uint8_t>;

} // namespace velanox::core
