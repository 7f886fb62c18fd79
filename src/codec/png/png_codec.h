// PNG through libpng: palette, 1-bit, grey and 16-bit files read; RGB, palette and 1-bit
// pictures written, marked as sRGB, with the resolution as pHYs both ways.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

bool probePng(ByteSpan bytes);

/// kFormatPng1 at 1 bit per pixel, kFormatPng8 for a palette of 8 bits or fewer, otherwise
/// kFormatPng.
uint32_t classifyPng(ByteSpan bytes);

/// 1-bit files (grey or palette) arrive as 1-bit pictures with a two-entry palette
/// (kFormatPng1), other palette files as 8-bit indices with the file's palette (kFormatPng8),
/// everything else as 24-bit RGB (kFormatPng): grey expanded, 16 bits scaled to 8, alpha
/// dropped. pHYs in pixels per metre gives per-centimetre values (divided by 100, unit 3);
/// with an unknown unit the values are an aspect ratio (unit 1).
/// 8-bit RGB and RGBA files without interlacing and with nothing unusual in their chunks have
/// their pixel data inflated by libdeflate and unfiltered here; all others go through libpng.
Status readPng(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// readPng, or with direct false every file through libpng alone (the tests compare the two).
Status readPngWith(ByteSpan bytes, Picture& out, const ReadOptions& options, bool direct);

/// 24-bit as RGB (rows filtered and compressed in bands on several threads; the bytes do not
/// depend on the number of threads), 8-bit as a palette of paletteSize (256 when 0) entries, 1-bit
/// as a two-entry palette; 8 bits per sample. The file is marked sRGB (sRGB chunk, gAMA 45455). The
/// save resolution goes into pHYs in pixels per metre (unit 1: aspect ratio only).
Status writePng(const Picture& picture, std::vector<uint8_t>& out);

} // namespace velanox::codec
