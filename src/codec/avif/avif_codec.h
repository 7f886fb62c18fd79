// AVIF through libavif: 8-, 10- and 12-bit pictures with their alpha, rotation and mirroring
// (irot, imir), ICC profile or nclx colour description, and EXIF; written at the JPEG quality.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// An ISO base media file whose brands name AVIF ("avif" or "avis").
bool probeAvif(ByteSpan bytes);

/// Reads 24-bit RGB (kFormatAvif): deeper pictures reduced to 8 bits with rounding,
/// transparency put over white, the first frame of a sequence, turned as the container's irot
/// and imir say (the EXIF orientation is not applied again). iccProfile is the file's profile,
/// or one made from its nclx description (none for sRGB). Fills exifBlock, exif and orientation.
/// The size is checked against the limits before decoding, and libavif's own limits are set
/// from them.
Status readAvif(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// Writes a 24-bit picture: quantizer from kQuality (100 is the finest), 4:4:4 when
/// kJpegFullChroma is 1, else 4:2:0; the profile as ICC (else nclx sRGB), the EXIF as an Exif
/// item, the pixels turned by the inverse of the EXIF orientation with irot/imir to match.
Status writeAvif(const Picture& picture, std::vector<uint8_t>& out);

/// The irot angle (counter-clockwise quarter turns, 0..3) and imir mode (-1 none, 0 top and
/// bottom exchanged, 1 left and right) that show stored pixels as the EXIF orientation does:
/// the rotation applied first, then the mirror.
struct AvifTransform {
    int angle = 0;
    int mirror = -1;
};
AvifTransform avifTransformFor(int exifOrientation);

} // namespace velanox::codec
