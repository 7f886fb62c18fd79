// The bridge between Picture and ImageMagick shared by the formats it serves: reading from
// memory with the size checked first, palette extraction, 24-bit export, and writing a
// 24-bit picture to memory. Errors come back as a Status; no Magick++ exception leaves here.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec::magick {

struct ReadRequest {
    const char* magick = "";       ///< ImageMagick's name of the format ("TGA", "PCX", ...)
    uint32_t format = kFormatAuto; ///< id given to the picture
    /// 0: deliver 24-bit pixels. 2 or 256: deliver 8-bit index pixels with a palette of that
    /// many entries (the file's own when ImageMagick reports one, else black/white or greys);
    /// a picture that turns out to have more colours is delivered at 24 bits with the
    /// true-colour id of the format.
    int paletteEntries = 0;
    bool applyOrientation = false; ///< turn the picture upright by the origin the file records
    bool packOneBit = false;       ///< deliver 1-bit packed pixels (2-entry palette)
    /// The file declares real transparency: when ImageMagick reads an alpha channel that is not
    /// zero everywhere, the picture is put over white and delivered at 24 bits (true-colour id).
    bool compositeAlpha = false;
};

/// Reads bytes through ImageMagick: header first (size checked against the limits), then the
/// whole picture; fills pixels, depth, palette, format, fileWidth/fileHeight and the resolution
/// of formats without one (300 x 300, no unit).
Status readImage(ByteSpan bytes, const ReadRequest& request, Picture& out, const Limits& limits);

/// Records format, delivered size as the file's size, and 300 x 300 without unit.
void finishRead(Picture& out, uint32_t format);

struct WriteRequest {
    const char* magick = "";
    bool carriesResolution = false; ///< hand saveX/YResolution over when per inch or per cm
    int twoLevelThreshold = -1;     ///< >= 0: black and white by distance from black
    bool carriesProfile = false;    ///< the picture's colour profile goes into the file
};

/// Writes a picture (24-bit, or 8-bit and 1-bit expanded through the palette) into out.
Status writeImage(const Picture& picture, const WriteRequest& request, std::vector<uint8_t>& out);

} // namespace velanox::codec::magick
