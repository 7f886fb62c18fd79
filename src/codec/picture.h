// Picture: one image the program holds (the source, the result, the crop display, a reference,
// a thumbnail) with the metadata of the file it came from and the options its writer uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velanox {

/// Format ids, as stored in Picture::format and used by the writer table.
enum PictureFormat : uint32_t {
    kFormatJpeg = 0,
    kFormatJpegGrey = 1,
    kFormatBmp = 2,
    kFormatBmp8 = 3,
    kFormatPcx = 4,
    kFormatPcx8 = 5,
    kFormatPng = 6,
    kFormatPng8 = 7,
    kFormatTiff = 8,
    kFormatTiff8 = 9,
    kFormatTarga = 10,
    kFormatTarga8 = 11,
    kFormatWmf = 12,
    kFormatEmf = 13,
    kFormatPsd = 14,
    kFormatPsd8 = 15,
    kFormatWbmp = 16,
    kFormatTiff1 = 17,
    kFormatPng1 = 18,
    kFormatBmp1 = 19,
    kFormatPhotoCd = 20,
    kFormatAuto = 21, ///< automatic on input (camera raw first); camera raw after a raw decode
};

/// Status codes of picture operations (codec layers add their own from 10 up).
enum PictureStatus : int {
    kPictureOk = 0,
    kPictureOutOfMemory = 1,
    kPictureEmptyPath = 2,
    kPictureNoReader = 5,
};

/// One palette entry in the platform's layout: blue, green, red and a fourth byte.
struct PaletteEntry {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

/// What the EXIF data of a file says, as the File Properties pane shows it.
struct ExifSummary {
    std::string make, model, dateTime, software, userComment;
    std::string exposureTime, fNumber, isoSpeed, focalLength, exposureProgram, meteringMode,
        flash, exposureBias;
    bool present = false;
};

class Picture {
public:
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // ---- file metadata -------------------------------------------------------------------
    uint32_t xResolution = 0, yResolution = 0; ///< read from the file (300, 300 when none)
    uint32_t resolutionUnit = 0;               ///< 1 none, 2 per inch, 3 per centimetre
    int32_t width = 0, height = 0;
    int32_t bitsPerPixel = 0;                  ///< 1, 8, 24 (32 for the crop display)
    int32_t paletteSize = 0;                   ///< entries used: 0, 2 or 256
    std::array<PaletteEntry, 256> palette{};
    uint32_t format = kFormatAuto;
    std::string filePath;
    uint32_t tiffPage = 0;

    // ---- writer options ------------------------------------------------------------------
    uint32_t wbmpThreshold = 128;
    uint8_t jpegProgressive = 0;
    uint32_t saveXResolution = 300, saveYResolution = 300, saveResolutionUnit = 1;
    uint32_t tiffCompression = 1;
    uint8_t bmpOptionFlag = 0;
    uint32_t jpegFullChroma = 1;
    uint32_t jpegQuality = 75;

    // ---- EXIF ----------------------------------------------------------------------------
    /// The whole APP1 segment with its marker and length bytes; empty when the file has none.
    std::vector<uint8_t> exifBlock;
    uint32_t exifLength() const { return uint32_t(exifBlock.size()); }
    ExifSummary exif;

    // ---- reading limits and what the file held -------------------------------------------
    int32_t previewMaxWidth = 0, previewMaxHeight = 0; ///< both > 0: JPEG decoded reduced
    int32_t fileWidth = 0, fileHeight = 0;             ///< before reduction, after orientation
    int32_t orientation = 1;                           ///< EXIF orientation 1..8

    // ---- pixels --------------------------------------------------------------------------
    /// Rows top to bottom without padding; 24-bit pixels red, green, blue; 8-bit palette
    /// indices; 1-bit rows packed (width + 7) / 8 bytes.
    uint8_t* pixels() { return pixels_.get(); }
    const uint8_t* pixels() const { return pixels_.get(); }
    bool hasPixels() const { return pixels_ != nullptr; }
    std::size_t rowBytes() const { return rowBytesFor(width, bitsPerPixel); }
    std::size_t pixelBytes() const { return pixelBytes_; }

    static std::size_t rowBytesFor(int32_t width, int32_t bitsPerPixel);

    /// Releases the old pixels and reserves room for width x height at the given depth.
    /// Returns kPictureOk, or kPictureOutOfMemory (no pixels) when the memory cannot be had or
    /// the size is not representable.
    int allocate(int32_t width, int32_t height, int32_t bitsPerPixel);

    /// Deep copy of the pixels, size, depth, palette, the resolution read, format, path and
    /// page; EXIF, orientation and writer options keep their values.
    int copyFrom(const Picture& other);

    /// Moves other's pixels here with size, depth, palette, format and the resolution read;
    /// other keeps no pixels.
    void takeFrom(Picture& other);

    /// Frees the pixels; width, height, depth and palette size become 0.
    void release();

    void setPreviewLimit(int32_t maxWidth, int32_t maxHeight) {
        previewMaxWidth = maxWidth;
        previewMaxHeight = maxHeight;
    }

private:
    std::unique_ptr<uint8_t[]> pixels_;
    std::size_t pixelBytes_ = 0;
};

} // namespace velanox
