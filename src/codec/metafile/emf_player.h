// Plays the records of an Enhanced Metafile into a cairo context: the picture is drawn the way
// the graphics device interface would draw it on the reference device, then mapped to pixels.
#pragma once

#include "codec/codec.h"
#include "codec/metafile/byte_reader.h"

#include <cairo.h>

#include <cstdint>

namespace velanox::codec::metafile {

struct EmfPlayback {
    /// Reference-device pixels to output pixels.
    cairo_matrix_t deviceToOutput;
    /// Reference-device pixels per millimetre (for the metric and English mapping modes).
    double devicePixelsPerMmX = 96 / 25.4, devicePixelsPerMmY = 96 / 25.4;
    /// Size of the object table the header announces.
    uint32_t handleCount = 1;
    /// Largest embedded bitmap decoded, in pixels.
    int64_t maxBitmapPixels = int64_t(64) * 1024 * 1024;
};

/// Plays every record of file (whose record chain the caller has checked) into cr, which
/// draws on the output surface. Records that are unknown, or whose contents do not fit their
/// length, are skipped. Returns an error only when cairo itself fails (out of memory).
Status playEmf(const ByteReader& file, cairo_t* cr, const EmfPlayback& playback);

} // namespace velanox::codec::metafile
