// The composite image of an indexed-colour Photoshop file (colour mode 2), which the
// ImageMagick 6 release this program is built with refuses to read.
#pragma once

#include "codec/codec.h"

namespace velanox::codec::magick {

/// Reads the merged image of an 8-bit indexed Photoshop file (version 1, raw or PackBits) into
/// 8-bit index pixels with the file's 256-entry palette. Every length is checked against the
/// file and the size against the limits before allocating.
Status readIndexedPsd(ByteSpan bytes, Picture& out, const Limits& limits);

} // namespace velanox::codec::magick
