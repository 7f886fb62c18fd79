// PNG row filtering for 3-byte pixels: each row gets the one of the five filters whose output
// looks cheapest to compress.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::codec::png {

/// Writes the filter type byte then the rowBytes filtered bytes of row to out (rowBytes + 1
/// bytes), and returns the type. prior is the unfiltered row above (all zeros for the first
/// row). The filter kept is the one whose output has the smallest sum of absolute values, the
/// bytes taken as signed; ties go to the lower type.
uint8_t filterRgbRow(const uint8_t* row, const uint8_t* prior, std::size_t rowBytes, uint8_t* out);

} // namespace velanox::codec::png
