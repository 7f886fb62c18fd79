#include "codec/picture.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velanox {

std::size_t Picture::rowBytesFor(int32_t width, int32_t bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0) return 0;
    if (bitsPerPixel == 1) return (std::size_t(width) + 7) / 8;
    return std::size_t(width) * std::size_t(bitsPerPixel / 8);
}

int Picture::allocate(int32_t newWidth, int32_t newHeight, int32_t newBitsPerPixel) {
    release();
    const bool depthOk = newBitsPerPixel == 1 || newBitsPerPixel == 8 || newBitsPerPixel == 24 ||
                         newBitsPerPixel == 32;
    if (newWidth <= 0 || newHeight <= 0 || !depthOk) return kPictureOutOfMemory;
    const std::size_t row = rowBytesFor(newWidth, newBitsPerPixel);
    if (std::size_t(newHeight) > SIZE_MAX / row) return kPictureOutOfMemory;
    const std::size_t size = row * std::size_t(newHeight);
    pixels_.reset(new (std::nothrow) uint8_t[size]);
    if (!pixels_) return kPictureOutOfMemory;
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
        std::memcpy(pixels_.get(), other.pixels_.get(), other.pixelBytes_);
    }
    paletteSize = other.paletteSize;
    palette = other.palette;
    xResolution = other.xResolution;
    yResolution = other.yResolution;
    resolutionUnit = other.resolutionUnit;
    format = other.format;
    filePath = other.filePath;
    tiffPage = other.tiffPage;
    return kPictureOk;
}

void Picture::takeFrom(Picture& other) {
    if (&other == this) return;
    pixels_ = std::move(other.pixels_);
    pixelBytes_ = other.pixelBytes_;
    width = other.width;
    height = other.height;
    bitsPerPixel = other.bitsPerPixel;
    paletteSize = other.paletteSize;
    palette = other.palette;
    format = other.format;
    xResolution = other.xResolution;
    yResolution = other.yResolution;
    resolutionUnit = other.resolutionUnit;
    other.release();
}

void Picture::release() {
    pixels_.reset();
    pixelBytes_ = 0;
    width = height = 0;
    bitsPerPixel = 0;
    paletteSize = 0;
}

} // namespace velanox
