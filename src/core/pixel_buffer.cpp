#include "core/pixel_buffer.h"

#include <cstring>
#include <new>
#include <utility>

namespace velanox::core {

namespace {

Status outOfMemory() {
    return Status::failure(StatusCode::OutOfMemory, "Out of memory");
}

} // namespace

std::size_t PixelBuffer::rowBytesFor(int32_t width, int32_t bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0) return 0;
    if (bitsPerPixel == 1) return (std::size_t(width) + 7) / 8;
    return std::size_t(width) * std::size_t(bitsPerPixel / 8);
}

ImageView PixelBuffer::view() {
    if (empty() || m_bitsPerPixel % 8 != 0) return {};
    return {m_pixels.get(), m_width, m_height, m_bitsPerPixel / 8};
}

ConstImageView PixelBuffer::view() const {
    if (empty() || m_bitsPerPixel % 8 != 0) return {};
    return {m_pixels.get(), m_width, m_height, m_bitsPerPixel / 8};
}

Status PixelBuffer::allocate(int32_t width, int32_t height, int32_t bitsPerPixel) {
    release();
    const bool depthOk =
        bitsPerPixel == 1 || bitsPerPixel == 8 || bitsPerPixel == 24 || bitsPerPixel == 32;
    if (width <= 0 || height <= 0 || !depthOk) return outOfMemory();
    const std::size_t row = rowBytesFor(width, bitsPerPixel);
    if (std::size_t(height) > SIZE_MAX / row) return outOfMemory();
    const std::size_t size = row * std::size_t(height);
    m_pixels.reset(new (std::nothrow) uint8_t[size]);
    if (!m_pixels) return outOfMemory();
    m_byteSize = size;
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    return Status::success();
}

Status PixelBuffer::copyFrom(const PixelBuffer& other) {
    if (&other == this) return Status::success();
    if (other.empty()) {
        release();
    } else {
        if (Status s = allocate(other.m_width, other.m_height, other.m_bitsPerPixel); !s.ok())
            return s;
        std::memcpy(m_pixels.get(), other.m_pixels.get(), other.m_byteSize);
    }
    paletteSize = other.paletteSize;
    palette = other.palette;
    return Status::success();
}

void PixelBuffer::takeFrom(PixelBuffer& other) {
    if (&other == this) return;
    m_pixels = std::move(other.m_pixels);
    m_byteSize = other.m_byteSize;
    m_width = other.m_width;
    m_height = other.m_height;
    m_bitsPerPixel = other.m_bitsPerPixel;
    paletteSize = other.paletteSize;
    palette = other.palette;
    other.release();
}

void PixelBuffer::release() {
    m_pixels.reset();
    m_byteSize = 0;
    m_width = m_height = 0;
    m_bitsPerPixel = 0;
    paletteSize = 0;
}

Status PixelBuffer::toTrueColour() {
    if (empty()) return Status::failure(StatusCode::NoReader, "Unsupported pixel depth.");
    if (m_bitsPerPixel == 24) return Status::success();
    if (m_bitsPerPixel != 1 && m_bitsPerPixel != 8)
        return Status::failure(StatusCode::NoReader, "Unsupported pixel depth.");
    PixelBuffer rgb;
    if (Status s = rgb.allocate(m_width, m_height, 24); !s.ok()) return s;
    const std::size_t inRow = rowBytes();
    for (int32_t y = 0; y < m_height; ++y) {
        const uint8_t* in = data() + std::size_t(y) * inRow;
        uint8_t* out = rgb.data() + std::size_t(y) * std::size_t(m_width) * 3;
        for (int32_t x = 0; x < m_width; ++x, out += 3) {
            const unsigned index = m_bitsPerPixel == 8 ? in[x] : (in[x >> 3] >> (7 - (x & 7))) & 1u;
            const PaletteEntry& e = palette[index];
            out[0] = e.red;
            out[1] = e.green;
            out[2] = e.blue;
        }
    }
    m_pixels = std::move(rgb.m_pixels);
    m_byteSize = rgb.m_byteSize;
    m_bitsPerPixel = 24;
    paletteSize = 0;
    return Status::success();
}

} // namespace velanox::core
