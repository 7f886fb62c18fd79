#include "codec/bmp/bmp_codec.h"

#include "codec/rgb_rows.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace velanox::codec {

namespace {

uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

constexpr std::size_t kFileHeader = 14;

bool knownHeaderSize(uint32_t size) {
    // Core (12), OS/2 version 2 (16 to 64), info (40), version 2 and 3 (52, 56), 4 (108), 5 (124).
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124 ||
           (size >= 16 && size <= 64 && size % 4 == 0);
}

Status corrupt(const std::string& what) {
    return Status::failure(StatusCode::Corrupt, "Bitmap file: " + what);
}

// Pixels per metre from a stored resolution: per inch (2) or per centimetre (3); none for 1.
int32_t pixelsPerMetre(uint32_t value, uint32_t unit) {
    if (unit == 2) return int32_t(std::lround(double(value) * 100.0 / 2.54));
    if (unit == 3) return int32_t(std::min<uint64_t>(uint64_t(value) * 100, INT32_MAX));
    return 0;
}

} // namespace

Status parseBmpHeader(ByteSpan bytes, BmpHeader& header, const Limits& limits) {
    header = {};
    if (!bytes.data || bytes.size < kFileHeader + 12 || bytes.data[0] != 'B' ||
        bytes.data[1] != 'M')
        return corrupt("no bitmap header.");
    const uint8_t* d = bytes.data;
    const uint32_t headerSize = le32(d + 14);
    if (!knownHeaderSize(headerSize))
        return corrupt("unknown header size " + std::to_string(headerSize) + ".");
    if (kFileHeader + headerSize > bytes.size) return corrupt("the header is cut short.");
    const uint64_t pixelOffset = le32(d + 10);

    int64_t width = 0, height = 0;
    uint32_t planes = 0, colorCount = 0;
    const bool core = headerSize == 12;
    if (core) {
        width = le16(d + 18);
        height = le16(d + 20);
        planes = le16(d + 22);
        header.bitsPerPixel = int(le16(d + 24));
    } else {
        width = int32_t(le32(d + 18));
        height = int32_t(le32(d + 22));
        planes = le16(d + 26);
        header.bitsPerPixel = int(le16(d + 28));
        if (headerSize >= 20) header.compression = le32(d + 30);
        if (headerSize >= 32) {
            header.xPixelsPerMetre = int32_t(le32(d + 38));
            header.yPixelsPerMetre = int32_t(le32(d + 42));
        }
        if (headerSize >= 36) colorCount = le32(d + 46);
    }
    if (planes != 1) return corrupt("the plane count is " + std::to_string(planes) + ".");
    header.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (Status s = checkSize(width, height, limits); !s.ok()) return s;
    header.width = int32_t(width);
    header.height = int32_t(height);

    const int bits = header.bitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return corrupt(std::to_string(bits) + " bits per pixel.");
    switch (header.compression) {
    case 0:
        break;
    case 1:
    case 2:
        if ((header.compression == 1 && bits != 8) || (header.compression == 2 && bits != 4))
            return corrupt("run-length compression does not match the depth.");
        if (header.topDown) return corrupt("a compressed bitmap cannot be stored top-down.");
        break;
    case 3:
    case 6:
        if (bits != 16 && bits != 32) return corrupt("bit fields need 16 or 32 bits per pixel.");
        // The alpha mask follows the red, green and blue masks: in the header from version 3
        // on, or after an info header with compression 6.
        if ((headerSize == 56 || headerSize == 108 || headerSize == 124 ||
             (headerSize == 40 && header.compression == 6)) &&
            bytes.size >= 70)
            header.alphaMask = le32(d + 66);
        break;
    default:
        return Status::failure(StatusCode::Unsupported, "Bitmap file: compression " +
                                                            std::to_string(header.compression) +
                                                            " is not read.");
    }

    if (pixelOffset < kFileHeader + headerSize || pixelOffset >= bytes.size)
        return corrupt("the pixel data lies outside the file.");
    if (bits <= 8) {
        const uint64_t entries = colorCount ? colorCount : (1u << bits);
        if (entries > 256) return corrupt("the colour table is too long.");
        const uint64_t paletteEnd = kFileHeader + headerSize + entries * (core ? 3 : 4);
        if (paletteEnd > pixelOffset) return corrupt("the colour table overlaps the pixels.");
    }
    if (header.compression == 0 || header.compression == 3 || header.compression == 6) {
        // The last row may lack its padding; every other row must be there whole.
        const uint64_t rowBytes = (uint64_t(width) * bits + 31) / 32 * 4;
        const uint64_t needed = rowBytes * uint64_t(height - 1) + (uint64_t(width) * bits + 7) / 8;
        if (needed > bytes.size - pixelOffset) return corrupt("the pixel data is cut short.");
    }
    return Status::success();
}

bool probeBmp(ByteSpan bytes) {
    return bytes.data && bytes.size >= kFileHeader + 12 && bytes.data[0] == 'B' &&
           bytes.data[1] == 'M' && knownHeaderSize(le32(bytes.data + 14));
}

uint32_t bmpFormatId(ByteSpan bytes) {
    if (!probeBmp(bytes)) return kFormatAuto;
    BmpHeader header;
    const uint32_t headerSize = le32(bytes.data + 14);
    int bits = 24;
    if (parseBmpHeader(bytes, header).ok())
        bits = header.bitsPerPixel;
    else if (bytes.size >= kFileHeader + 16)
        bits = int(le16(bytes.data + (headerSize == 12 ? 24 : 28)));
    if (bits == 1) return kFormatBmp1;
    return bits > 8 ? kFormatBmp : kFormatBmp8;
}

Status writeBmp(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    if (!picture.hasPixels())
        return Status::failure(StatusCode::NoReader, "There are no pixels to write.");
    std::vector<uint8_t> rgb;
    if (!toRgbRows(picture, rgb))
        return Status::failure(picture.bitsPerPixel == 32 ? core::StatusCode::Unsupported
                                                          : core::StatusCode::OutOfMemory,
                               "The picture cannot be written at this depth.");
    const uint64_t width = uint64_t(picture.width), height = uint64_t(picture.height);
    const uint64_t rowBytes = (width * 3 + 3) / 4 * 4;
    const uint64_t fileSize = 54 + rowBytes * height;
    if (fileSize > std::numeric_limits<uint32_t>::max())
        return Status::failure(StatusCode::TooLarge, "The picture is too large for a bitmap file.");
    try {
        out.reserve(std::size_t(fileSize));
        out.push_back('B');
        out.push_back('M');
        put32(out, uint32_t(fileSize));
        put32(out, 0);
        put32(out, 54);
        put32(out, 40);
        put32(out, uint32_t(width));
        put32(out, uint32_t(height)); // bottom-up
        put16(out, 1);
        put16(out, 24);
        put32(out, 0); // no compression
        put32(out, uint32_t(rowBytes * height));
        const SaveResolution resolution = saveResolution(picture.writeOptions);
        put32(out, uint32_t(pixelsPerMetre(resolution.x, resolution.unit)));
        put32(out, uint32_t(pixelsPerMetre(resolution.y, resolution.unit)));
        put32(out, 0);
        put32(out, 0);
        std::vector<uint8_t> row(std::size_t(rowBytes), 0);
        for (uint64_t y = height; y-- > 0;) {
            const uint8_t* src = rgb.data() + y * width * 3;
            for (uint64_t x = 0; x < width; ++x) {
                row[3 * x] = src[3 * x + 2];
                row[3 * x + 1] = src[3 * x + 1];
                row[3 * x + 2] = src[3 * x];
            }
            out.insert(out.end(), row.begin(), row.end());
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory to write the bitmap.");
    }
    return Status::success();
}

} // namespace velanox::codec
