// ICC colour profiles as files carry them: the header checks that decide whether a picture keeps
// one, JPEG's APP2 chunks, the profiles made for the colour descriptions of AVIF and HEIF (nclx),
// and the conversion of CMYK pixels to sRGB through LittleCMS.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velanox::codec {

/// The colour spaces of profile data this program tells apart.
enum class IccSpace { Rgb, Cmyk, Grey, Other };

/// The data colour space of a profile whose header is well formed (at least 132 bytes, the
/// stated size equal to the bytes given, the 'acsp' signature); Other for anything else.
IccSpace iccSpace(ByteSpan profile);

/// Whether an RGB picture can carry the profile: well formed, RGB data, and not a device link,
/// abstract or named-colour profile.
bool isRgbProfile(ByteSpan profile);

/// The identifier that starts every APP2 payload of a JPEG profile chunk, with its NUL.
inline constexpr char kJpegIccTag[] = "ICC_PROFILE";
inline constexpr std::size_t kJpegIccHeader = sizeof kJpegIccTag + 2; ///< tag, NUL, index, count
/// Profile bytes in one APP2 segment: 65535 less the length field and the chunk header.
inline constexpr std::size_t kJpegIccChunkBytes = 65535 - 2 - kJpegIccHeader;

/// Whether an APP2 payload is a profile chunk (starts with "ICC_PROFILE\0" and its two counts).
bool isJpegIccChunk(ByteSpan app2);

/// Joins the profile chunks of a JPEG (APP2 payloads, in file order) by their sequence numbers.
/// Empty when there are none, or when they do not agree: a count of 0, differing counts, a
/// number missing, repeated or beyond the count, or more than maxBytes in all.
std::vector<uint8_t> joinJpegIccChunks(std::span<const ByteSpan> chunks, std::size_t maxBytes);

/// The APP2 payloads that carry a profile: chunks of at most kJpegIccChunkBytes, numbered from
/// 1. Empty for an empty profile or one that needs more than 255 chunks.
std::vector<std::vector<uint8_t>> splitJpegIccChunks(ByteSpan profile);

/// A profile for an nclx colour description (the code points of ITU-T H.273 for the primaries
/// and the transfer characteristics). Empty when the description is sRGB or as good as sRGB
/// (BT.709 or unspecified primaries with an sRGB, BT.709-type or unspecified transfer), and for
/// primaries it does not know (then the picture is taken as sRGB). PQ and HLG pictures are
/// mapped so that their reference white (203 cd/m² for PQ, 75 % signal for HLG) is the
/// profile's white; brighter values clip.
std::vector<uint8_t> profileFromNclx(int primaries, int transfer);

/// The conversion of CMYK pixels (4 bytes each, ink as stored: inverted when the file is
/// Adobe's) to sRGB (3 bytes each) through a CMYK profile, with the perceptual intent.
class CmykToSrgb {
public:
    /// Empty (false) when the profile is not a CMYK profile LittleCMS can use.
    CmykToSrgb(ByteSpan profile, bool inverted);
    explicit operator bool() const { return m_transform != nullptr; }
    void convert(const uint8_t* cmyk, std::size_t count, uint8_t* rgb) const;

private:
    std::shared_ptr<void> m_transform;
};

} // namespace velanox::codec
