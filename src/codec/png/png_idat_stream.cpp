#include "codec/png/png_idat_stream.h"

#include "codec/png/png_row_filter.h"
#include "engine/threads.h"

#include <algorithm>
#include <libdeflate.h>
#include <new>
#include <zlib.h>

namespace velanox::codec::png {
namespace {

// Deflate is zlib's (the program's PNG files stay as they were, byte for byte); the Adler-32
// checksums come from libdeflate, which computes the same values several times faster.

// Rows are filtered into a buffer of about this size and handed to zlib together, so each
// deflate call sees a sizeable input while the buffer stays in the cache.
constexpr std::size_t kBatchBytes = std::size_t(64) << 10;

// The start of a zlib stream: deflate with a 32 KiB window, fastest compression.
constexpr uint8_t kZlibHeader[2] = {0x78, 0x01};

struct Band {
    StreamPiece bytes; // deflate data (band 0 starts with the zlib header)
    uLong adler = 1;   // Adler-32 of the band's filtered bytes alone
    std::size_t filteredBytes = 0;
    bool ok = false;
};

// Appends whatever deflate makes of the input to band.bytes, growing it as needed (the room
// reserved for a band is normally enough for all of it).
bool deflateInto(z_stream& z, Band& band, int flush) {
    for (;;) {
        if (band.bytes.room() == 0 && !band.bytes.reserve(band.bytes.size() * 2 + 4096))
            return false;
        const std::size_t room = std::min<std::size_t>(band.bytes.room(), 1u << 30);
        z.next_out = band.bytes.end();
        z.avail_out = uInt(room);
        const int result = deflate(&z, flush);
        band.bytes.grow(room - z.avail_out);
        if (result == Z_STREAM_ERROR) return false;
        // Done once deflate left output space unused with all the input taken (for Z_FINISH:
        // once the stream ended).
        if (flush == Z_FINISH ? result == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0)
            return true;
    }
}

void compressBand(const Picture& picture, int32_t firstRow, int32_t endRow, bool last,
                  const std::vector<uint8_t>& zeroRow, Band& band) {
    const std::size_t rowBytes = picture.rowBytes();
    const std::size_t filteredRow = rowBytes + 1;
    const std::size_t batchRows = std::max<std::size_t>(1, kBatchBytes / filteredRow);
    z_stream z{};
    // Level 1 only keeps deflate from storing the data raw; with Z_RLE the level picks nothing
    // else. memLevel 9 lets each Huffman block cover twice the symbols of the default.
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 9, Z_RLE) != Z_OK) return;
    bool ok = true;
    try {
        std::vector<uint8_t> batch(batchRows * filteredRow);
        const std::size_t bandRows = std::size_t(endRow - firstRow);
        // deflate's own bound for the band, with room for the header, the flush and the
        // checksum: noisy rows barely compress.
        ok = band.bytes.reserve(deflateBound(&z, uLong(bandRows * filteredRow)) + 64);
        if (ok && firstRow == 0) {
            std::copy(kZlibHeader, kZlibHeader + 2, band.bytes.end());
            band.bytes.grow(2);
        }
        for (int32_t y = firstRow; ok && y < endRow;) {
            const int32_t end = int32_t(std::min<std::size_t>(std::size_t(endRow), y + batchRows));
            uint8_t* out = batch.data();
            for (; y < end; ++y, out += filteredRow) {
                const uint8_t* row = picture.pixels() + std::size_t(y) * rowBytes;
                const uint8_t* prior = y > 0 ? row - rowBytes : zeroRow.data();
                filterRgbRow(row, prior, rowBytes, out);
            }
            const std::size_t length = std::size_t(out - batch.data());
            band.adler = libdeflate_adler32(uint32_t(band.adler), batch.data(), length);
            band.filteredBytes += length;
            z.next_in = batch.data();
            z.avail_in = uInt(length);
            ok = deflateInto(z, band, Z_NO_FLUSH);
        }
        // A sync flush ends the band on a byte boundary with no final block, so the next band's
        // deflate data can follow it directly.
        if (ok) ok = deflateInto(z, band, last ? Z_FINISH : Z_SYNC_FLUSH);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    deflateEnd(&z);
    band.ok = ok;
}

} // namespace

bool StreamPiece::reserve(std::size_t bytes) {
    if (bytes <= m_capacity) return true;
    std::unique_ptr<uint8_t[]> larger(new (std::nothrow) uint8_t[bytes]);
    if (!larger) return false;
    if (m_size != 0) std::copy(m_bytes.get(), m_bytes.get() + m_size, larger.get());
    m_bytes = std::move(larger);
    m_capacity = bytes;
    return true;
}

bool compressRgbRows(const Picture& picture, std::vector<StreamPiece>& pieces,
                     std::size_t bandBytes) {
    pieces.clear();
    if (!picture.hasPixels() || picture.bitsPerPixel != 24) return false;
    const std::size_t filteredRow = picture.rowBytes() + 1;
    const std::size_t bandRows =
        std::max<std::size_t>(1, (bandBytes + filteredRow - 1) / filteredRow);
    const int32_t height = picture.height;
    const int32_t bandCount = int32_t((std::size_t(height) + bandRows - 1) / bandRows);
    try {
        std::vector<uint8_t> zeroRow(picture.rowBytes(), 0);
        std::vector<Band> bands(static_cast<std::size_t>(bandCount));
        engine::parallelFor(bandCount, 1, engine::maxThreads(), [&](int64_t b0, int64_t b1, int) {
            for (int64_t b = b0; b < b1; ++b) {
                const int32_t first = int32_t(std::size_t(b) * bandRows);
                const int32_t end =
                    int32_t(std::min<std::size_t>(std::size_t(height), first + bandRows));
                compressBand(picture, first, end, b == bandCount - 1, zeroRow,
                             bands[std::size_t(b)]);
            }
        });
        uLong adler = 1;
        for (const Band& band : bands) {
            if (!band.ok) return false;
            adler = adler32_combine(adler, band.adler, z_off_t(band.filteredBytes));
        }
        StreamPiece& tail = bands.back().bytes;
        if (!tail.reserve(tail.size() + 4)) return false;
        for (int shift = 24; shift >= 0; shift -= 8) {
            *tail.end() = uint8_t(adler >> shift);
            tail.grow(1);
        }
        pieces.reserve(bands.size());
        for (Band& band : bands)
            pieces.push_back(std::move(band.bytes));
    } catch (const std::bad_alloc&) {
        pieces.clear();
        return false;
    }
    return true;
}

} // namespace velanox::codec::png
