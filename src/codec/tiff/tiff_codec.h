// TIFF through libtiff, read from and written to memory: pages, resolution tags and units,
// every compression libtiff is built with, 1-bit, palette and greyscale pictures.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

bool probeTiff(ByteSpan bytes);

/// kFormatTiff1 at 1 bit per pixel, kFormatTiff8 at 2..8 bits per pixel, else kFormatTiff
/// (first page).
uint32_t classifyTiff(ByteSpan bytes);

/// Reads page options.page. Stripped bilevel pages arrive as 1-bit pictures with palette
/// entry 0 white and entry 1 black (kFormatTiff1); stripped grey or palette pages of 2..8 bits
/// as 8-bit indices with a 256-entry palette (kFormatTiff8); everything else through libtiff's
/// RGBA interface as 24-bit RGB (kFormatTiff). Resolution tags give xResolution, yResolution
/// and the unit (2 inch, 3 centimetre, else 1).
Status readTiff(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// Writes 24-bit RGB, 8-bit palette or 1-bit pictures with compression kTiffCompression (a
/// TIFF compression code libtiff is built with) and the save resolution as resolution tags.
Status writeTiff(const Picture& picture, std::vector<uint8_t>& out);

} // namespace velanox::codec
