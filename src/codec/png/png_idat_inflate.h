// The pixel data of a PNG file taken straight from its IDAT chunks and inflated by libdeflate,
// several times faster than libpng's zlib, for the files that hold nothing unusual; any other
// file is left to libpng, whose messages and repairs then apply as before.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>

namespace velanox::codec::png {

/// Inflates the zlib stream of the IDAT chunks that start at `firstIdat` (the offset of the
/// first one's length field) into exactly outBytes bytes at out: the filtered rows. True only
/// when every chunk from there to IEND is whole with a correct CRC, the IDAT chunks follow one
/// another, only ancillary chunks lie between the last IDAT and an empty IEND, and the stream
/// inflates with a correct checksum to exactly outBytes bytes with no data left over. Otherwise
/// false (the file may still be readable, by libpng), with out unspecified.
bool inflateIdatChunks(ByteSpan file, std::size_t firstIdat, uint8_t* out, std::size_t outBytes);

} // namespace velanox::codec::png
