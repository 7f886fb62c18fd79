// What every format family of the codec layer offers: readers that take bytes in memory (a
// file read whole, or a fuzzer's buffer), writers that produce bytes, and a status with a reason.
// No exception crosses this boundary; library error handlers are wrapped inside each family.
#pragma once

#include "codec/picture.h"
#include "core/byte_span.h"
#include "core/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velanox::codec {

// The codec layer reports through the core's status and reads from its byte spans.
using core::ByteSpan;
using core::Status;
using core::StatusCode;

/// The memory a whole run over a picture will need, as the program that processes it reckons
/// it, and the budget it must fit in. The readers check it against the header's size before
/// allocating anything for the pixels, so a picture over the budget costs nothing to refuse.
struct MemoryBudget {
    uint64_t budgetBytes = 0;        ///< 0: no budget (previews, thumbnails, tests)
    uint64_t fixedBytes = 0;         ///< whatever the picture's size: program, encoder, rows
    uint32_t bytesPerPixel = 0;      ///< held for every pixel of the picture through the run
    int32_t blockWidth = 0;          ///< the largest block worked on at once
    int32_t blockHeight = 0;         ///< (a picture smaller than it is one block)
    uint32_t bytesPerBlockPixel = 0; ///< held for every pixel of that block

    /// Bytes a width x height picture needs; saturates instead of overflowing. Sides that are
    /// not positive need the fixed part only.
    uint64_t need(int64_t width, int64_t height) const;
};

/// "2.5 GB", "750 MB", "12 KB": a byte count for a person (units of 1024).
std::string formatBytes(uint64_t bytes);

/// Success when a width x height picture fits in the budget (or there is none); otherwise
/// StatusCode::TooLarge with a reason naming the size, the need and the budget.
Status checkBudget(int64_t width, int64_t height, const MemoryBudget& budget);

/// Size limits checked against a file's header before any pixel memory is allocated.
struct Limits {
    int32_t maxDimension = 65500;                       ///< widest or tallest side accepted
    int64_t maxPixels = int64_t(400) * 1000 * 1000;     ///< width x height accepted
    std::size_t maxProfileBytes = std::size_t(8) << 20; ///< larger colour profiles are dropped
    MemoryBudget budget;                                ///< the whole run's memory
};

struct ReadOptions {
    uint32_t page = 0;                                 ///< TIFF page
    int32_t previewMaxWidth = 0, previewMaxHeight = 0; ///< both > 0: JPEG decoded reduced
    Limits limits;
};

/// Checks a header's size against the limits; the reason names the size.
inline Status checkSize(int64_t width, int64_t height, const Limits& limits) {
    if (width <= 0 || height <= 0)
        return Status::failure(StatusCode::Corrupt, "The picture has no pixels (" +
                                                        std::to_string(width) + " x " +
                                                        std::to_string(height) + ").");
    if (width > limits.maxDimension || height > limits.maxDimension ||
        width * height > limits.maxPixels)
        return Status::failure(StatusCode::TooLarge, "Image too large: " + std::to_string(width) +
                                                         " x " + std::to_string(height));
    return checkBudget(width, height, limits.budget);
}

// Every family offers, in its own folder (codec/<family>/<family>_codec.h):
//   bool   probe<Family>(ByteSpan bytes);                       // content sniffing
//   Status read<Family>(ByteSpan bytes, Picture& out, const ReadOptions& options);
//   Status write<Family>(const Picture& picture, std::vector<uint8_t>& out);
// and, where the format id depends on the depth, optionally
//   uint32_t classify<Family>(ByteSpan bytes);                  // refined PictureFormat id
// A reader fills pixels, size, depth, palette and the format id of what it delivered (the
// refined id, such as kFormatPng8 for palette indices). It stores the file's resolution in the
// Picture's info (xResolution, yResolution; resolutionUnit 1 none, 2 per inch, 3 per
// centimetre), leaving all three 0 when the file carries none (the loader then puts 300 x 300,
// unit 1). The JPEG reader also fills exifBlock, exif, orientation, fileWidth and fileHeight.
// The path, the page and the conversion to 24 bits are left to the caller (Picture::load).
// A writer writes a 24-bit picture (and, where the format has them, 8-bit palette and 1-bit
// pictures), reads the Picture's writeOptions (keys in codec/write_options.h, the resolution
// through saveResolution) and refuses other depths with StatusCode::Unsupported.

} // namespace velanox::codec
