#include "codec/tiff/tiff_codec.h"

#include "codec/icc/icc_profile.h"
#include "codec/library_reason.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <tiffio.h>

namespace velanox::codec {
namespace {

// One open TIFF in memory: the bytes read, or the vector written, and the messages libtiff
// gave (without the name of the libtiff function that gave them). Errors and warnings never
// reach the terminal.
struct MemoryFile {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
    std::vector<uint8_t>* out = nullptr; // when writing
    std::size_t position = 0;
    std::string firstError;
    std::string damage; // a warning that says the directory points outside the file
};

int onError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* file = static_cast<MemoryFile*>(user);
    if (file && file->firstError.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        file->firstError = text;
    }
    return 1;
}

// libtiff only warns about tags whose data lie outside the file or fail its sanity checks, and
// drops them; such a file is damaged, and is refused rather than half read.
int onWarning(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* file = static_cast<MemoryFile*>(user);
    if (!file || !file->damage.empty()) return 1;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (std::strstr(text, "IO error") || std::strstr(text, "Sanity check")) file->damage = text;
    return 1;
}

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const std::size_t length = file->out ? file->out->size() : file->size;
    const uint8_t* data = file->out ? file->out->data() : file->data;
    if (size < 0 || file->position >= length) return 0;
    const std::size_t n = std::min(std::size_t(size), length - file->position);
    std::memcpy(buffer, data + file->position, n);
    file->position += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (!file->out || size < 0) return -1;
    try {
        const std::size_t end = file->position + std::size_t(size);
        if (end > file->out->size()) file->out->resize(end);
        std::memcpy(file->out->data() + file->position, buffer, std::size_t(size));
        file->position = end;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return size;
}

toff_t sizeProc(thandle_t handle) {
    auto* file = static_cast<MemoryFile*>(handle);
    return file->out ? file->out->size() : file->size;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    if (whence == SEEK_END) base = sizeProc(handle);
    const uint64_t target = base + offset;
    if (target > (uint64_t(1) << 40)) return toff_t(-1);
    file->position = std::size_t(target);
    return target;
}

int closeProc(thandle_t) {
    return 0;
}

int mapProc(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (file->out) return 0;
    *base = const_cast<uint8_t*>(file->data);
    *size = file->size;
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle openTiff(MemoryFile& file, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, &file);
    TIFF* tif = TIFFClientOpenExt("memory", mode, &file, readProc, writeProc, seekProc, closeProc,
                                  sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tif);
}

Status failure(StatusCode code, const MemoryFile& file, const char* fallback) {
    return Status::failure(code, file.firstError.empty() ? std::string(fallback)
                                                         : tiffReason(file.firstError));
}

// Colour maps are 16 bits per entry; some writers put 8-bit values in them.
uint8_t mapEntry(uint16_t value, bool eightBit) {
    return uint8_t(eightBit ? value : value >> 8);
}

Status readBilevel(TIFF* tif, const MemoryFile& file, Picture& out, uint32_t width, uint32_t height,
                   uint16_t photometric) {
    if (!out.allocate(int32_t(width), int32_t(height), 1).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    if (std::size_t(TIFFScanlineSize(tif)) != out.rowBytes())
        return Status::failure(StatusCode::Unsupported, "Unexpected TIFF row layout.");
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out.pixels() + std::size_t(y) * out.rowBytes();
        if (TIFFReadScanline(tif, row, y, 0) < 0)
            return failure(StatusCode::Corrupt, file, "The TIFF data is damaged.");
        // Bit 1 is black here, as in the file when 0 is white.
        if (photometric == PHOTOMETRIC_MINISBLACK)
            for (std::size_t i = 0; i < out.rowBytes(); ++i)
                row[i] = uint8_t(~row[i]);
    }
    out.palette[0] = {255, 255, 255, 0};
    out.palette[1] = {0, 0, 0, 0};
    out.paletteSize = 2;
    out.info.format = kFormatTiff1;
    return Status::success();
}

Status readIndexed(TIFF* tif, const MemoryFile& file, Picture& out, uint32_t width, uint32_t height,
                   uint16_t bits, uint16_t photometric) {
    const std::size_t lineSize = std::size_t(TIFFScanlineSize(tif));
    if (lineSize != (std::size_t(width) * bits + 7) / 8)
        return Status::failure(StatusCode::Unsupported, "Unexpected TIFF row layout.");
    const int levels = 1 << bits;
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
            return failure(StatusCode::Corrupt, file, "The TIFF palette is missing.");
        bool eightBit = true;
        for (int i = 0; i < levels; ++i)
            if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
        for (int i = 0; i < levels; ++i)
            out.palette[std::size_t(i)] = {mapEntry(blue[i], eightBit),
                                           mapEntry(green[i], eightBit), mapEntry(red[i], eightBit),
                                           0};
    } else {
        for (int i = 0; i < levels; ++i) {
            uint8_t v = uint8_t(i * 255 / (levels - 1));
            if (photometric == PHOTOMETRIC_MINISWHITE) v = uint8_t(255 - v);
            out.palette[std::size_t(i)] = {v, v, v, 0};
        }
    }
    Picture indexed;
    if (!indexed.allocate(int32_t(width), int32_t(height), 8).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    std::vector<uint8_t> line(lineSize);
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
            return failure(StatusCode::Corrupt, file, "The TIFF data is damaged.");
        uint8_t* row = indexed.pixels() + std::size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            const std::size_t bit = std::size_t(x) * bits;
            row[x] = uint8_t((line[bit / 8] >> (8 - bits - bit % 8)) & (levels - 1));
        }
    }
    const auto palette = out.palette;
    out.takeFrom(indexed);
    out.palette = palette;
    out.paletteSize = 256;
    out.info.format = kFormatTiff8;
    return Status::success();
}

Status readRgba(TIFF* tif, const MemoryFile& file, Picture& out, uint32_t width, uint32_t height) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message))
        return Status::failure(StatusCode::Unsupported, libraryReason("TIFF file", message));
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow)
                                           uint32_t[std::size_t(width) * std::size_t(height)]);
    if (!raster || !out.allocate(int32_t(width), int32_t(height), 24).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster.get(), ORIENTATION_TOPLEFT, 1))
        return failure(StatusCode::Corrupt, file, "The TIFF data is damaged.");
    const std::size_t count = std::size_t(width) * std::size_t(height);
    uint8_t* p = out.pixels();
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        const uint32_t v = raster[i];
        p[0] = uint8_t(TIFFGetR(v));
        p[1] = uint8_t(TIFFGetG(v));
        p[2] = uint8_t(TIFFGetB(v));
    }
    out.info.format = kFormatTiff;
    return Status::success();
}

void readResolution(TIFF* tif, Picture& out) {
    float x = 0, y = 0;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) ||
        !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) || !std::isfinite(x) || !std::isfinite(y) ||
        x <= 0 || y <= 0)
        return; // none: the loader puts its default
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    const auto value = [](float v) { return uint32_t(std::lround(std::min(v, 4.0e9f))); };
    out.info.xResolution = value(x);
    out.info.yResolution = value(y);
    out.info.resolutionUnit = unit == RESUNIT_INCH ? 2 : unit == RESUNIT_CENTIMETER ? 3 : 1;
}

} // namespace

bool probeTiff(ByteSpan bytes) {
    if (!bytes.data || bytes.size < 4) return false;
    const uint8_t* d = bytes.data;
    const bool little = d[0] == 'I' && d[1] == 'I' && (d[2] == 42 || d[2] == 43) && d[3] == 0;
    const bool big = d[0] == 'M' && d[1] == 'M' && d[2] == 0 && (d[3] == 42 || d[3] == 43);
    return little || big;
}

uint32_t classifyTiff(ByteSpan bytes) {
    if (!probeTiff(bytes)) return kFormatTiff;
    MemoryFile file;
    file.data = bytes.data;
    file.size = bytes.size;
    TiffHandle tif = openTiff(file, "r");
    if (!tif) return kFormatTiff;
    uint16_t bits = 1, samples = 1;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    const unsigned depth = unsigned(bits) * samples;
    return depth == 1 ? kFormatTiff1 : depth <= 8 ? kFormatTiff8 : kFormatTiff;
}

// The most pixel bytes one byte of data can give under a compression scheme; 0 when there is
// no useful bound (JPEG, fax codes and the rest).
uint64_t maxExpansion(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64; // 128 bytes from 2
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return 1032; // 258 bytes from 2 bits
    case COMPRESSION_LZW:
        return 2731; // a 12-bit code stands for at most 4096 bytes
    default:
        return 0;
    }
}

// Whether the strips or tiles of the current page can hold its pixels: a file whose header
// promises far more than its data can give is refused before the picture is reserved.
bool dataCanHold(TIFF* tif, uint64_t fileSize, uint64_t width, uint64_t height, uint16_t bits,
                 uint16_t samples) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    const uint64_t ratio = maxExpansion(compression);
    if (ratio == 0) return true;
    const uint64_t* counts = nullptr;
    const bool tiled = TIFFIsTiled(tif);
    if (!TIFFGetField(tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) ||
        counts == nullptr)
        return true;
    const uint64_t pieces = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    uint64_t stored = 0;
    for (uint64_t i = 0; i < pieces && stored < fileSize; ++i)
        stored += std::min(counts[i], fileSize);
    stored = std::min(stored, fileSize);
    const uint64_t pixelBytes = width * height * bits * samples / 8;
    constexpr uint64_t kSlack = 4096;
    return pixelBytes <= stored * ratio + kSlack;
}

Status readTiff(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    if (!probeTiff(bytes)) return Status::failure(StatusCode::Corrupt, "Not a TIFF file.");
    MemoryFile file;
    file.data = bytes.data;
    file.size = bytes.size;
    TiffHandle tif = openTiff(file, "r");
    if (!tif) return failure(StatusCode::Corrupt, file, "The TIFF file cannot be read.");
    if (!file.damage.empty()) return Status::failure(StatusCode::Corrupt, tiffReason(file.damage));
    if (options.page > 0 && !TIFFSetDirectory(tif.get(), tdir_t(options.page)))
        return Status::failure(StatusCode::Corrupt, "The TIFF file has no page " +
                                                        std::to_string(options.page + 1) + ".");
    if (!file.damage.empty()) return Status::failure(StatusCode::Corrupt, tiffReason(file.damage));
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    const bool hasPhotometric = TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (Status s = checkSize(width, height, options.limits); !s.ok()) return s;
    if (!dataCanHold(tif.get(), bytes.size, width, height, bits, samples))
        return Status::failure(core::StatusCode::Corrupt, truncatedReason("TIFF file"));

    const bool stripped = !TIFFIsTiled(tif.get());
    const bool grey =
        photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    Status status;
    if (stripped && samples == 1 && bits == 1 && grey)
        status = readBilevel(tif.get(), file, out, width, height, photometric);
    else if (stripped && samples == 1 && hasPhotometric &&
             (((bits == 2 || bits == 4 || bits == 8) && grey) ||
              ((bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
               photometric == PHOTOMETRIC_PALETTE)))
        status = readIndexed(tif.get(), file, out, width, height, bits, photometric);
    else
        status = readRgba(tif.get(), file, out, width, height);
    if (!status.ok()) {
        out.release();
        return status;
    }
    readResolution(tif.get(), out);
    uint32_t profileBytes = 0;
    const uint8_t* profile = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &profileBytes, &profile) && profile &&
        profileBytes <= options.limits.maxProfileBytes && isRgbProfile({profile, profileBytes}))
        out.info.iccProfile.assign(profile, profile + profileBytes);
    return Status::success();
}

Status writeTiff(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    const int bits = picture.bitsPerPixel;
    if (!picture.hasPixels() || (bits != 24 && bits != 8 && bits != 1))
        return Status::failure(StatusCode::Unsupported,
                               "Only 24-bit, 8-bit and 1-bit pictures are written as TIFF.");
    const uint32_t compression = picture.writeOptions.get(kTiffCompression);
    if (compression > 0xFFFF || !TIFFIsCODECConfigured(uint16_t(compression)))
        return Status::failure(StatusCode::Unsupported, "TIFF compression " +
                                                            std::to_string(compression) +
                                                            " is not available.");
    // Room for the whole file at once: grown write by write, the buffer would be copied at
    // every doubling and hold up to twice the file for a moment. Room not written costs no
    // memory.
    try {
        out.reserve(picture.pixelBytes() + picture.info.iccProfile.size() + (std::size_t(1) << 20));
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::WriteFailed,
                               "Not enough memory to write the TIFF file.");
    }
    MemoryFile file;
    file.out = &out;
    TiffHandle tif = openTiff(file, "w");
    if (!tif) return failure(StatusCode::WriteFailed, file, "The TIFF file cannot be written.");
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(bits == 1 ? 1 : 8));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(bits == 24 ? 3 : 1));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(compression));
    const PaletteEntry* pal = picture.palette.data();
    const auto isGrey = [&](int i, uint8_t v) {
        return pal[i].red == v && pal[i].green == v && pal[i].blue == v;
    };
    std::vector<uint16_t> map;
    if (bits == 24) {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    } else if (bits == 1 && isGrey(0, 255) && isGrey(1, 0)) {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    } else if (bits == 1 && isGrey(0, 0) && isGrey(1, 255)) {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    } else {
        const std::size_t levels = bits == 1 ? 2 : 256;
        map.resize(levels * 3);
        for (std::size_t i = 0; i < levels; ++i) {
            map[i] = uint16_t(pal[i].red * 257);
            map[levels + i] = uint16_t(pal[i].green * 257);
            map[2 * levels + i] = uint16_t(pal[i].blue * 257);
        }
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
        TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + levels, map.data() + 2 * levels);
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    const SaveResolution resolution = saveResolution(picture.writeOptions);
    if (resolution.x > 0 && resolution.y > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, float(resolution.x));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, float(resolution.y));
        const uint32_t unit = resolution.unit;
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT,
                     uint16_t(unit == 2   ? RESUNIT_INCH
                              : unit == 3 ? RESUNIT_CENTIMETER
                                          : RESUNIT_NONE));
    }
    if (bits == 24 && !picture.info.iccProfile.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(picture.info.iccProfile.size()),
                     picture.info.iccProfile.data());
    // Some codecs work in the row buffer they are handed: give them a copy.
    std::vector<uint8_t> row(picture.rowBytes());
    for (int32_t y = 0; y < picture.height; ++y) {
        std::memcpy(row.data(), picture.pixels() + std::size_t(y) * row.size(), row.size());
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0)
            return failure(StatusCode::WriteFailed, file, "The TIFF file cannot be written.");
    }
    if (!TIFFWriteDirectory(t))
        return failure(StatusCode::WriteFailed, file, "The TIFF file cannot be written.");
    tif.reset();
    if (!file.firstError.empty()) return failure(StatusCode::WriteFailed, file, "");
    return Status::success();
}

} // namespace velanox::codec
