// Files made to hurt a reader: headers that promise far more than the file holds, decompression
// bombs, and metafiles that ask for unbounded work. Made in code, so that no such file needs to
// be kept; the fuzz corpus keeps small ones as seeds.
#pragma once

#include <cstdint>
#include <vector>

namespace velanox::test {

/// A 26-byte Photoshop header claiming width x height RGB, empty sections, raw data (none).
std::vector<uint8_t> psdClaim(uint32_t width, uint32_t height, std::size_t fileBytes = 158);

/// A WBMP header claiming width x height, padded with 0xFF to fileBytes.
std::vector<uint8_t> wbmpClaim(uint32_t width, uint32_t height, std::size_t fileBytes = 110);

/// A run-length Targa claiming width x height 24-bit with dataPackets packets of 128 pixels.
std::vector<uint8_t> targaRleClaim(uint16_t width, uint16_t height, std::size_t dataPackets);

/// A grey 8-bit PNG of width x height whose IDAT holds the first rowsWithData rows (zeros),
/// compressed by zlib at its fastest.
std::vector<uint8_t> pngZeroRows(uint32_t width, uint32_t height, uint32_t rowsWithData);

/// An Enhanced Metafile (1000 x 1000 units) with one polygon of the given points.
std::vector<uint8_t> emfPolygon(uint32_t points);

/// An Enhanced Metafile with one poly-polygon record of triangles.
std::vector<uint8_t> emfPolyPolygonTriangles(uint32_t triangles);

/// An Enhanced Metafile with the given number of save-state records.
std::vector<uint8_t> emfSaveStates(uint32_t count);

/// A placeable Windows Metafile with the given number of rectangle records.
std::vector<uint8_t> wmfRectangles(uint32_t count);

/// A placeable Windows Metafile with the given number of save-state records.
std::vector<uint8_t> wmfSaveStates(uint32_t count);

} // namespace velanox::test
