// The image resources of a Photoshop file: the block after the header and the colour-mode data
// that holds the colour profile (resource 1039) among much else.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velanox::codec::magick {

/// The data of the image resource with the given id (the first one), or empty when the file
/// has none, is cut short or holds more than maxBytes in it. Every length is checked against
/// the file before it is used.
std::vector<uint8_t> psdImageResource(ByteSpan bytes, uint32_t id, std::size_t maxBytes);

/// The resource id of the ICC profile.
inline constexpr uint32_t kPsdIccProfileResource = 1039;

} // namespace velanox::codec::magick
