#include "codec/png/png_codec.h"

#include "codec/alpha.h"
#include "codec/icc/icc_profile.h"
#include "codec/library_reason.h"
#include "codec/png/png_idat_inflate.h"
#include "codec/png/png_idat_stream.h"
#include "codec/png/png_row_unfilter.h"
#include "engine/large_block.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <libdeflate.h>
#include <new>
#include <png.h>
#include <string>

namespace velanox::codec {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// libpng calls the error function, which must not return: it jumps back through png_jmpbuf.
// Warnings (ancillary chunks with bad CRCs and the like) stay quiet.
struct Messages {
    std::string error;
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* messages = static_cast<Messages*>(png_get_error_ptr(png));
    if (messages) messages->error = message ? message : "PNG error";
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

struct MemoryReader {
    ByteSpan bytes;
    std::size_t offset = 0;
};

void readFromMemory(png_structp png, png_bytep data, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->bytes.size - reader->offset) png_error(png, "The PNG data ends early.");
    std::memcpy(data, reader->bytes.data + reader->offset, length);
    reader->offset += length;
}

// The state of one read, reached through a reference so nothing libpng's jump skips over is
// left in a register.
struct Reader {
    Messages messages;
    MemoryReader source;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    std::vector<uint8_t> rgba; // a picture with transparency, before it is put over white
    bool direct = true;        // the pixel data may be read without libpng (readDirect)
    bool leftToLibpng = false; // readDirect could not read it: start again with libpng alone
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void setGreyPalette(Picture& out, int levels) {
    for (int i = 0; i < levels; ++i) {
        const uint8_t v = uint8_t(i * 255 / (levels - 1));
        out.palette[std::size_t(i)] = {v, v, v, 0};
    }
    out.paletteSize = levels;
}

// The bytes of all IDAT chunks together (a chunk running past the end counts what is there).
uint64_t compressedBytes(ByteSpan bytes) {
    uint64_t total = 0;
    std::size_t pos = sizeof kSignature;
    while (bytes.size - pos >= 8) {
        const uint8_t* p = bytes.data + pos;
        const uint64_t length =
            uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
        const uint64_t present = std::min<uint64_t>(length, bytes.size - pos - 8);
        if (std::memcmp(p + 4, "IDAT", 4) == 0) total += present;
        if (present < length || bytes.size - pos - 8 - present < 4) break;
        pos += 8 + std::size_t(length) + 4;
    }
    return total;
}

// Deflate turns at most 258 bytes into 2 bits (1032 to 1): a picture whose pixels need more than
// that many times the compressed bytes cannot be in the file, and is refused before its rows are
// reserved.
bool compressedDataCanHold(ByteSpan bytes, uint64_t width, uint64_t height, int depth,
                           int colorType) {
    const uint64_t channels = colorType == PNG_COLOR_TYPE_RGB          ? 3
                              : colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                              : colorType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                                                                       : 1;
    const uint64_t pixelBytes = width * height * channels * uint64_t(depth) / 8;
    constexpr uint64_t kMaxRatio = 1032, kSlack = 1024;
    return pixelBytes <= compressedBytes(bytes) * kMaxRatio + kSlack;
}

// The transparency of a palette (tRNS alpha per entry) or of a 1-bit grey picture (one
// transparent level) taken into the palette: its entries put over white.
void paletteOverWhite(png_structp png, png_infop info, bool palette, Picture& out) {
    png_bytep alpha = nullptr;
    int count = 0;
    png_color_16p color = nullptr;
    if (!png_get_tRNS(png, info, &alpha, &count, &color)) return;
    if (palette) {
        for (int i = 0; i < count && i < 256; ++i) {
            PaletteEntry& e = out.palette[std::size_t(i)];
            e = {overWhite(e.blue, alpha[i]), overWhite(e.green, alpha[i]),
                 overWhite(e.red, alpha[i]), 0};
        }
    } else if (color && color->gray <= 1) {
        out.palette[color->gray] = {255, 255, 255, 0};
    }
}

// The rows of an 8-bit RGB or RGBA picture without interlacing, inflated by libdeflate straight
// from the IDAT chunks and unfiltered here, into target (width * pixelBytes bytes a row). False
// when the file holds anything libpng might judge otherwise (a damaged or unusual chunk, a
// stream that does not end exactly with the rows): the caller then reads it again with libpng.
// libpng has read the chunks up to the first IDAT's length and type.
bool readDirect(Reader& r, uint32_t width, uint32_t height, int pixelBytes, uint8_t* target) {
    const std::size_t rowBytes = std::size_t(width) * std::size_t(pixelBytes);
    const std::size_t filteredRow = rowBytes + 1;
    const std::size_t firstIdat = r.source.offset - 8;
    if (r.source.offset < 8 || std::memcmp(r.source.bytes.data + firstIdat + 4, "IDAT", 4) != 0)
        return false;
    engine::LargeBlock filtered;
    std::vector<uint8_t> zeroRow;
    try {
        zeroRow.assign(rowBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!filtered.allocate(filteredRow * height) ||
        !png::inflateIdatChunks(r.source.bytes, firstIdat, filtered.data(), filteredRow * height))
        return false;
    const uint8_t* prior = zeroRow.data();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = filtered.data() + std::size_t(y) * filteredRow;
        uint8_t* row = target + std::size_t(y) * rowBytes;
        if (!png::unfilterRow(in[0], in + 1, prior, rowBytes, pixelBytes, row)) return false;
        prior = row;
    }
    return true;
}

Status decode(Reader& r, Picture& out, const ReadOptions& options) {
    png_structp png = r.png;
    png_infop info = r.info;
    png_set_read_fn(png, &r.source, readFromMemory);
    // Refuse oversized headers before libpng allocates anything for them, and bound what a
    // compressed chunk (the colour profile among them) may grow to.
    png_set_user_limits(png, uint32_t(options.limits.maxDimension),
                        uint32_t(options.limits.maxDimension));
    png_set_chunk_malloc_max(
        png, std::max<png_alloc_size_t>(options.limits.maxProfileBytes, png_alloc_size_t(8) << 20));
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (Status s = checkSize(width, height, options.limits); !s.ok()) return s;
    if (!compressedDataCanHold(r.source.bytes, width, height, depth, colorType))
        return Status::failure(core::StatusCode::Corrupt, truncatedReason("PNG file"));

    const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
    const bool oneBit = depth == 1 && (palette || colorType == PNG_COLOR_TYPE_GRAY);
    const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    // Grey and RGB pixels with an alpha channel or a transparent colour are read with their
    // alpha and put over white; palette and 1-bit pictures get their palette put over white.
    const bool alpha =
        !palette && !oneBit && ((colorType & PNG_COLOR_MASK_ALPHA) != 0 || transparent);
    int bits = 24;
    if (oneBit) {
        bits = 1;
    } else if (palette) {
        bits = 8;
        png_set_packing(png); // 2- and 4-bit indices to one byte each
    } else {
        png_set_scale_16(png);
        if (alpha)
            png_set_tRNS_to_alpha(png);
        else
            png_set_strip_alpha(png);
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != (alpha ? std::size_t(width) * 4 : Picture::rowBytesFor(int32_t(width), bits)))
        return Status::failure(StatusCode::Unsupported, "Unexpected PNG row layout.");

    if (!out.allocate(int32_t(width), int32_t(height), bits).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    uint8_t* target = out.pixels();
    if (alpha) {
        try {
            r.rgba.resize(rowBytes * height);
        } catch (const std::bad_alloc&) {
            return Status::failure(StatusCode::OutOfMemory, "Out of memory");
        }
        target = r.rgba.data();
    } else if (oneBit) {
        // libpng keeps the unused bits of a packed row's last byte: make them zero.
        std::memset(out.pixels(), 0, out.pixelBytes());
    }
    const bool plainRows = depth == 8 && interlace == PNG_INTERLACE_NONE &&
                           (colorType == PNG_COLOR_TYPE_RGB_ALPHA ||
                            (colorType == PNG_COLOR_TYPE_RGB && !transparent));
    if (r.direct && plainRows) {
        if (!readDirect(r, width, height, alpha ? 4 : 3, target)) {
            r.leftToLibpng = true;
            return Status::failure(StatusCode::Corrupt, "");
        }
    } else {
        r.rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            r.rows[y] = target + std::size_t(y) * rowBytes;
        png_read_image(png, r.rows.data());
        png_read_end(png, nullptr);
    }
    if (alpha) compositeRgbaOverWhite(r.rgba.data(), std::size_t(width) * height, out.pixels());

    if (palette) {
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &entries, &count);
        for (int i = 0; i < count && i < 256; ++i)
            out.palette[std::size_t(i)] = {entries[i].blue, entries[i].green, entries[i].red, 0};
        out.paletteSize = oneBit ? 2 : 256;
    } else if (oneBit) {
        setGreyPalette(out, 2);
    }
    if ((palette || oneBit) && transparent) paletteOverWhite(png, info, palette, out);
    out.info.format = oneBit ? kFormatPng1 : palette ? kFormatPng8 : kFormatPng;

    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileBytes = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileBytes) &&
        profileBytes <= options.limits.maxProfileBytes && isRgbProfile({profile, profileBytes}))
        out.info.iccProfile.assign(profile, profile + profileBytes);

    png_uint_32 xppu = 0, yppu = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xppu, &yppu, &unit)) {
        if (unit == PNG_RESOLUTION_METER) {
            out.info.xResolution = xppu / 100;
            out.info.yResolution = yppu / 100;
            out.info.resolutionUnit = 3;
        } else {
            out.info.xResolution = xppu;
            out.info.yResolution = yppu;
            out.info.resolutionUnit = 1;
        }
    }
    return Status::success();
}

struct Writer {
    Messages messages;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t>* out = nullptr;
    std::vector<png_bytep> rows;
    std::vector<png::StreamPiece> idat; // the zlib stream of a 24-bit picture, in pieces
    ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

void writeToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "Out of memory");
    }
}

void flushNothing(png_structp) {}

// Pixels per metre from the stored value and unit (2 per inch, 3 per centimetre).
png_uint_32 pixelsPerMetre(uint32_t value, uint32_t unit) {
    if (unit == 2) return png_uint_32(std::lround(value / 0.0254));
    if (unit == 3)
        return png_uint_32(uint64_t(value) * 100 > 0xFFFFFFFFu ? 0xFFFFFFFFu : value * 100);
    return value;
}

// IDAT chunks hold at most this many bytes of the zlib stream.
constexpr std::size_t kIdatChunkBytes = std::size_t(256) << 10;

// Appends a chunk's length or CRC, most significant byte first.
void appendBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

// The pixels of a 24-bit picture, filtered and compressed in bands on several threads (libpng
// does both on one), then written as IDAT chunks and the closing IEND. libpng's own
// png_write_end would refuse to finish a file whose IDATs it did not make. The IDAT chunks go
// straight into the output (libpng writes through writeToVector and keeps nothing back), with
// their CRCs from libdeflate, which computes the same values several times faster than zlib.
void writeRgbData(Writer& w, const Picture& picture) {
    png_structp png = w.png;
    if (!png::compressRgbRows(picture, w.idat)) png_error(png, "Out of memory");
    std::size_t remaining = 0;
    for (const png::StreamPiece& piece : w.idat)
        remaining += piece.size();
    bool reserved = true;
    try {
        w.out->reserve(w.out->size() + remaining + (remaining / kIdatChunkBytes + 2) * 12);
    } catch (const std::bad_alloc&) {
        reserved = false;
    }
    if (!reserved) png_error(png, "Out of memory");
    static constexpr uint8_t kIdat[4] = {'I', 'D', 'A', 'T'};
    std::vector<uint8_t>& out = *w.out;
    std::size_t piece = 0, offset = 0;
    while (remaining > 0) {
        const std::size_t chunk = std::min(remaining, kIdatChunkBytes);
        appendBigEndian(out, uint32_t(chunk));
        out.insert(out.end(), kIdat, kIdat + 4);
        uint32_t crc = libdeflate_crc32(0, kIdat, 4);
        for (std::size_t left = chunk; left > 0;) {
            const png::StreamPiece& bytes = w.idat[piece];
            const std::size_t take = std::min(left, bytes.size() - offset);
            crc = libdeflate_crc32(crc, bytes.data() + offset, take);
            out.insert(out.end(), bytes.data() + offset, bytes.data() + offset + take);
            offset += take;
            left -= take;
            if (offset == bytes.size()) {
                ++piece;
                offset = 0;
            }
        }
        appendBigEndian(out, crc);
        remaining -= chunk;
    }
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
}

void encode(Writer& w, const Picture& picture) {
    png_structp png = w.png;
    png_infop info = w.info;
    png_set_write_fn(png, w.out, writeToVector, flushNothing);
    const int bits = picture.bitsPerPixel;
    const int colorType = bits == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE;
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height),
                 bits == 1 ? 1 : 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (bits != 24) {
        const int count = bits == 1                 ? 2
                          : picture.paletteSize > 0 ? std::min(picture.paletteSize, 256)
                                                    : 256;
        png_color entries[256];
        for (int i = 0; i < count; ++i) {
            const PaletteEntry& e = picture.palette[std::size_t(i)];
            entries[i] = {e.red, e.green, e.blue};
        }
        png_set_PLTE(png, info, entries, count);
    }
    // The picture's own profile; without one (or one libpng refuses) the pixels are sRGB: say
    // so, with the matching gAMA for readers that know no sRGB.
    if (!picture.info.iccProfile.empty()) {
        png_set_benign_errors(png, 1);
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                     picture.info.iccProfile.data(), png_uint_32(picture.info.iccProfile.size()));
    }
    if (!png_get_valid(png, info, PNG_INFO_iCCP)) {
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
        png_set_gAMA_fixed(png, info, 45455);
    }
    const SaveResolution resolution = saveResolution(picture.writeOptions);
    if (resolution.x > 0 && resolution.y > 0)
        png_set_pHYs(png, info, pixelsPerMetre(resolution.x, resolution.unit),
                     pixelsPerMetre(resolution.y, resolution.unit),
                     resolution.unit == 2 || resolution.unit == 3 ? PNG_RESOLUTION_METER
                                                                  : PNG_RESOLUTION_UNKNOWN);
    if (bits == 24) {
        png_write_info(png, info);
        writeRgbData(w, picture);
        return;
    }
    // zlib level 3 with adaptive filtering: for palette and 1-bit pictures, small anyway.
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    w.rows.resize(std::size_t(picture.height));
    for (int32_t y = 0; y < picture.height; ++y)
        w.rows[std::size_t(y)] =
            const_cast<png_bytep>(picture.pixels() + std::size_t(y) * picture.rowBytes());
    png_write_image(png, w.rows.data());
    png_write_end(png, info);
}

} // namespace

bool probePng(ByteSpan bytes) {
    return bytes.data && bytes.size >= 8 && std::memcmp(bytes.data, kSignature, 8) == 0;
}

uint32_t classifyPng(ByteSpan bytes) {
    // IHDR is the first chunk: its bit depth and colour type sit at fixed offsets.
    if (!probePng(bytes) || bytes.size < 26 || std::memcmp(bytes.data + 12, "IHDR", 4) != 0)
        return kFormatPng;
    const uint8_t depth = bytes.data[24], colorType = bytes.data[25];
    if (depth == 1 && (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_PALETTE))
        return kFormatPng1;
    if (colorType == PNG_COLOR_TYPE_PALETTE) return kFormatPng8;
    return kFormatPng;
}

namespace {

// One reading of the file, with or without readDirect; leftToLibpng says whether readDirect
// gave up.
Status readOnce(ByteSpan bytes, Picture& out, const ReadOptions& options, bool direct,
                bool& leftToLibpng) {
    Reader r;
    r.source.bytes = bytes;
    r.direct = direct;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.messages, onError, onWarning);
    if (r.png) r.info = png_create_info_struct(r.png);
    if (!r.png || !r.info) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    Status status;
    if (setjmp(png_jmpbuf(r.png))) {
        status = Status::failure(StatusCode::Corrupt, pngReason(r.messages.error));
    } else {
        status = decode(r, out, options);
    }
    leftToLibpng = r.leftToLibpng;
    return status;
}

} // namespace

Status readPng(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    return readPngWith(bytes, out, options, true);
}

Status readPngWith(ByteSpan bytes, Picture& out, const ReadOptions& options, bool direct) {
    out.release();
    if (!probePng(bytes)) return Status::failure(StatusCode::Corrupt, "Not a PNG file.");
    bool leftToLibpng = false;
    Status status = readOnce(bytes, out, options, direct, leftToLibpng);
    if (leftToLibpng) status = readOnce(bytes, out, options, false, leftToLibpng);
    if (!status.ok()) out.release();
    return status;
}

Status writePng(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    const int bits = picture.bitsPerPixel;
    if (!picture.hasPixels() || (bits != 24 && bits != 8 && bits != 1))
        return Status::failure(StatusCode::Unsupported,
                               "Only 24-bit, 8-bit and 1-bit pictures are written as PNG.");
    Writer w;
    w.out = &out;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.messages, onError, onWarning);
    if (w.png) w.info = png_create_info_struct(w.png);
    if (!w.png || !w.info) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    if (setjmp(png_jmpbuf(w.png))) {
        out.clear();
        return Status::failure(StatusCode::WriteFailed,
                               libraryReason("PNG file", w.messages.error));
    }
    encode(w, picture);
    return Status::success();
}

} // namespace velanox::codec
