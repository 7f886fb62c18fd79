#include "codec/picture.h"

#include "codec/orientation.h"
#include "codec/resample.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velanox {

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

int Picture::allocate(int32_t newWidth, int32_t newHeight, int32_t newBitsPerPixel) {
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
    pixelBytes_ = 0;
    const std::size_t size = pictureBytes(newWidth, newHeight, newBitsPerPixel);
    if (size == 0) {
        pixels_.reset();
        return kPictureOutOfMemory;
    }
    // A heap block of the same size is kept: the next picture of a batch, or the result made
    // again from the source, reuses memory whose pages are there already. (In the reader's
    // child every picture gets a memory file of its own.)
    if (!pixels_.reallocate(size)) return kPictureOutOfMemory;
    pixelBytes_ = size;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    return kPictureOk;
}

int Picture::adoptPixels(codec::PixelStorage storage, int32_t newWidth, int32_t newHeight,
                         int32_t newBitsPerPixel) {
    release();
    const std::size_t size = pictureBytes(newWidth, newHeight, newBitsPerPixel);
    if (size == 0 || !storage || storage.size() < size) return kPictureOutOfMemory;
    pixels_ = std::move(storage);
    pixelBytes_ = size;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    return kPictureOk;
}

int Picture::copyFrom(const Picture& other) {
    if (&other == this) return kPictureOk;
    if (!other.hasPixels()) {
        release();
    } else {
        if (int rc = allocate(other.width, other.height, other.bitsPerPixel); rc != kPictureOk)
            return rc;
        std::memcpy(pixels_.data(), other.pixels_.data(), other.pixelBytes_);
    }
    copyDescriptionFrom(other);
    filePath = other.filePath;
    tiffPage = other.tiffPage;
    return kPictureOk;
}

int Picture::copyLayoutFrom(const Picture& other) {
    if (&other == this) return kPictureOk;
    if (!other.hasPixels()) {
        release();
    } else if (int rc = allocate(other.width, other.height, other.bitsPerPixel); rc != kPictureOk) {
        return rc;
    }
    copyDescriptionFrom(other);
    filePath = other.filePath;
    tiffPage = other.tiffPage;
    return kPictureOk;
}

void Picture::copyDescriptionFrom(const Picture& other) {
    paletteSize = other.paletteSize;
    palette = other.palette;
    format = other.format;
    xResolution = other.xResolution;
    yResolution = other.yResolution;
    resolutionUnit = other.resolutionUnit;
}

void Picture::takeFrom(Picture& other) {
    if (&other == this) return;
    pixels_ = std::move(other.pixels_);
    pixelBytes_ = other.pixelBytes_;
    width = other.width;
    height = other.height;
    bitsPerPixel = other.bitsPerPixel;
    copyDescriptionFrom(other);
    other.release();
}

int Picture::toTrueColour() {
    if (!hasPixels()) return kPictureNoReader;
    if (bitsPerPixel == 24) return kPictureOk;
    if (bitsPerPixel != 1 && bitsPerPixel != 8) return kPictureNoReader;
    Picture rgb;
    if (int rc = rgb.allocate(width, height, 24); rc != kPictureOk) return rc;
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
    pixels_ = std::move(rgb.pixels_);
    pixelBytes_ = rgb.pixelBytes_;
    bitsPerPixel = 24;
    paletteSize = 0;
    return kPictureOk;
}

int Picture::applyOrientation(int32_t orientationValue) {
    if (!hasPixels() || (bitsPerPixel != 24 && bitsPerPixel != 8)) return kPictureNoReader;
    if (orientationValue < 2 || orientationValue > 8) return kPictureOk;
    codec::PixelStorage turned = codec::PixelStorage::allocate(pixelBytes_);
    if (!turned) return kPictureOutOfMemory;
    codec::orientPixels(pixels(), width, height, bitsPerPixel / 8, orientationValue, turned.data());
    pixels_ = std::move(turned);
    if (codec::orientationSwapsAxes(orientationValue)) std::swap(width, height);
    return kPictureOk;
}

int Picture::resample(int32_t newWidth, int32_t newHeight) {
    if (!hasPixels() || bitsPerPixel != 24 || newWidth <= 0 || newHeight <= 0)
        return kPictureNoReader;
    if (newWidth == width && newHeight == height) return kPictureOk;
    Picture scaled;
    if (int rc = scaled.allocate(newWidth, newHeight, 24); rc != kPictureOk) return rc;
    if (!codec::resampleRgb(pixels(), width, height, scaled.pixels(), newWidth, newHeight))
        return kPictureOutOfMemory;
    pixels_ = std::move(scaled.pixels_);
    pixelBytes_ = scaled.pixelBytes_;
    width = newWidth;
    height = newHeight;
    return kPictureOk;
}

void Picture::release() {
    pixels_.reset();
    pixelBytes_ = 0;
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
}

} // namespace velanox
