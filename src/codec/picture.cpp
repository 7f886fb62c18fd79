#include "codec/picture.h"

#include "codec/orientation.h"
#include "codec/resample.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velanox::codec {
namespace {

core::Status outOfMemory() {
    return core::Status::failure(core::StatusCode::OutOfMemory, "Out of memory");
}

core::Status noPixels() {
    return core::Status::failure(core::StatusCode::NoReader, "There is no picture.");
}

core::Status unsupportedDepth() {
    return core::Status::failure(core::StatusCode::NoReader, "Unsupported pixel depth.");
}

} // namespace

std::size_t Picture::rowBytesFor(int32_t width, int32_t bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0) return 0;
    if (bitsPerPixel == 1) return (std::size_t(width) + 7) / 8;
    return std::size_t(width) * std::size_t(bitsPerPixel / 8);
}

namespace {

// The bytes of width x height at a depth Picture accepts; 0 when the size or depth is not one.
std::size_t pictureBytes(int32_t width, int32_t height, int32_t bitsPerPixel) {
    const bool depthOk =
        bitsPerPixel == 1 || bitsPerPixel == 8 || bitsPerPixel == 24 || bitsPerPixel == 32;
    if (width <= 0 || height <= 0 || !depthOk) return 0;
    const std::size_t row = Picture::rowBytesFor(width, bitsPerPixel);
    if (std::size_t(height) > SIZE_MAX / row) return 0;
    return row * std::size_t(height);
}

} // namespace

core::Status Picture::allocate(int32_t newWidth, int32_t newHeight, int32_t newBitsPerPixel) {
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
    m_pixelBytes = 0;
    const std::size_t size = pictureBytes(newWidth, newHeight, newBitsPerPixel);
    if (size == 0) {
        m_pixels.reset();
        return outOfMemory();
    }
    // A heap block of the same size is kept: the next picture of a batch, or the result made
    // again from the source, reuses memory whose pages are there already. (In the reader's
    // child every picture gets a memory file of its own.)
    if (!m_pixels.reallocate(size)) return outOfMemory();
    m_pixelBytes = size;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    return core::Status::success();
}

core::Status Picture::adoptPixels(PixelStorage storage, int32_t newWidth, int32_t newHeight,
                                  int32_t newBitsPerPixel) {
    release();
    const std::size_t size = pictureBytes(newWidth, newHeight, newBitsPerPixel);
    if (size == 0 || !storage || storage.size() < size) return outOfMemory();
    m_pixels = std::move(storage);
    m_pixelBytes = size;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    return core::Status::success();
}

core::Status Picture::copyFrom(const Picture& other) {
    if (&other == this) return core::Status::success();
    if (core::Status s = copyLayoutFrom(other); !s.ok()) return s;
    if (other.hasPixels()) std::memcpy(m_pixels.data(), other.m_pixels.data(), other.m_pixelBytes);
    return core::Status::success();
}

core::Status Picture::copyLayoutFrom(const Picture& other) {
    if (&other == this) return core::Status::success();
    if (!other.hasPixels()) {
        release();
    } else if (core::Status s = allocate(other.width, other.height, other.bitsPerPixel); !s.ok()) {
        return s;
    }
    copyDescriptionFrom(other);
    info.filePath = other.info.filePath;
    info.tiffPage = other.info.tiffPage;
    return core::Status::success();
}

void Picture::copyDescriptionFrom(const Picture& other) {
    paletteSize = other.paletteSize;
    palette = other.palette;
    info.format = other.info.format;
    info.xResolution = other.info.xResolution;
    info.yResolution = other.info.yResolution;
    info.resolutionUnit = other.info.resolutionUnit;
}

void Picture::takeFrom(Picture& other) {
    if (&other == this) return;
    m_pixels = std::move(other.m_pixels);
    m_pixelBytes = other.m_pixelBytes;
    width = other.width;
    height = other.height;
    bitsPerPixel = other.bitsPerPixel;
    copyDescriptionFrom(other);
    other.release();
}

core::Status Picture::toTrueColor() {
    if (!hasPixels()) return noPixels();
    if (bitsPerPixel == 24) return core::Status::success();
    if (bitsPerPixel != 1 && bitsPerPixel != 8) return unsupportedDepth();
    Picture rgb;
    if (core::Status s = rgb.allocate(width, height, 24); !s.ok()) return s;
    const std::size_t inRow = rowBytes();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = pixels() + std::size_t(y) * inRow;
        uint8_t* out = rgb.pixels() + std::size_t(y) * std::size_t(width) * 3;
        for (int32_t x = 0; x < width; ++x, out += 3) {
            const unsigned index = bitsPerPixel == 8 ? in[x] : (in[x >> 3] >> (7 - (x & 7))) & 1u;
            const PaletteEntry& e = palette[index];
            out[0] = e.red;
            out[1] = e.green;
            out[2] = e.blue;
        }
    }
    m_pixels = std::move(rgb.m_pixels);
    m_pixelBytes = rgb.m_pixelBytes;
    bitsPerPixel = 24;
    paletteSize = 0;
    return core::Status::success();
}

core::Status Picture::applyOrientation(int32_t orientationValue) {
    if (!hasPixels()) return noPixels();
    if (bitsPerPixel != 24 && bitsPerPixel != 8) return unsupportedDepth();
    if (orientationValue < 2 || orientationValue > 8) return core::Status::success();
    PixelStorage turned = PixelStorage::allocate(m_pixelBytes);
    if (!turned) return outOfMemory();
    codec::orientPixels(pixels(), width, height, bitsPerPixel / 8, orientationValue, turned.data());
    m_pixels = std::move(turned);
    if (codec::orientationSwapsAxes(orientationValue)) std::swap(width, height);
    return core::Status::success();
}

core::Status Picture::resample(int32_t newWidth, int32_t newHeight) {
    if (!hasPixels()) return noPixels();
    if (bitsPerPixel != 24 || newWidth <= 0 || newHeight <= 0)
        return core::Status::failure(core::StatusCode::NoReader,
                                     "Only 24-bit pictures are resampled, to a size of 1 or more.");
    if (newWidth == width && newHeight == height) return core::Status::success();
    Picture scaled;
    if (core::Status s = scaled.allocate(newWidth, newHeight, 24); !s.ok()) return s;
    if (!codec::resampleRgb(pixels(), width, height, scaled.pixels(), newWidth, newHeight))
        return outOfMemory();
    m_pixels = std::move(scaled.m_pixels);
    m_pixelBytes = scaled.m_pixelBytes;
    width = newWidth;
    height = newHeight;
    return core::Status::success();
}

void Picture::release() {
    m_pixels.reset();
    m_pixelBytes = 0;
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
}

} // namespace velanox::codec
