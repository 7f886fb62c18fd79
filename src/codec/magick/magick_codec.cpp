#include "codec/magick/magick_codec.h"

#include "codec/icc/icc_profile.h"
#include "codec/library_reason.h"
#include "codec/magick/magick_headers.h"
#include "codec/magick/magick_image.h"
#include "codec/magick/psd_indexed_reader.h"
#include "codec/magick/psd_resources.h"

#include <algorithm>
#include <cstring>

namespace velanox::codec {

namespace {

using namespace magick::headers;

uint64_t be32(const uint8_t* p) {
    return uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
}

uint64_t divideUp(uint64_t a, uint64_t b) {
    return (a + b - 1) / b;
}

// The image library reserves the whole picture before it reads a byte of pixel data. Each check
// below gives the fewest bytes the pixel data of the header's picture can take, so that a file
// too short to hold it is refused before anything is reserved. 0 when the header gives no
// bound (it is then left to the reader).

// WBMP: one bit per pixel, rows padded to whole bytes, never compressed.
uint64_t wbmpDataBytes(ByteSpan b, uint64_t& headerBytes) {
    std::size_t pos = 0;
    uint32_t type = 0, width = 0, height = 0;
    if (!wbmpInteger(b, pos, type) || pos >= b.size) return 0;
    if (b.data[pos++] & 0x80) return 0; // extension headers follow: left to the reader
    if (!wbmpInteger(b, pos, width) || !wbmpInteger(b, pos, height)) return 0;
    headerBytes = pos;
    return uint64_t((uint64_t(width) + 7) / 8) * height;
}

// Targa: raw pixels, or run-length packets of at most 128 pixels, each a count byte and at
// least one pixel value.
uint64_t targaDataBytes(ByteSpan b, uint64_t& headerBytes) {
    const uint32_t type = b.data[2], depth = b.data[16];
    const uint64_t pixels = uint64_t(le16(b.data + 12)) * le16(b.data + 14);
    const uint64_t pixelBytes = (depth + 7) / 8;
    const uint64_t mapBytes = b.data[1] ? uint64_t(le16(b.data + 5)) * ((b.data[7] + 7) / 8) : 0;
    headerBytes = 18 + uint64_t(b.data[0]) + mapBytes;
    if (type >= 1 && type <= 3) return pixels * pixelBytes;
    if (type >= 9 && type <= 11) return divideUp(pixels, 128) * (1 + pixelBytes);
    return 0;
}

// PCX: bytes per line for every plane of every row, raw or in runs of at most 63 bytes that
// take two bytes each.
uint64_t pcxDataBytes(ByteSpan b, uint64_t& headerBytes) {
    const uint64_t height = uint64_t(le16(b.data + 10)) - le16(b.data + 6) + 1;
    const uint64_t total = uint64_t(le16(b.data + 66)) * b.data[65] * height;
    headerBytes = 128;
    return b.data[2] == 0 ? total : divideUp(total, 63) * 2;
}

// Photoshop: after the colour-mode, resource and layer sections, a compression word and the
// merged picture, one plane per channel: raw, or PackBits rows (a table of row lengths, then
// runs of at most 128 bytes that take two bytes each). ~0 when the sections themselves run
// past the end of the file.
uint64_t psdDataBytes(ByteSpan b, uint64_t& headerBytes) {
    const bool large = be16(b.data + 4) == 2;
    const uint64_t channels = be16(b.data + 12), height = be32(b.data + 14),
                   width = be32(b.data + 18), depth = be16(b.data + 22);
    uint64_t pos = 26;
    for (int section = 0; section < 3; ++section) {
        const bool wide = large && section == 2; // the layer section's length has 8 bytes in PSB
        const uint64_t lengthBytes = wide ? 8 : 4;
        if (b.size < pos + lengthBytes) return ~uint64_t(0);
        const uint64_t length =
            wide ? be32(b.data + pos) << 32 | be32(b.data + pos + 4) : be32(b.data + pos);
        if (length > b.size - pos - lengthBytes) return ~uint64_t(0);
        pos += lengthBytes + length;
    }
    if (b.size < pos + 2) return ~uint64_t(0);
    const uint32_t compression = be16(b.data + pos);
    headerBytes = pos + 2;
    const uint64_t rowBytes = depth == 1 ? (width + 7) / 8 : width * ((depth + 7) / 8);
    if (compression == 0) return rowBytes * height * channels;
    if (compression == 1)
        return channels * height * ((large ? 4 : 2) + 2 * divideUp(rowBytes, 128));
    return 0;
}

// Refuses a file shorter than its header says its pixel data must be.
Status checkDataPresent(ByteSpan bytes, const char* subject,
                        uint64_t (*dataBytes)(ByteSpan, uint64_t&)) {
    uint64_t header = 0;
    const uint64_t data = dataBytes(bytes, header);
    if (data != 0 && (data == ~uint64_t(0) || header > bytes.size || data > bytes.size - header))
        return Status::failure(core::StatusCode::Corrupt, truncatedReason(subject));
    return Status::success();
}

} // namespace

Status readTarga(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    if (!bytes.data || bytes.size < 18)
        return Status::failure(core::StatusCode::Corrupt, "Targa file: the header is incomplete.");
    if (Status s = checkDataPresent(bytes, "Targa file", targaDataBytes); !s.ok()) return s;
    const bool palette = targaIsPalette(bytes);
    magick::ReadRequest request{"TGA", palette ? kFormatTarga8 : kFormatTarga, palette ? 256 : 0};
    // ImageMagick keeps the rows in file order and records the origin; the picture is
    // turned upright here.
    request.applyOrientation = true;
    // The descriptor's low four bits count the alpha bits of each pixel.
    request.compositeAlpha = (bytes.data[17] & 0x0F) != 0;
    return magick::readImage(bytes, request, out, options.limits);
}

Status readPcx(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    if (!bytes.data || bytes.size < 128)
        return Status::failure(core::StatusCode::Corrupt, "PCX file: the header is incomplete.");
    if (Status s = checkDataPresent(bytes, "PCX file", pcxDataBytes); !s.ok()) return s;
    const bool palette = pcxIsPalette(bytes);
    return magick::readImage(bytes, {"PCX", palette ? kFormatPcx8 : kFormatPcx, palette ? 256 : 0},
                             out, options.limits);
}

Status readPsd(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    out.info.iccProfile.clear();
    if (!probePsd(bytes))
        return Status::failure(core::StatusCode::Corrupt,
                               "Photoshop file: the header is incomplete.");
    if (Status s = checkDataPresent(bytes, "Photoshop file", psdDataBytes); !s.ok()) return s;
    Status status;
    if (be16(bytes.data + 24) == 2 && be16(bytes.data + 22) == 8) {
        status = magick::readIndexedPsd(bytes, out, options.limits);
        if (status.ok()) magick::finishRead(out, kFormatPsd8);
    } else {
        const bool palette = psdIsPalette(bytes);
        magick::ReadRequest request{"PSD", palette ? kFormatPsd8 : kFormatPsd, palette ? 256 : 0};
        request.compositeAlpha = true; // the merged picture's transparency, as ImageMagick reads it
        status = magick::readImage(bytes, request, out, options.limits);
    }
    if (status.ok()) {
        std::vector<uint8_t> profile = magick::psdImageResource(
            bytes, magick::kPsdIccProfileResource, options.limits.maxProfileBytes);
        if (isRgbProfile({profile.data(), profile.size()}))
            out.info.iccProfile = std::move(profile);
    }
    return status;
}

Status readWbmp(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    if (Status s = checkDataPresent(bytes, "WBMP file", wbmpDataBytes); !s.ok()) return s;
    return magick::readImage(bytes, {"WBMP", kFormatWbmp, 2}, out, options.limits);
}

Status readPhotoCd(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    if (!probePhotoCd(bytes))
        return Status::failure(StatusCode::Corrupt, "PhotoCD file: no image pac signature.");
    // Without a size request the reader delivers resolution step 3, the 768 x 512 base.
    return magick::readImage(bytes, {"PCD", kFormatPhotoCd, 0}, out, options.limits);
}

Status writeTarga(const Picture& picture, std::vector<uint8_t>& out) {
    return magick::writeImage(picture, {"TGA", false}, out);
}

Status writePcx(const Picture& picture, std::vector<uint8_t>& out) {
    return magick::writeImage(picture, {"PCX", true}, out);
}

Status writePsd(const Picture& picture, std::vector<uint8_t>& out) {
    magick::WriteRequest request{"PSD", true};
    request.carriesProfile = true;
    return magick::writeImage(picture, request, out);
}

Status writeWbmp(const Picture& picture, std::vector<uint8_t>& out) {
    magick::WriteRequest request{"WBMP", false};
    request.twoLevelThreshold =
        int(std::min<uint32_t>(picture.writeOptions.get(kWbmpThreshold), 256));
    return magick::writeImage(picture, request, out);
}

} // namespace velanox::codec
