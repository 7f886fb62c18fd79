#include "codec/exif/exif_block.h"

#include "codec/exif/exif_summary.h"

#include <cstring>
#include <string>

namespace velanox::codec {
namespace {

constexpr uint8_t kExifTag[6] = {'E', 'x', 'i', 'f', 0, 0};

bool tiffHeaderAt(ByteSpan b, std::size_t at) {
    if (at > b.size || b.size - at < 8) return false;
    const uint8_t* p = b.data + at;
    return (p[0] == 'I' && p[1] == 'I' && p[2] == 42 && p[3] == 0) ||
           (p[0] == 'M' && p[1] == 'M' && p[2] == 0 && p[3] == 42);
}

} // namespace

std::size_t exifTiffOffset(ByteSpan payload) {
    if (!payload.data) return std::string::npos;
    if (tiffHeaderAt(payload, 0)) return 0;
    if (payload.size >= 6 && std::memcmp(payload.data, kExifTag, 6) == 0 &&
        tiffHeaderAt(payload, 6))
        return 6;
    if (payload.size >= 4) {
        const uint8_t* p = payload.data;
        const uint64_t offset =
            uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
        if (offset <= payload.size - 4) {
            const std::size_t at = std::size_t(4 + offset);
            if (tiffHeaderAt(payload, at)) return at;
            if (payload.size - at >= 6 && std::memcmp(payload.data + at, kExifTag, 6) == 0 &&
                tiffHeaderAt(payload, at + 6))
                return at + 6;
        }
    }
    return std::string::npos;
}

std::vector<uint8_t> exifSegmentFromPayload(ByteSpan payload) {
    const std::size_t at = exifTiffOffset(payload);
    if (at == std::string::npos) return {};
    const std::size_t tiff = payload.size - at;
    if (tiff > kMaxExifTiffBytes) return {};
    const std::size_t length = 2 + 6 + tiff;
    std::vector<uint8_t> segment{0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length & 0xFF)};
    segment.insert(segment.end(), kExifTag, kExifTag + 6);
    segment.insert(segment.end(), payload.data + at, payload.data + payload.size);
    return segment;
}

ByteSpan exifTiffData(const std::vector<uint8_t>& exifBlock) {
    if (exifBlock.size() <= 10 || exifBlock[0] != 0xFF || exifBlock[1] != 0xE1 ||
        std::memcmp(exifBlock.data() + 4, kExifTag, 6) != 0)
        return {};
    return {exifBlock.data() + 10, exifBlock.size() - 10};
}

void takeExifPayload(ByteSpan payload, Picture& out) {
    std::vector<uint8_t> segment = exifSegmentFromPayload(payload);
    if (segment.empty()) return;
    ExifSummary summary;
    readExifSummary(segment.data() + 4, segment.size() - 4, summary);
    out.info.exifBlock = std::move(segment);
    out.info.exif = summary;
    out.info.orientation =
        summary.orientation >= 1 && summary.orientation <= 8 ? summary.orientation : 1;
}

} // namespace velanox::codec
