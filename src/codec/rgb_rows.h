// Palette and 1-bit pictures spelled out as 24-bit rows, for the writers that take only those.
#pragma once

#include "codec/picture.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// The picture's pixels as 24-bit rows, red first (8-bit and 1-bit through the palette).
/// False for other depths or when the memory cannot be had.
bool toRgbRows(const Picture& picture, std::vector<uint8_t>& rgb);

} // namespace velanox::codec
