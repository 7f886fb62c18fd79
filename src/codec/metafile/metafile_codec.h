// Windows Metafiles (format 12) and Enhanced Metafiles (format 13): vector pictures rendered to
// 24-bit pixels, and pictures written back as metafiles holding one device-independent bitmap.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// Rendering size: the picture's own size at this many dots per inch ...
inline constexpr double kMetafileDpi = 96.0;
/// ... limited so that neither side exceeds kMetafileMaxSide nor falls below kMetafileMinSide
/// (the aspect ratio is kept unless both limits cannot be met at once).
inline constexpr int kMetafileMaxSide = 4096;
inline constexpr int kMetafileMinSide = 16;

/// True for a Windows Metafile, with or without the placeable (Aldus) header.
bool probeWmf(ByteSpan bytes);
/// Renders a Windows Metafile on white through ImageMagick's WMF coder (libwmf): 24-bit
/// pixels, format 12, 96 dots per inch.
Status readWmf(ByteSpan bytes, Picture& out, const ReadOptions& options);
/// Writes a placeable Windows Metafile holding the 24-bit picture as one StretchDIB record
/// (the picture's pixels at one unit per pixel, 96 units per inch).
Status writeWmf(const Picture& picture, std::vector<uint8_t>& out);

/// True for an Enhanced Metafile (header record with the " EMF" signature).
bool probeEmf(ByteSpan bytes);
/// Plays the records of an Enhanced Metafile into a cairo surface on white: 24-bit pixels,
/// format 13, 96 dots per inch. A damaged record structure is an error; unknown records are
/// skipped.
Status readEmf(ByteSpan bytes, Picture& out, const ReadOptions& options);
/// Writes an Enhanced Metafile holding the 24-bit picture as one StretchDIBits record.
Status writeEmf(const Picture& picture, std::vector<uint8_t>& out);

/// Frees the font caches that cairo and fontconfig keep for the rest of the process once text
/// has been drawn. Only for the very end of a program run under a leak checker: no metafile may
/// be read afterwards.
void releaseMetafileFontCaches();

namespace metafile {

/// Width and height in pixels for a picture of the given physical size in inches, following
/// the limits above; {0, 0} when the size is not positive or not finite.
struct RenderSize {
    int width = 0, height = 0;
};
RenderSize renderSizeForInches(double widthInches, double heightInches);

} // namespace metafile

} // namespace velanox::codec
