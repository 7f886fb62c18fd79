#include "codec/metafile/dib.h"

#include "codec/metafile/byte_reader.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace velanox::codec::metafile {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

// One colour mask of a bit-field DIB: where it starts and how many bits it has.
struct Mask {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Mask(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1))
            ++shift;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1))
            ++bits;
    }
    uint8_t apply(uint32_t v) const {
        if (!bits) return 0;
        const uint32_t x = (v & mask) >> shift;
        const uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        return uint8_t((uint64_t(x) * 255 + max / 2) / max);
    }
};

} // namespace

SurfacePtr decodeDib(ByteSpan headerBytes, ByteSpan bitsBytes, bool keepAlpha, int64_t maxPixels) {
    const ByteReader h(headerBytes.data, headerBytes.size);
    const ByteReader bits(bitsBytes.data, bitsBytes.size);
    if (!h.has(0, 12)) return nullptr;
    const uint32_t headerSize = h.u32(0);
    int64_t width = 0, height = 0;
    int bitCount = 0;
    uint32_t compression = kBiRgb, colorsUsed = 0;
    bool core = false;
    if (headerSize == 12) { // BITMAPCOREHEADER
        core = true;
        width = h.u16(4);
        height = h.i16(6);
        bitCount = h.u16(10);
    } else {
        if (headerSize < 40 || !h.has(0, headerSize)) return nullptr;
        width = h.i32(4);
        height = h.i32(8);
        bitCount = h.u16(14);
        compression = h.u32(16);
        colorsUsed = h.u32(32);
    }
    const bool topDown = height < 0;
    height = std::llabs(height);
    if (width <= 0 || height <= 0 || width * height > maxPixels || width > 32767 * 4 ||
        height > 32767 * 4)
        return nullptr;
    if (compression != kBiRgb && compression != kBiBitfields) return nullptr;

    // The colour table (or the three masks) follows the header.
    std::array<uint32_t, 256> palette{};
    Mask red(0x7C00), green(0x03E0), blue(0x001F), alpha(0);
    if (bitCount == 32) {
        red = Mask(0xFF0000);
        green = Mask(0xFF00);
        blue = Mask(0xFF);
        alpha = Mask(keepAlpha ? 0xFF000000u : 0);
    }
    if (bitCount <= 8) {
        if (bitCount != 1 && bitCount != 4 && bitCount != 8) return nullptr;
        const uint32_t entries =
            colorsUsed == 0 || colorsUsed > (1u << bitCount) ? 1u << bitCount : colorsUsed;
        const std::size_t entrySize = core ? 3 : 4;
        const std::size_t at = core ? 12 : headerSize;
        for (uint32_t i = 0; i < entries; ++i) {
            // A short colour table leaves the remaining entries black.
            if (!h.has(at + i * entrySize, 3)) break;
            const std::size_t o = at + i * entrySize;
            palette[i] = uint32_t(h.u8(o + 2)) << 16 | uint32_t(h.u8(o + 1)) << 8 | h.u8(o);
        }
    } else if (bitCount == 16 || bitCount == 32) {
        if (compression == kBiBitfields) {
            // The masks follow a 40-byte header, and sit at the same place inside V4/V5 ones.
            const std::size_t at = 40;
            if (!h.has(at, 12)) return nullptr;
            red = Mask(h.u32(at));
            green = Mask(h.u32(at + 4));
            blue = Mask(h.u32(at + 8));
            if (keepAlpha && headerSize >= 56) alpha = Mask(h.u32(52));
        }
    } else if (bitCount != 24) {
        return nullptr;
    }

    const uint64_t stride = ((uint64_t(width) * bitCount + 31) / 32) * 4;
    // The last row needs only its own pixels, not its padding.
    const uint64_t lastRow = (uint64_t(width) * bitCount + 7) / 8;
    if (stride * uint64_t(height - 1) + lastRow > bits.size()) return nullptr;

    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(surface.get());
    uint8_t* out = cairo_image_surface_get_data(surface.get());
    const int outStride = cairo_image_surface_get_stride(surface.get());
    const uint8_t* in = bits.data();
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* row = in + stride * uint64_t(topDown ? y : height - 1 - y);
        auto* dst = reinterpret_cast<uint32_t*>(out + y * outStride);
        for (int64_t x = 0; x < width; ++x) {
            uint32_t rgb = 0, a = 0xFF;
            switch (bitCount) {
            case 1:
                rgb = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                rgb = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
                break;
            case 8:
                rgb = palette[row[x]];
                break;
            case 24:
                rgb = uint32_t(row[x * 3 + 2]) << 16 | uint32_t(row[x * 3 + 1]) << 8 | row[x * 3];
                break;
            case 16:
            case 32: {
                const uint32_t v = bitCount == 16
                                       ? uint32_t(row[x * 2] | row[x * 2 + 1] << 8)
                                       : uint32_t(row[x * 4]) | uint32_t(row[x * 4 + 1]) << 8 |
                                             uint32_t(row[x * 4 + 2]) << 16 |
                                             uint32_t(row[x * 4 + 3]) << 24;
                rgb = uint32_t(red.apply(v)) << 16 | uint32_t(green.apply(v)) << 8 | blue.apply(v);
                if (alpha.bits) a = alpha.apply(v);
                break;
            }
            }
            if (a != 0xFF) { // cairo keeps premultiplied colours
                const uint32_t r = ((rgb >> 16) & 0xFF) * a / 255;
                const uint32_t g = ((rgb >> 8) & 0xFF) * a / 255;
                const uint32_t b = (rgb & 0xFF) * a / 255;
                rgb = r << 16 | g << 8 | b;
            }
            dst[x] = a << 24 | rgb;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

std::vector<uint8_t> encodeDib24(const Picture& picture) {
    const uint32_t w = uint32_t(picture.width), h = uint32_t(picture.height);
    const std::size_t stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
    uint32_t ppmX = 0, ppmY = 0; // pixels per metre
    const SaveResolution resolution = saveResolution(picture.writeOptions);
    if (resolution.unit == 2) {
        ppmX = uint32_t(std::lround(resolution.x / 0.0254));
        ppmY = uint32_t(std::lround(resolution.y / 0.0254));
    } else if (resolution.unit == 3) {
        ppmX = resolution.x * 100;
        ppmY = resolution.y * 100;
    }
    std::vector<uint8_t> dib;
    dib.reserve(kDibHeaderSize + stride * h);
    put32(dib, uint32_t(kDibHeaderSize));
    put32(dib, w);
    put32(dib, h); // positive: bottom-up rows
    put16(dib, 1);
    put16(dib, 24);
    put32(dib, kBiRgb);
    put32(dib, uint32_t(stride * h));
    put32(dib, ppmX);
    put32(dib, ppmY);
    put32(dib, 0);
    put32(dib, 0);
    const uint8_t* px = picture.pixels();
    for (uint32_t y = h; y-- > 0;) {
        const uint8_t* row = px + std::size_t(y) * w * 3;
        for (uint32_t x = 0; x < w; ++x) {
            dib.push_back(row[x * 3 + 2]);
            dib.push_back(row[x * 3 + 1]);
            dib.push_back(row[x * 3]);
        }
        for (std::size_t pad = std::size_t(w) * 3; pad < stride; ++pad)
            dib.push_back(0);
    }
    return dib;
}

} // namespace velanox::codec::metafile
