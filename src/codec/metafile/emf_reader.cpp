// Enhanced Metafiles: the header gives the picture's size, the records are played into cairo.
#include "codec/metafile/byte_reader.h"
#include "codec/metafile/drawing_work.h"
#include "codec/metafile/emf_player.h"
#include "codec/metafile/metafile_codec.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>

namespace velanox::codec {
namespace {

constexpr uint32_t kEmrHeader = 1, kEmrEof = 14;

Status corrupt(const std::string& why) {
    return Status::failure(StatusCode::Corrupt, "The Enhanced Metafile is damaged: " + why);
}

// Every record must have room for its type and size and end inside the file, and the list
// must reach the end-of-file record.
Status checkRecordChain(const metafile::ByteReader& file) {
    std::size_t offset = 0;
    for (uint64_t index = 0;; ++index) {
        if (!file.has(offset, 8)) return corrupt("the file ends before its last record.");
        const uint32_t type = file.u32(offset), size = file.u32(offset + 4);
        if (size < 8 || !file.has(offset, size))
            return corrupt("record " + std::to_string(index) + " (type " + std::to_string(type) +
                           ") at byte " + std::to_string(offset) + " claims " +
                           std::to_string(size) + " bytes, more than the file holds.");
        if (index == 0 && type != kEmrHeader) return corrupt("the first record is no header.");
        if (type == kEmrEof) return Status::success();
        offset += size;
    }
}

struct Rect {
    double left, top, right, bottom;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
};

} // namespace

Status readEmf(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    const metafile::ByteReader file(bytes.data, bytes.size);
    if (!probeEmf(bytes))
        return Status::failure(StatusCode::Corrupt, "The file is not an Enhanced Metafile.");
    const uint32_t headerSize = file.u32(4);
    if (headerSize < 88 || !file.has(0, headerSize))
        return corrupt("its header claims " + std::to_string(headerSize) + " bytes of " +
                       std::to_string(bytes.size) + ".");
    if (Status s = checkRecordChain(file); !s.ok()) return s;
    if (Status s = metafile::checkEmfWork(file); !s.ok()) return s;

    // The reference device: pixels and their physical size (micrometres when given).
    const double devW = file.i32(72), devH = file.i32(76);
    double mmW = file.i32(80), mmH = file.i32(84);
    // The micrometre sizes extend the header only when the description does not sit there.
    const uint32_t descriptionChars = file.u32(60), descriptionAt = file.u32(64);
    const bool hasMicrometres =
        headerSize >= 108 && (descriptionChars == 0 || descriptionAt >= 108);
    if (hasMicrometres && file.i32(100) > 0 && file.i32(104) > 0) {
        mmW = file.i32(100) / 1000.0;
        mmH = file.i32(104) / 1000.0;
    }
    metafile::EmfPlayback playback;
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
        playback.devicePixelsPerMmX = devW / mmW;
        playback.devicePixelsPerMmY = devH / mmH;
    }
    const double pxPerMmX = playback.devicePixelsPerMmX, pxPerMmY = playback.devicePixelsPerMmY;

    // The picture: the frame (hundredths of a millimetre), or else the bounds (device pixels,
    // inclusive), as a rectangle on the reference device.
    const Rect frame{double(file.i32(24)), double(file.i32(28)), double(file.i32(32)),
                     double(file.i32(36))};
    const Rect bounds{double(file.i32(8)), double(file.i32(12)), double(file.i32(16)) + 1,
                      double(file.i32(20)) + 1};
    Rect device{};
    if (frame.width() > 0 && frame.height() > 0)
        device = {frame.left / 100 * pxPerMmX, frame.top / 100 * pxPerMmY,
                  frame.right / 100 * pxPerMmX, frame.bottom / 100 * pxPerMmY};
    else if (bounds.width() > 1 && bounds.height() > 1)
        device = bounds;
    else
        return Status::failure(StatusCode::Corrupt, "The Enhanced Metafile has no picture size.");
    const metafile::RenderSize size = metafile::renderSizeForInches(
        device.width() / pxPerMmX / 25.4, device.height() / pxPerMmY / 25.4);
    if (size.width == 0)
        return Status::failure(StatusCode::Corrupt, "The Enhanced Metafile has no picture size.");
    if (Status s = checkSize(size.width, size.height, options.limits); !s.ok()) return s;

    const double sx = size.width / device.width(), sy = size.height / device.height();
    cairo_matrix_init(&playback.deviceToOutput, sx, 0, 0, sy, -device.left * sx, -device.top * sy);
    playback.handleCount = file.u16(56);
    playback.maxBitmapPixels = std::min<int64_t>(options.limits.maxPixels, int64_t(1) << 26);

    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
    }
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    Status played = metafile::playEmf(file, cr, playback);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    Picture picture;
    if (played.ok() && !picture.allocate(size.width, size.height, 24).ok())
        played = Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
    if (played.ok()) {
        const uint8_t* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        uint8_t* dst = picture.pixels();
        for (int y = 0; y < size.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(data + std::size_t(y) * stride);
            for (int x = 0; x < size.width; ++x) {
                *dst++ = uint8_t(row[x] >> 16);
                *dst++ = uint8_t(row[x] >> 8);
                *dst++ = uint8_t(row[x]);
            }
        }
        picture.info.format = kFormatEmf;
        picture.info.xResolution = picture.info.yResolution = uint32_t(kMetafileDpi);
        picture.info.resolutionUnit = 2;
        out.takeFrom(picture);
    }
    cairo_surface_destroy(surface);
    return played;
}

void releaseMetafileFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

} // namespace velanox::codec
