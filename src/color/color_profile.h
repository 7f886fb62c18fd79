// Colour profile files (.cpf): the statistics of a reference image and its thumbnail, so that a
// later photograph can be matched to that reference without the image itself.
//
// Layout, little-endian, for the empty string field the writer produces:
//   0                 u32  tag 12321 (ignored when read)
//   4                 u8   string field, written empty (0); read in all its length forms
//   5                 i32  thumbnail width w (0..170)
//   9                 i32  thumbnail height h (0..100)
//   13                w*h*3 thumbnail, rows top to bottom, red, green, blue, no padding
//   13 + 3wh          256 x 3 doubles: red, green, blue cumulative entries k, for k = 0..255
//   13 + 3wh + 6144   i32  end mark -1 (ignored when read)
#pragma once

#include "color/color_statistics.h"
#include "core/byte_span.h"
#include "core/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velanox::color {

inline constexpr uint32_t kProfileTag = 12321;
inline constexpr int32_t kProfileEndMark = -1;
inline constexpr int32_t kProfileThumbnailMaxWidth = 170;
inline constexpr int32_t kProfileThumbnailMaxHeight = 100;
inline constexpr const char* kProfileExtension = ".cpf";
/// Larger files are refused before reading; a profile the program writes is at most 57 161
/// bytes, the rest leaves room for a long string field.
inline constexpr std::size_t kProfileMaxFileBytes = 16u << 20;

struct ColorProfile {
    int32_t thumbnailWidth = 0;
    int32_t thumbnailHeight = 0;
    std::vector<uint8_t> thumbnail; ///< thumbnailWidth x thumbnailHeight x 3, red first
    ColorStatistics statistics;
};

/// The bytes of a profile. The thumbnail must be within 170 x 100 and hold w * h * 3 bytes.
core::Status encodeProfile(const ColorProfile& profile, std::vector<uint8_t>& out);

/// Reads a profile from memory. The tag and the end mark are not checked (a file with either
/// wrong still loads); bytes after the end mark are ignored. Refuses, leaving out untouched, data
/// shorter than its layout requires and a thumbnail size outside 0..170 x 0..100.
core::Status decodeProfile(core::ByteSpan bytes, ColorProfile& out);

/// Writes the profile to path in one piece: the bytes go to a temporary file beside it that then
/// replaces path, so a failed write never leaves a damaged profile behind.
core::Status writeProfileFile(const std::string& path, const ColorProfile& profile);

/// Reads and decodes the file; out is untouched on failure.
core::Status readProfileFile(const std::string& path, ColorProfile& out);

} // namespace velanox::color
