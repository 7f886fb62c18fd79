// Picture: one image the program holds (the source, the result, the crop display, a reference,
// a thumbnail) with the metadata of the file it came from and the options its writer uses.
#pragma once

#include "codec/write_options.h"
#include "core/status.h"
#include "image/pixel_buffer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velanox::codec {

struct MemoryBudget;

/// Format ids, as stored in FileInfo::format and used by the writer table.
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
    kFormatHeif = 22, ///< HEIC/HEIF (read only)
    kFormatAvif = 23,
    kFormatWebp = 24,
    kFormatJxl = 25, ///< JPEG XL
};

// A picture's palette entries are its pixel buffer's.
using image::PaletteEntry;

/// What the EXIF data of a file says, read from the raw tag values (rationals as a / b, ignored
/// when b <= 0). Filled by the JPEG reader; shown by the File Properties pane.
struct ExifSummary {
    bool present = false;        ///< the EXIF data could be parsed
    std::string make, model;     ///< tags 271, 272
    std::string dateTime;        ///< 36867 DateTimeOriginal, else 306 DateTime
    int32_t orientation = 0;     ///< 274; 0 when the tag is missing
    double exposureBias = 0;     ///< 37380, EV
    double exposureTime = 0;     ///< 33434, seconds; 0 when missing
    double shutterSpeed = 0;     ///< 37377 as a nominal exposure in seconds; 0 when missing
    double aperture = 0;         ///< 37378 as an f-number; 0 when missing
    double fNumber = 0;          ///< 33437; 0 when missing
    std::string exposureProgram; ///< 34850 by name ("program normal", ...); empty when missing
    std::string meteringMode;    ///< 37383 by name ("average", ...); empty when missing
    int32_t lightSource = 0;     ///< 37384
    int32_t flashFired = 0;      ///< 37385: 1 for odd values, 0 for even
    int32_t iso = 0;             ///< 34855; 0 when missing
    double subjectDistance = 0;  ///< 37382, metres
    std::string userComment;     ///< 37510, only when its character code is ASCII
    int32_t colorSpace = 0;      ///< 40961
};

/// What the file a picture came from says besides its pixels: the format it was read as, where
/// from, its resolution, its EXIF data, the size it had in the file and its colour profile. A
/// picture read from memory or pasted has the defaults.
struct FileInfo {
    uint32_t format = kFormatAuto;
    std::string filePath;
    uint32_t tiffPage = 0;
    uint32_t xResolution = 0, yResolution = 0; ///< read from the file (300, 300 when none)
    uint32_t resolutionUnit = 0;               ///< 1 none, 2 per inch, 3 per centimetre
    /// The whole APP1 segment with its marker and length bytes; empty when the file has none.
    std::vector<uint8_t> exifBlock;
    ExifSummary exif;
    int32_t fileWidth = 0, fileHeight = 0; ///< before reduction, after orientation
    int32_t orientation = 1;               ///< EXIF orientation 1..8
    /// The ICC profile the pixel values are in, whole as the file stored it; written into every
    /// output that can hold one. Empty means sRGB: files without a profile, decoded camera raws
    /// and CMYK files converted on reading. Only RGB profiles are kept.
    std::vector<uint8_t> iccProfile;

    uint32_t exifLength() const { return uint32_t(exifBlock.size()); }
};

/// One image the program holds, in three parts: its pixels (the image::PixelBuffer it is: size,
/// depth, palette and the bytes), what its file said (info), and how a writer is to write it
/// (writeOptions, keyed by the writers in codec/write_options.h).
class Picture : public image::PixelBuffer {
public:
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // ---- the file ------------------------------------------------------------------------
    FileInfo info;

    // ---- how to write it -----------------------------------------------------------------
    WriteOptions writeOptions;

    // ---- reading limits ------------------------------------------------------------------
    int32_t previewMaxWidth = 0, previewMaxHeight = 0; ///< both > 0: JPEG decoded reduced

    /// Deep copy of the pixels, size, depth and palette, and of the file's format, path, page
    /// and resolution; EXIF, orientation and write options keep their values. OutOfMemory
    /// leaves no pixels and the file information as it was.
    core::Status copyFrom(const Picture& other);

    /// copyFrom without the pixels: the same size, depth and description, the pixels unset (for
    /// a picture about to be written whole). An empty other empties this picture.
    core::Status copyLayoutFrom(const Picture& other);

    /// Moves other's pixels here with size, depth, palette, format and the resolution read;
    /// other keeps no pixels.
    void takeFrom(Picture& other);

    /// Moves pixels (size, depth, palette) in as this picture's, which stays the same file's
    /// picture: its file information and write options keep their values. pixels keeps none.
    void replacePixels(image::PixelBuffer& pixels) { image::PixelBuffer::takeFrom(pixels); }

    /// Asks for JPEG files to be decoded at a reduced size (1/2, 1/4 or 1/8) when both limits
    /// are > 0 and small enough; info.fileWidth and info.fileHeight still give the full
    /// size.
    void setPreviewLimit(int32_t maxWidth, int32_t maxHeight) {
        previewMaxWidth = maxWidth;
        previewMaxHeight = maxHeight;
    }

    // ---- in-memory operations ------------------------------------------------------------
    /// Turns an 8-bit or 1-bit picture into 24-bit in place through the palette (24-bit is left
    /// as it is). OutOfMemory, or NoReader when there are no pixels or the depth is not 1, 8
    /// or 24.
    core::Status toTrueColor();

    /// Applies the EXIF orientation transform 2..8 to a 24-bit or 8-bit picture (1 and other
    /// values leave it unchanged); for 5..8 width and height are exchanged. OutOfMemory (the
    /// picture is unchanged) or NoReader (other depths).
    core::Status applyOrientation(int32_t orientationValue);

    /// Resamples a 24-bit picture to newWidth x newHeight in place: area averaging along an
    /// axis that shrinks, Lanczos-3 along an axis that grows. OutOfMemory (unchanged) or
    /// NoReader (not 24-bit or a size <= 0).
    core::Status resample(int32_t newWidth, int32_t newHeight);

    // ---- files ---------------------------------------------------------------------------
    /// Reads a file. format kFormatAuto (21) tries the camera raw decoder first and then
    /// detects the format from the content (the extension only when the content is not
    /// recognised). The old pixels are released first, whatever the outcome. EmptyPath,
    /// NoReader when no reader knows the file, or a reader's failure, each with its reason (and
    /// the reader's own words in detail). Every picture read ends as 24-bit; the resolution read
    /// becomes the one to save with.
    core::Status load(const std::string& path, uint32_t formatId = kFormatAuto, uint32_t page = 0);
    /// load, refusing (TooLarge, before any pixel is decoded) a picture whose whole run would
    /// not fit in the budget.
    core::Status load(const std::string& path, const MemoryBudget& budget);

    /// Writes the picture. format kFormatAuto takes the format from the extension. The file is
    /// written beside the target under a temporary name and renamed over it only when
    /// complete, keeping the permission bits of a file it replaces; a failure leaves an
    /// existing file untouched. NoReader (no pixels, or no writer for the format; nothing is
    /// created), EmptyPath, or a writer's failure, each with its reason.
    core::Status save(const std::string& path, uint32_t formatId = kFormatAuto) const;

    /// Format id from the file name's extension (case-insensitive); kFormatAuto when unknown.
    static uint32_t formatFromExtension(const std::string& path);

    /// Format id from the file's content, refined by depth; the extension decides only when
    /// the content is not recognised. kFormatAuto when the file cannot be read or is unknown.
    static uint32_t detectFormat(const std::string& path);

private:
    /// What of another picture's file information copyFrom and takeFrom carry: the format id
    /// and the resolution read, and with the source also the path and page it was read from.
    enum class Description { FormatAndResolution, WithSource };
    void copyDescriptionFrom(const FileInfo& other, Description part);
};

} // namespace velanox::codec
