// Undoing the PNG row filters when the pixel data is read without libpng: a pixel at a time with
// vector registers for 3- and 4-byte pixels, and a plain byte-at-a-time version beside it that
// the tests hold it to.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::codec::png {

/// Writes the rowBytes unfiltered bytes of a row filtered with `type` (0 none, 1 Sub, 2 Up,
/// 3 Average, 4 Paeth) to out. prior is the unfiltered row above (all zeros for the first
/// row), pixelBytes the bytes per whole pixel (1 to 8). False, with out unspecified, for a type
/// beyond 4. filtered and out may not overlap; prior and out may not either.
bool unfilterRow(uint8_t type, const uint8_t* filtered, const uint8_t* prior, std::size_t rowBytes,
                 int pixelBytes, uint8_t* out);

/// The same, one byte at a time, as the format defines it.
bool unfilterRowPlain(uint8_t type, const uint8_t* filtered, const uint8_t* prior,
                      std::size_t rowBytes, int pixelBytes, uint8_t* out);

} // namespace velanox::codec::png
