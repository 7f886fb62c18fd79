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

core::Status Picture::copyFrom(const Picture& other) {
    if (&other == this) return core::Status::success();
    if (core::Status s = copyLayoutFrom(other); !s.ok()) return s;
    if (other.hasPixels()) std::memcpy(pixels(), other.pixels(), other.pixelBytes());
    return core::Status::success();
}

core::Status Picture::copyLayoutFrom(const Picture& other) {
    if (&other == this) return core::Status::success();
    if (core::Status s = image::PixelBuffer::copyLayoutFrom(other); !s.ok()) return s;
    copyDescriptionFrom(other.info, Description::WithSource);
    return core::Status::success();
}

void Picture::takeFrom(Picture& other) {
    if (&other == this) return;
    image::PixelBuffer::takeFrom(other);
    copyDescriptionFrom(other.info, Description::FormatAndResolution);
}

void Picture::copyDescriptionFrom(const FileInfo& other, Description part) {
    info.format = other.format;
    info.xResolution = other.xResolution;
    info.yResolution = other.yResolution;
    info.resolutionUnit = other.resolutionUnit;
    if (part == Description::WithSource) {
        info.filePath = other.filePath;
        info.tiffPage = other.tiffPage;
    }
}

core::Status Picture::toTrueColor() {
    if (!hasPixels()) return noPixels();
    if (bitsPerPixel == 24) return core::Status::success();
    if (bitsPerPixel != 1 && bitsPerPixel != 8) return unsupportedDepth();
    image::PixelBuffer rgb;
    if (core::Status s = rgb.allocate(width, height, 24); !s.ok()) return s;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = row(y);
        uint8_t* out = rgb.row(y);
        for (int32_t x = 0; x < width; ++x, out += 3) {
            const unsigned index = bitsPerPixel == 8 ? in[x] : (in[x >> 3] >> (7 - (x & 7))) & 1u;
            const PaletteEntry& e = palette[index];
            out[0] = e.red;
            out[1] = e.green;
            out[2] = e.blue;
        }
    }
    replaceKeepingPalette(rgb);
    paletteSize = 0;
    return core::Status::success();
}

core::Status Picture::applyOrientation(int32_t orientationValue) {
    if (!hasPixels()) return noPixels();
    if (bitsPerPixel != 24 && bitsPerPixel != 8) return unsupportedDepth();
    if (orientationValue < 2 || orientationValue > 8) return core::Status::success();
    const bool swapsAxes = codec::orientationSwapsAxes(orientationValue);
    image::PixelBuffer turned;
    if (!turned.allocate(swapsAxes ? height : width, swapsAxes ? width : height, bitsPerPixel).ok())
        return outOfMemory();
    codec::orientPixels(pixels(), width, height, bitsPerPixel / 8, orientationValue,
                        turned.pixels());
    replaceKeepingPalette(turned);
    return core::Status::success();
}

core::Status Picture::resample(int32_t newWidth, int32_t newHeight) {
    if (!hasPixels()) return noPixels();
    if (bitsPerPixel != 24 || newWidth <= 0 || newHeight <= 0)
        return core::Status::failure(core::StatusCode::NoReader,
                                     "Only 24-bit pictures are resampled, to a size of 1 or more.");
    if (newWidth == width && newHeight == height) return core::Status::success();
    image::PixelBuffer scaled;
    if (core::Status s = scaled.allocate(newWidth, newHeight, 24); !s.ok()) return s;
    if (!codec::resampleRgb(pixels(), width, height, scaled.pixels(), newWidth, newHeight))
        return outOfMemory();
    replaceKeepingPalette(scaled);
    return core::Status::success();
}

} // namespace velanox::codec
