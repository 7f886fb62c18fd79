// The reply of the contained reader (the velanox-nr-reader child process) to the program: the
// outcome of one load and, on success, everything the readers put in the Picture but its pixels,
// which travel as a memory file beside the reply. The program trusts nothing in a reply: every
// count, size and string is checked before it is used.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <vector>

namespace velanox::codec {

/// The most bytes a reply may have (an EXIF block is at most 64 KiB).
inline constexpr std::size_t kMaxReplyBytes = std::size_t(256) << 10;

/// The reply for status (a failure), or for a picture that was read (status ok): its size,
/// depth, palette, format, resolution, page, file size, orientation, EXIF data, the byte count
/// of its pixels and of its colour profile. The memory file holds the pixels, then the profile.
std::vector<uint8_t> encodeReply(const Status& status, const Picture* picture);

/// What a reply says. On a success, out receives the metadata (not the pixels, nor width,
/// height and depth, which come with them: Picture::adoptPixels), and the reply gives the size
/// and depth the memory file's pixels have; on the child's failure, status carries it.
/// decodeReply returns false (nothing trustworthy) for a reply that is damaged, inconsistent
/// or describes a picture beyond the limits.
struct DecodedReply {
    Status status;
    int32_t width = 0, height = 0, bitsPerPixel = 0;
    std::size_t pixelBytes = 0;
    std::size_t profileBytes = 0; ///< after the pixels in the memory file
};
bool decodeReply(ByteSpan bytes, const Limits& limits, DecodedReply& reply, Picture& out);

} // namespace velanox::codec
