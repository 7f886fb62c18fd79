#include "codec/png/png_idat_inflate.h"

#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <new>
#include <vector>

namespace velanox::codec::png {
namespace {

constexpr uint32_t kLargestChunk = 0x7FFFFFFFu;

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

struct Chunk {
    const uint8_t* type = nullptr;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

bool isLetter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The chunk at pos, whole, with a letters-only type and a correct CRC; pos moves past it.
bool takeChunk(ByteSpan file, std::size_t& pos, Chunk& chunk) {
    if (pos > file.size || file.size - pos < 12) return false;
    const uint8_t* p = file.data + pos;
    const uint32_t length = bigEndian(p);
    if (length > kLargestChunk || file.size - pos - 12 < length) return false;
    for (int i = 4; i < 8; ++i)
        if (!isLetter(p[i])) return false;
    if (libdeflate_crc32(0, p + 4, std::size_t(length) + 4) != bigEndian(p + 8 + length))
        return false;
    chunk = {p + 4, p + 8, length};
    pos += std::size_t(length) + 12;
    return true;
}

bool isType(const Chunk& chunk, const char* type) {
    return std::memcmp(chunk.type, type, 4) == 0;
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

} // namespace

bool inflateIdatChunks(ByteSpan file, std::size_t firstIdat, uint8_t* out, std::size_t outBytes) {
    if (file.data == nullptr) return false;
    // The IDAT run, then ancillary chunks up to IEND.
    std::vector<Chunk> idat;
    std::size_t pos = firstIdat, streamBytes = 0;
    Chunk chunk;
    try {
        while (takeChunk(file, pos, chunk) && isType(chunk, "IDAT")) {
            idat.push_back(chunk);
            streamBytes += chunk.length;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (idat.empty() || chunk.type == nullptr || chunk.type == idat.back().type) return false;
    for (;;) {
        if (isType(chunk, "IEND")) {
            if (chunk.length != 0) return false;
            break;
        }
        // A critical chunk (an upper-case first letter), IDAT among them, is libpng's to judge.
        if ((chunk.type[0] & 0x20) == 0) return false;
        if (!takeChunk(file, pos, chunk)) return false;
    }

    // One chunk's data is inflated where it lies; several are joined first.
    const uint8_t* stream = idat.front().data;
    std::unique_ptr<uint8_t[]> joined;
    if (idat.size() > 1) {
        joined.reset(new (std::nothrow) uint8_t[streamBytes]);
        if (!joined) return false;
        uint8_t* to = joined.get();
        for (const Chunk& c : idat) {
            std::memcpy(to, c.data, c.length);
            to += c.length;
        }
        stream = joined.get();
    }
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) return false;
    std::size_t inBytes = 0, made = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor.get(), stream, streamBytes, out, outBytes, &inBytes, &made);
    return result == LIBDEFLATE_SUCCESS && inBytes == streamBytes && made == outBytes;
}

} // namespace velanox::codec::png
