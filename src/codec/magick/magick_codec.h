// Targa, PCX, Photoshop, WBMP and Kodak PhotoCD through ImageMagick (Magick++), read from
// memory. Readers refine the format id by the file's depth and colour mode and deliver 8-bit
// palette pictures for the palette variants; writers take 24-bit pictures.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

// Content probes, by the bytes a file starts with (Targa has no signature: its header fields
// must be consistent; WBMP: type 0 with a size that matches the file).
bool probeTarga(ByteSpan bytes);
bool probePcx(ByteSpan bytes);
bool probePsd(ByteSpan bytes);
bool probeWbmp(ByteSpan bytes);
bool probePhotoCd(ByteSpan bytes);

/// The format id of one of these files with its depth refinement: Targa 10, or 11 at 8 bits or
/// fewer; PCX 4, or 5 at 8 bits or fewer; Photoshop 14, or 15 in colour mode 0, 1, 2 or 8;
/// WBMP 16; PhotoCD 20. kFormatAuto when none of the probes knows the bytes.
uint32_t magickFormatId(ByteSpan bytes);

// Readers. Palette variants (11, 5, 15, 16) deliver 8-bit index pixels with the file's palette
// (256 entries; WBMP 2: black, white); the others 24-bit pixels. PhotoCD is read at its
// 768 x 512 base resolution. Resolution: 300 x 300 without unit.
Status readTarga(ByteSpan bytes, Picture& out, const ReadOptions& options);
Status readPcx(ByteSpan bytes, Picture& out, const ReadOptions& options);
Status readPsd(ByteSpan bytes, Picture& out, const ReadOptions& options);
Status readWbmp(ByteSpan bytes, Picture& out, const ReadOptions& options);
Status readPhotoCd(ByteSpan bytes, Picture& out, const ReadOptions& options);

// Writers of 24-bit files (8-bit and 1-bit pictures are expanded through their palette).
// PCX and Photoshop carry the save resolution (kSaveXResolution, kSaveYResolution) when the unit is
// inch or centimetre.
Status writeTarga(const Picture& picture, std::vector<uint8_t>& out);
Status writePcx(const Picture& picture, std::vector<uint8_t>& out);
Status writePsd(const Picture& picture, std::vector<uint8_t>& out);
/// Two levels: a pixel is white when its distance from black, sqrt((r² + g² + b²) / 3), is at
/// least kWbmpThreshold; bit 1 is white.
Status writeWbmp(const Picture& picture, std::vector<uint8_t>& out);

} // namespace velanox::codec
