// The compressed pixel data of a 24-bit PNG, made in horizontal bands on several threads.
#pragma once

#include "codec/picture.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velanox::codec::png {

/// About this many filtered bytes go into one band: enough for the band's own Huffman blocks
/// to cost nothing, small enough to share a 2-megapixel picture among the threads.
constexpr std::size_t kBandBytes = std::size_t(512) << 10;

/// A run of bytes of the stream in a block of its own; the block is not cleared before the
/// compressor writes it.
class StreamPiece {
public:
    const uint8_t* data() const { return m_bytes.get(); }
    std::size_t size() const { return m_size; }

    /// Room for `bytes` bytes at least, keeping those held; false when memory runs out.
    bool reserve(std::size_t bytes);
    /// Where the next bytes go and how many fit before reserve is needed again.
    uint8_t* end() { return m_bytes.get() + m_size; }
    std::size_t room() const { return m_capacity - m_size; }
    /// Counts `bytes` written at end() as held.
    void grow(std::size_t bytes) { m_size += bytes; }

private:
    std::unique_ptr<uint8_t[]> m_bytes;
    std::size_t m_size = 0, m_capacity = 0;
};

/// The zlib stream of a 24-bit picture's rows, each filtered by filterRgbRow, as pieces whose
/// concatenation is the stream (header, deflate data, Adler-32 of the filtered bytes). Bands of
/// about bandBytes filtered bytes (at least one row) are deflated independently, in parallel,
/// with run-length matching only: noisy photographs have no longer repeats worth searching
/// for. The bytes depend on the picture and bandBytes only, never on the number of threads.
/// False when memory runs out (pieces then empty).
bool compressRgbRows(const Picture& picture, std::vector<StreamPiece>& pieces,
                     std::size_t bandBytes = kBandBytes);

} // namespace velanox::codec::png
