// PixelBuffer: the pixels of one image and their geometry, in memory the buffer owns. A picture
// is a pixel buffer with what its file said and how to write it; the colour layer's thumbnails
// and previews are pixel buffers alone.
#pragma once

#include "core/image_view.h"
#include "core/status.h"
#include "image/pixel_storage.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace velanox::image {

/// One palette entry in the platform's layout: blue, green, red and a fourth byte.
struct PaletteEntry {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    bool operator==(const PaletteEntry&) const = default;
};

/// width x height pixels of bitsPerPixel bits: rows top to bottom without padding (the stride
/// is rowBytes()); 24-bit pixels red, green, blue; 8-bit palette indices; 1-bit rows packed
/// (width + 7) / 8 bytes, most significant bit first. A buffer is moved, never copied by
/// accident: copyFrom copies, and says when the memory cannot be had.
class PixelBuffer {
public:
    PixelBuffer() = default;
    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    ~PixelBuffer() = default;

    // The size and depth are those of the pixels held: set by allocate, adoptPixels, copyFrom,
    // takeFrom and release, only read elsewhere. The palette is the readers' and writers' to
    // fill; allocate empties it (paletteSize 0).
    int32_t width = 0, height = 0;
    int32_t bitsPerPixel = 0; ///< 1, 8, 24 (32 for the crop display)
    int32_t paletteSize = 0;  ///< entries used: 0, 2 or 256
    std::array<PaletteEntry, 256> palette{};

    uint8_t* pixels() { return m_storage.data(); }
    const uint8_t* pixels() const { return m_storage.data(); }
    bool hasPixels() const { return bool(m_storage); }
    /// Bytes from one row to the next: the bytes of a row, as rows have no padding.
    std::size_t rowBytes() const { return rowBytesFor(width, bitsPerPixel); }
    /// Bytes of one pixel; 0 for 1-bit rows.
    int32_t bytesPerPixel() const { return bitsPerPixel >= 8 ? bitsPerPixel / 8 : 0; }
    std::size_t pixelBytes() const { return m_pixelBytes; }
    /// Row y (0 at the top); the caller keeps y within 0..height - 1.
    uint8_t* row(int32_t y) { return pixels() + std::size_t(y) * rowBytes(); }
    const uint8_t* row(int32_t y) const { return pixels() + std::size_t(y) * rowBytes(); }
    /// The pixels as a view; an empty view without pixels or for 1-bit rows (whose pixels are
    /// not whole bytes).
    core::ImageView view();
    core::ConstImageView view() const;
    /// The memory behind the pixels (a heap block, or a shared memory file).
    const PixelStorage& pixelStorage() const { return m_storage; }

    /// Bytes of a row of width pixels at the depth; 0 for a width or depth <= 0.
    static std::size_t rowBytesFor(int32_t width, int32_t bitsPerPixel);

    /// Reserves room for width x height at the given depth, releasing the old pixels (a block of
    /// the same size is kept, its contents unspecified). OutOfMemory (no pixels) when the memory
    /// cannot be had, the size is not representable or the depth is not 1, 8, 24 or 32.
    core::Status allocate(int32_t width, int32_t height, int32_t bitsPerPixel);

    /// Takes storage (at least width x height at the depth, as allocate would reserve) as the
    /// pixels. OutOfMemory (nothing taken, no pixels) when the size or depth is not one allocate
    /// accepts or the storage is too small.
    core::Status adoptPixels(PixelStorage storage, int32_t width, int32_t height,
                             int32_t bitsPerPixel);

    /// Deep copy of the pixels, size, depth and palette (the palette also when other has no
    /// pixels). OutOfMemory leaves no pixels.
    core::Status copyFrom(const PixelBuffer& other);

    /// copyFrom without the pixels: the same size, depth and palette, the pixels unset (for a
    /// buffer about to be written whole). An empty other empties this buffer.
    core::Status copyLayoutFrom(const PixelBuffer& other);

    /// Moves other's pixels here with size, depth and palette; other keeps no pixels.
    void takeFrom(PixelBuffer& other);

    /// Frees the pixels; width, height, depth and palette size become 0.
    void release();

protected:
    /// Puts the pixels of made (new pixels made from these: turned, resampled, expanded) in
    /// place of these with made's size and depth; the palette stays. made keeps no pixels.
    void replaceKeepingPalette(PixelBuffer& made);

private:
    PixelStorage m_storage;
    std::size_t m_pixelBytes = 0;
};

} // namespace velanox::image
