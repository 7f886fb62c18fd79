// The colour boost: each channel moves away from the mean of the other two.
#pragma once

#include "color/pixel_block.h"

#include <cstdint>

namespace velanox {

/// Boosts bytes 0..2 of every pixel by strength a (0..100 from the pane): each new channel is
/// (510 c - a (sum of the other two)) / (2 (255 - a)), integer division truncating toward zero,
/// then limited to 0..255. Grey pixels stay as they are. Rows packed; bytesPerPixel 3 or 4.
/// Nothing happens for a strength of 0 or less or of 255 or more, or for a null buffer.
void boostColours(uint8_t* pixels, int width, int height, int32_t strength, int bytesPerPixel);

/// The same over a block with any row stride (the byte order does not matter: the boost treats
/// the three channels alike).
void boostColours(const PixelBlock& block, int32_t strength);

namespace color {
/// One row of the boost, for callers that fuse it with other per-row work.
void boostRow(uint8_t* row, int width, int bytesPerPixel, int32_t strength);
} // namespace color

} // namespace velanox
