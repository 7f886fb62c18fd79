// The metafile writers: the picture as one stretched device-independent bitmap, at one unit
// per pixel and 96 units per inch, so that other programs show it at its pixel size.
#include "codec/metafile/byte_reader.h"
#include "codec/metafile/dib.h"
#include "codec/metafile/metafile_codec.h"

#include <cmath>
#include <limits>

namespace velanox::codec {
namespace {

constexpr uint32_t kSrcCopy = 0x00CC0020;

Status checkWritable(const Picture& picture, int64_t maxSide) {
    if (!picture.hasPixels() || picture.width <= 0 || picture.height <= 0)
        return Status::failure(StatusCode::NoReader, "The picture has no pixels to write.");
    if (picture.bitsPerPixel != 24)
        return Status::failure(StatusCode::Unsupported,
                               "Metafiles are written from 24-bit pictures only.");
    if (picture.width > maxSide || picture.height > maxSide)
        return Status::failure(StatusCode::TooLarge,
                               "Image too large for a metafile: " + std::to_string(picture.width) +
                                   " x " + std::to_string(picture.height));
    const uint64_t stride = (uint64_t(picture.width) * 3 + 3) & ~uint64_t(3);
    if (stride * uint64_t(picture.height) > std::numeric_limits<uint32_t>::max() / 2)
        return Status::failure(StatusCode::TooLarge,
                               "Image too large for a metafile: " + std::to_string(picture.width) +
                                   " x " + std::to_string(picture.height));
    return Status::success();
}

} // namespace

Status writeWmf(const Picture& picture, std::vector<uint8_t>& out) {
    // Coordinates of a Windows Metafile are signed 16-bit values.
    if (Status s = checkWritable(picture, 32767); !s.ok()) return s;
    const uint16_t w = uint16_t(picture.width), h = uint16_t(picture.height);
    const std::vector<uint8_t> dib = metafile::encodeDib24(picture);

    std::vector<uint8_t> rec; // the StretchDIB record
    const std::size_t dibWords = (dib.size() + 1) / 2;
    const uint32_t stretchWords = uint32_t(3 + 2 + 1 + 8 + dibWords);
    metafile::put32(rec, stretchWords);
    metafile::put16(rec, 0x0F43); // META_STRETCHDIB
    metafile::put32(rec, kSrcCopy);
    metafile::put16(rec, 0); // DIB_RGB_COLORS
    metafile::put16(rec, h); // source height, width, y, x
    metafile::put16(rec, w);
    metafile::put16(rec, 0);
    metafile::put16(rec, 0);
    metafile::put16(rec, h); // destination height, width, y, x
    metafile::put16(rec, w);
    metafile::put16(rec, 0);
    metafile::put16(rec, 0);
    rec.insert(rec.end(), dib.begin(), dib.end());
    if (dib.size() % 2) rec.push_back(0);

    std::vector<uint8_t> body;
    auto record3 = [&](uint16_t function, uint16_t a, uint16_t b) {
        metafile::put32(body, 5);
        metafile::put16(body, function);
        metafile::put16(body, a);
        metafile::put16(body, b);
    };
    record3(0x020B, 0, 0); // META_SETWINDOWORG (y, x)
    record3(0x020C, h, w); // META_SETWINDOWEXT (height, width)
    body.insert(body.end(), rec.begin(), rec.end());
    metafile::put32(body, 3); // META_EOF
    metafile::put16(body, 0);

    out.clear();
    out.reserve(22 + 18 + body.size());
    // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
    metafile::put32(out, 0x9AC6CDD7);
    metafile::put16(out, 0);
    metafile::put16(out, 0);
    metafile::put16(out, 0);
    metafile::put16(out, w);
    metafile::put16(out, h);
    metafile::put16(out, uint16_t(kMetafileDpi));
    metafile::put32(out, 0);
    uint16_t checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2)
        checksum ^= uint16_t(out[i] | out[i + 1] << 8);
    metafile::put16(out, checksum);
    // Standard header: memory metafile, 9 words, version 3.0, size in words, no objects.
    metafile::put16(out, 1);
    metafile::put16(out, 9);
    metafile::put16(out, 0x0300);
    metafile::put32(out, uint32_t(9 + body.size() / 2));
    metafile::put16(out, 0);
    metafile::put32(out, stretchWords);
    metafile::put16(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return Status::success();
}

Status writeEmf(const Picture& picture, std::vector<uint8_t>& out) {
    if (Status s = checkWritable(picture, std::numeric_limits<int32_t>::max()); !s.ok()) return s;
    const int32_t w = picture.width, h = picture.height;
    const std::vector<uint8_t> dib = metafile::encodeDib24(picture);
    constexpr uint32_t kHeaderSize = 108, kStretchFixed = 80, kEofSize = 20;
    const uint32_t stretchSize = kStretchFixed + uint32_t(dib.size());
    const uint32_t total = kHeaderSize + stretchSize + kEofSize;

    // The reference device: 960 pixels on 254 mm, that is 96 dots per inch.
    constexpr int32_t kDevicePixels = 960, kDeviceMm = 254;
    // The frame in hundredths of a millimetre, inclusive.
    const auto frameRight = int32_t(std::lround(w * 2540.0 / kMetafileDpi));
    const auto frameBottom = int32_t(std::lround(h * 2540.0 / kMetafileDpi));

    out.clear();
    out.reserve(total);
    using metafile::put16;
    using metafile::put32;
    put32(out, 1); // EMR_HEADER
    put32(out, kHeaderSize);
    for (int32_t v : {0, 0, w - 1, h - 1}) // bounds, device pixels, inclusive
        put32(out, uint32_t(v));
    for (int32_t v : {0, 0, frameRight, frameBottom})
        put32(out, uint32_t(v));
    put32(out, 0x464D4520); // " EMF"
    put32(out, 0x00010000);
    put32(out, total);
    put32(out, 3); // records
    put16(out, 1); // handles (the reserved one)
    put16(out, 0);
    put32(out, 0); // description
    put32(out, 0);
    put32(out, 0); // palette entries
    put32(out, kDevicePixels);
    put32(out, kDevicePixels);
    put32(out, kDeviceMm);
    put32(out, kDeviceMm);
    put32(out, 0); // pixel format
    put32(out, 0);
    put32(out, 0); // OpenGL
    put32(out, kDeviceMm * 1000);
    put32(out, kDeviceMm * 1000);

    put32(out, 81); // EMR_STRETCHDIBITS
    put32(out, stretchSize);
    for (int32_t v : {0, 0, w - 1, h - 1})
        put32(out, uint32_t(v));
    put32(out, 0); // destination x, y
    put32(out, 0);
    put32(out, 0); // source x, y, width, height
    put32(out, 0);
    put32(out, uint32_t(w));
    put32(out, uint32_t(h));
    put32(out, kStretchFixed); // header offset and size
    put32(out, uint32_t(metafile::kDibHeaderSize));
    put32(out, kStretchFixed + uint32_t(metafile::kDibHeaderSize)); // bits offset and size
    put32(out, uint32_t(dib.size() - metafile::kDibHeaderSize));
    put32(out, 0); // DIB_RGB_COLORS
    put32(out, kSrcCopy);
    put32(out, uint32_t(w)); // destination width, height
    put32(out, uint32_t(h));
    out.insert(out.end(), dib.begin(), dib.end());

    put32(out, 14); // EMR_EOF
    put32(out, kEofSize);
    put32(out, 0);
    put32(out, 16);
    put32(out, kEofSize);
    return Status::success();
}

} // namespace velanox::codec
