// PixelBuffer: the pixels of one picture and their geometry, owned. Every picture the program
// holds keeps its pixels in one (the document's three, a reference, a thumbnail, a preview).
#pragma once

#include "core/image_view.h"
#include "core/status.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace velanox::core {

/// One palette entry in the platform's layout: blue, green, red and a fourth byte.
struct PaletteEntry {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    bool operator==(const PaletteEntry&) const = default;
};

/// Rows top to bottom without padding. 24-bit pixels are red, green, blue; 32-bit pixels are
/// laid out by their owner; 8-bit pixels are palette indices; 1-bit rows are packed
/// (width + 7) / 8 bytes, the first pixel in the highest bit.
class PixelBuffer {
public:
    PixelBuffer() = default;
    PixelBuffer(PixelBuffer&&) noexcept = default;
    PixelBuffer& operator=(PixelBuffer&&) noexcept = default;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    int32_t paletteSize = 0; ///< entries used: 0, 2 or 256
    std::array<PaletteEntry, 256> palette{};

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t bitsPerPixel() const { return m_bitsPerPixel; }
    uint8_t* data() { return m_pixels.get(); }
    const uint8_t* data() const { return m_pixels.get(); }
    bool empty() const { return m_pixels == nullptr; }
    std::size_t rowBytes() const { return rowBytesFor(m_width, m_bitsPerPixel); }
    std::size_t byteSize() const { return m_byteSize; }

    /// Bytes of one row of width pixels at the given depth; 0 for a size or depth below 1.
    static std::size_t rowBytesFor(int32_t width, int32_t bitsPerPixel);

    /// The pixels as a view of whole bytes per pixel (8, 24 and 32 bits; an empty view for
    /// 1-bit rows and without pixels).
    ImageView view();
    ConstImageView view() const;

    /// Releases the old pixels and reserves room for width x height at a depth of 1, 8, 24 or
    /// 32 bits. OutOfMemory, with no pixels, when the memory cannot be had, the size is not
    /// representable or the depth is none of those. The palette size becomes 0; the entries stay.
    Status allocate(int32_t width, int32_t height, int32_t bitsPerPixel);

    /// A deep copy of other's pixels, size, depth and palette (none when other has none).
    Status copyFrom(const PixelBuffer& other);

    /// Moves other's pixels here with their size, depth and palette; other keeps no pixels.
    void takeFrom(PixelBuffer& other);

    /// Frees the pixels; width, height, depth and palette size become 0.
    void release();

    /// Turns 8-bit or 1-bit pixels into 24-bit ones in place through the palette (24-bit is
    /// left as it is) and empties the palette. OutOfMemory (unchanged), or NoReader without
    /// pixels or at another depth.
    Status toTrueColour();

private:
    std::unique_ptr<uint8_t[]> m_pixels;
    std::size_t m_byteSize = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bitsPerPixel = 0;
};

} // namespace velanox::core
