// Device-independent bitmaps as metafiles carry them: decoding into a cairo surface for the
// Enhanced Metafile player, and encoding a 24-bit picture for the metafile writers.
#pragma once

#include "codec/codec.h"

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace velanox::codec::metafile {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

/// Decodes a DIB (BITMAPINFOHEADER or BITMAPCOREHEADER, 1/4/8/16/24/32 bits, uncompressed or
/// bit fields) into an ARGB32 surface. header and bits are the record's bytes, already checked
/// to lie inside it. keepAlpha keeps the fourth byte of 32-bit pixels as alpha (for alpha
/// blending); otherwise the surface is opaque. Returns null for anything not decodable
/// (compressed, inconsistent sizes, more pixels than maxPixels).
SurfacePtr decodeDib(ByteSpan header, ByteSpan bits, bool keepAlpha, int64_t maxPixels);

/// A BITMAPINFOHEADER followed by bottom-up 24-bit rows (blue, green, red, padded to 4 bytes)
/// for a 24-bit picture; the resolution comes from its save resolution when that is per inch
/// or per centimetre.
std::vector<uint8_t> encodeDib24(const Picture& picture);

/// Size of the BITMAPINFOHEADER encodeDib24 writes.
inline constexpr std::size_t kDibHeaderSize = 40;

} // namespace velanox::codec::metafile
