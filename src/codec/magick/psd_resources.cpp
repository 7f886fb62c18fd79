#include "codec/magick/psd_resources.h"

#include <cstring>

namespace velanox::codec::magick {
namespace {

constexpr std::size_t kHeaderBytes = 26;

uint32_t be16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Photoshop and some other programs use these four signatures for their resource blocks.
bool knownSignature(const uint8_t* p) {
    for (const char* s : {"8BIM", "MeSa", "PHUT", "AgHg", "DCSR"})
        if (std::memcmp(p, s, 4) == 0) return true;
    return false;
}

} // namespace

std::vector<uint8_t> psdImageResource(ByteSpan bytes, uint32_t id, std::size_t maxBytes) {
    if (!bytes.data || bytes.size < kHeaderBytes + 4 || std::memcmp(bytes.data, "8BPS", 4) != 0)
        return {};
    std::size_t pos = kHeaderBytes;
    const uint64_t modeData = be32(bytes.data + pos);
    if (modeData > bytes.size - pos - 4) return {};
    pos += 4 + std::size_t(modeData);
    if (bytes.size - pos < 4) return {};
    const uint64_t sectionLength = be32(bytes.data + pos);
    pos += 4;
    if (sectionLength > bytes.size - pos) return {};
    const std::size_t end = pos + std::size_t(sectionLength);
    while (end - pos >= 12) {
        const uint8_t* block = bytes.data + pos;
        if (!knownSignature(block)) return {};
        const uint32_t blockId = be16(block + 4);
        // The name: a length byte and its text, padded to an even size.
        const std::size_t nameBytes = (std::size_t(block[6]) + 2) & ~std::size_t(1);
        if (end - pos < 6 + nameBytes + 4) return {};
        const uint64_t size = be32(block + 6 + nameBytes);
        const std::size_t dataAt = pos + 6 + nameBytes + 4;
        if (size > end - dataAt) return {};
        if (blockId == id) {
            if (size > maxBytes) return {};
            return {bytes.data + dataAt, bytes.data + dataAt + size};
        }
        pos = dataAt + std::size_t(size) + std::size_t(size & 1);
        if (pos > end) return {};
    }
    return {};
}

} // namespace velanox::codec::magick
