// HEIC and other HEIF pictures through libheif: the primary picture (not its thumbnails or other
// pictures), turned and cropped as the container says, with its alpha, ICC profile or nclx
// colour description, and EXIF. No writer.
#pragma once

#include "codec/codec.h"

namespace velanox::codec {

/// An ISO base media file whose brands name HEIF pictures ("heic", "heix", "heim", "heis",
/// "hevc", "hevx", "mif1", "msf1"). AVIF files carry "mif1" too: the AVIF probe runs first.
bool probeHeif(ByteSpan bytes);

/// Reads the primary picture as 24-bit RGB (kFormatHeif): deeper pictures reduced to 8 bits
/// with rounding, transparency put over white. libheif applies the container's rotation and
/// mirroring; the EXIF orientation, which describes the same turn, is kept for writing but not
/// applied again. Fills exifBlock, exif, orientation and iccProfile (the file's profile, or one
/// made from its nclx description, none for sRGB). libheif's size limit is set from ours and the
/// size is checked before decoding.
Status readHeif(ByteSpan bytes, Picture& out, const ReadOptions& options);

} // namespace velanox::codec
