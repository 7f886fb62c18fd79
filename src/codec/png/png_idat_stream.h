// The compressed pixel data of a 24-bit PNG, made in horizontal bands on several threads.
#pragma once

#include "codec/picture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velanox::codec::png {

/// About this many filtered bytes go into one band: enough for the band's own Huffman blocks
/// to cost nothing, small enough to share a 2-megapixel picture among the threads.
constexpr std::size_t kBandBytes = std::size_t(512) << 10;

/// The zlib stream of a 24-bit picture's rows, each filtered by filterRgbRow, as pieces whose
/// concatenation is the stream (header, deflate data, Adler-32 of the filtered bytes). Bands of
/// about bandBytes filtered bytes (at least one row) are deflated independently, in parallel,
/// with run-length matching only: noisy photographs have no longer repeats worth searching
/// for. The bytes depend on the picture and bandBytes only, never on the number of threads.
/// False when memory runs out (pieces then empty).
bool compressRgbRows(const Picture& picture, std::vector<std::vector<uint8_t>>& pieces,
                     std::size_t bandBytes = kBandBytes);

} // namespace velanox::codec::png
