#include "image/pixel_buffer.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace velanox::image {
namespace {

core::Status outOfMemory() {
    return core::Status::failure(core::StatusCode::OutOfMemory, "Out of memory");
}

// The bytes of width x height at a depth a buffer accepts; 0 when the size or depth is not one.
std::size_t bufferBytes(int32_t width, int32_t height, int32_t bitsPerPixel) {
    const bool depthOk =
        bitsPerPixel == 1 || bitsPerPixel == 8 || bitsPerPixel == 24 || bitsPerPixel == 32;
    if (width <= 0 || height <= 0 || !depthOk) return 0;
    const std::size_t row = PixelBuffer::rowBytesFor(width, bitsPerPixel);
    if (std::size_t(height) > SIZE_MAX / row) return 0;
    return row * std::size_t(height);
}

} // namespace

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : width(other.width), height(other.height), bitsPerPixel(other.bitsPerPixel),
      paletteSize(other.paletteSize), palette(other.palette), m_storage(std::move(other.m_storage)),
      m_pixelBytes(other.m_pixelBytes) {
    other.release();
}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    takeFrom(other);
    return *this;
}

std::size_t PixelBuffer::rowBytesFor(int32_t width, int32_t bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0) return 0;
    if (bitsPerPixel == 1) return (std::size_t(width) + 7) / 8;
    return std::size_t(width) * std::size_t(bitsPerPixel / 8);
}

core::ImageView PixelBuffer::view() {
    if (!hasPixels() || bytesPerPixel() == 0) return {};
    return {pixels(), width, height, bytesPerPixel(), std::ptrdiff_t(rowBytes())};
}

core::ConstImageView PixelBuffer::view() const {
    if (!hasPixels() || bytesPerPixel() == 0) return {};
    return {pixels(), width, height, bytesPerPixel(), std::ptrdiff_t(rowBytes())};
}

core::Status PixelBuffer::allocate(int32_t newWidth, int32_t newHeight, int32_t newBitsPerPixel) {
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
    m_pixelBytes = 0;
    const std::size_t size = bufferBytes(newWidth, newHeight, newBitsPerPixel);
    if (size == 0) {
        m_storage.reset();
        return outOfMemory();
    }
    // A heap block of the same size is kept: the next picture of a batch, or the result made
    // again from the source, reuses memory whose pages are there already. (In the reader's
    // child every picture gets a memory file of its own.)
    if (!m_storage.reallocate(size)) return outOfMemory();
    m_pixelBytes = size;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    return core::Status::success();
}

core::Status PixelBuffer::adoptPixels(PixelStorage storage, int32_t newWidth, int32_t newHeight,
                                      int32_t newBitsPerPixel) {
    release();
    const std::size_t size = bufferBytes(newWidth, newHeight, newBitsPerPixel);
    if (size == 0 || !storage || storage.size() < size) return outOfMemory();
    m_storage = std::move(storage);
    m_pixelBytes = size;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    return core::Status::success();
}

core::Status PixelBuffer::copyFrom(const PixelBuffer& other) {
    if (&other == this) return core::Status::success();
    if (core::Status s = copyLayoutFrom(other); !s.ok()) return s;
    if (other.hasPixels())
        std::memcpy(m_storage.data(), other.m_storage.data(), other.m_pixelBytes);
    return core::Status::success();
}

core::Status PixelBuffer::copyLayoutFrom(const PixelBuffer& other) {
    if (&other == this) return core::Status::success();
    if (!other.hasPixels()) {
        release();
    } else if (core::Status s = allocate(other.width, other.height, other.bitsPerPixel); !s.ok()) {
        return s;
    }
    paletteSize = other.paletteSize;
    palette = other.palette;
    return core::Status::success();
}

void PixelBuffer::takeFrom(PixelBuffer& other) {
    if (&other == this) return;
    m_storage = std::move(other.m_storage);
    m_pixelBytes = other.m_pixelBytes;
    width = other.width;
    height = other.height;
    bitsPerPixel = other.bitsPerPixel;
    paletteSize = other.paletteSize;
    palette = other.palette;
    other.release();
}

void PixelBuffer::replaceKeepingPalette(PixelBuffer& made) {
    if (&made == this) return;
    m_storage = std::move(made.m_storage);
    m_pixelBytes = made.m_pixelBytes;
    width = made.width;
    height = made.height;
    bitsPerPixel = made.bitsPerPixel;
    made.release();
}

void PixelBuffer::release() {
    m_storage.reset();
    m_pixelBytes = 0;
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
}

} // namespace velanox::image
