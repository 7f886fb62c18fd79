#include "codec/magick/magick_image.h"

#include "codec/alpha.h"
#include "codec/library_reason.h"
#include "codec/magick/magick_runtime.h"
#include "codec/rgb_rows.h"

#include <Magick++.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

namespace velanox::codec::magick {

namespace {

std::string formatName(const char* magick) {
    const std::string m = magick;
    if (m == "TGA") return "Targa";
    if (m == "PSD") return "Photoshop";
    if (m == "PCD") return "PhotoCD";
    if (m == "BMP") return "Bitmap";
    return m;
}

// ImageMagick's messages name the program and the (empty) file name of an in-memory read, and
// end with the source location: "velanox-nr-cli: improper image header `' @ error/pcx.c/...".
std::string reasonOf(const char* magick, const std::exception& e) {
    return magickReason(formatName(magick) + " file", e.what());
}

uint8_t toByte(MagickCore::Quantum q) {
    return uint8_t(
        std::lround(double(q) * 255.0 / double((uint64_t(1) << MAGICKCORE_QUANTUM_DEPTH) - 1)));
}

uint32_t trueColorVariant(uint32_t format) {
    switch (format) {
    case kFormatTarga8:
        return kFormatTarga;
    case kFormatPcx8:
        return kFormatPcx;
    case kFormatPsd8:
        return kFormatPsd;
    case kFormatBmp8:
    case kFormatBmp1:
        return kFormatBmp;
    default:
        return format;
    }
}

// 8-bit index pixels with the palette of a colour-mapped image.
void takeColorMap(Magick::Image& image, Picture& out) {
    const std::size_t colors = image.colorMapSize();
    for (std::size_t i = 0; i < colors; ++i) {
        const Magick::Color c = image.colorMap(i);
        out.palette[i].red = toByte(c.redQuantum());
        out.palette[i].green = toByte(c.greenQuantum());
        out.palette[i].blue = toByte(c.blueQuantum());
        out.palette[i].reserved = 0;
    }
    const std::size_t width = std::size_t(out.width);
    for (int32_t y = 0; y < out.height; ++y) {
        image.getConstPixels(0, y, width, 1);
        const MagickCore::IndexPacket* indexes = image.getConstIndexes();
        uint8_t* row = out.pixels() + std::size_t(y) * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t index = indexes ? std::size_t(indexes[x]) : 0;
            row[x] = uint8_t(index < colors ? index : 0);
        }
    }
}

// 8-bit grey levels as indices into a grey ramp, or black and white into two entries.
void takeGreyLevels(Magick::Image& image, Picture& out, int entries) {
    image.write(0, 0, out.width, out.height, "I", Magick::CharPixel, out.pixels());
    if (entries == 2) {
        uint8_t* p = out.pixels();
        for (std::size_t i = 0; i < out.pixelBytes(); ++i)
            p[i] = p[i] >= 128 ? 1 : 0;
        out.palette[1] = {255, 255, 255, 0};
        return;
    }
    for (int i = 0; i < 256; ++i)
        out.palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
}

bool isGrey(Magick::Image& image) {
    if (image.colorSpace() == MagickCore::GRAYColorspace) return true;
    const MagickCore::ImageType type = image.type();
    return type == MagickCore::GrayscaleType || type == MagickCore::BilevelType;
}

// The picture over white, when it has an alpha channel that is not zero everywhere (a
// fourth byte left at zero is no transparency). False when it has none.
bool readOverWhite(Magick::Image& image, Picture& out) {
    if (!image.matte()) return false;
    const std::size_t width = image.columns(), height = image.rows();
    std::vector<uint8_t> rgba(width * height * 4);
    image.write(0, 0, width, height, "RGBA", Magick::CharPixel, rgba.data());
    bool anyOpaque = false;
    for (std::size_t i = 3; i < rgba.size() && !anyOpaque; i += 4)
        anyOpaque = rgba[i] != 0;
    if (!anyOpaque) return false;
    if (!out.allocate(int32_t(width), int32_t(height), 24).ok()) throw std::bad_alloc();
    out.paletteSize = 0;
    compositeRgbaOverWhite(rgba.data(), width * height, out.pixels());
    return true;
}

Status packOneBit(Picture& out) {
    Picture packed;
    if (!packed.allocate(out.width, out.height, 1).ok())
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
    std::memset(packed.pixels(), 0, packed.pixelBytes());
    const std::size_t width = std::size_t(out.width);
    for (int32_t y = 0; y < out.height; ++y) {
        const uint8_t* src = out.pixels() + std::size_t(y) * width;
        uint8_t* dst = packed.pixels() + std::size_t(y) * packed.rowBytes();
        for (std::size_t x = 0; x < width; ++x)
            if (src[x]) dst[x / 8] |= uint8_t(0x80 >> (x % 8));
    }
    packed.palette = out.palette;
    packed.paletteSize = 2;
    out.takeFrom(packed);
    return Status::success();
}

} // namespace

void finishRead(Picture& out, uint32_t format) {
    out.info.format = format;
    out.info.fileWidth = out.width;
    out.info.fileHeight = out.height;
    out.info.xResolution = out.info.yResolution = 300;
    out.info.resolutionUnit = 1;
}

Status readImage(ByteSpan bytes, const ReadRequest& request, Picture& out, const Limits& limits) {
    out.release();
    if (!bytes.data || bytes.size == 0)
        return Status::failure(StatusCode::Corrupt,
                               formatName(request.magick) + " file: it is empty.");
    if (!ensureMagick())
        return Status::failure(StatusCode::NoReader, "The image library could not be started.");
    try {
        const Magick::Blob blob(bytes.data, bytes.size);
        // Photoshop files are read with their layers although only the merged picture is
        // kept: a file whose layer records are damaged is refused rather than half trusted.
        auto prepare = [&](Magick::Image& image) {
            image.quiet(true); // warnings about odd but readable files are not failures
            image.magick(request.magick);
        };
        {
            Magick::Image header;
            prepare(header);
            header.ping(blob);
            if (Status s = checkSize(int64_t(header.columns()), int64_t(header.rows()), limits);
                !s.ok())
                return s;
        }
        Magick::Image image;
        prepare(image);
        image.read(blob);
        if (Status s = checkSize(int64_t(image.columns()), int64_t(image.rows()), limits); !s.ok())
            return s;
        if (request.applyOrientation) {
            image.autoOrient();
            image.orientation(MagickCore::TopLeftOrientation);
        }
        const MagickCore::ColorspaceType space = image.colorSpace();
        if (space != MagickCore::sRGBColorspace && space != MagickCore::RGBColorspace &&
            space != MagickCore::GRAYColorspace && space != MagickCore::TransparentColorspace &&
            space != MagickCore::UndefinedColorspace)
            image.colorSpace(MagickCore::sRGBColorspace);

        const int32_t width = int32_t(image.columns()), height = int32_t(image.rows());
        uint32_t format = request.format;
        const int entries = request.paletteEntries;
        bool indexed = false;
        if (request.compositeAlpha && readOverWhite(image, out)) {
            finishRead(out, trueColorVariant(format));
            return Status::success();
        }
        if (entries > 0) {
            const bool mapped = image.classType() == MagickCore::PseudoClass &&
                                image.colorMapSize() > 0 &&
                                image.colorMapSize() <= std::size_t(entries);
            if (mapped || entries == 2 || isGrey(image)) {
                if (!out.allocate(width, height, 8).ok())
                    return Status::failure(StatusCode::OutOfMemory,
                                           "Not enough memory for the picture.");
                out.palette = {};
                out.paletteSize = entries;
                if (mapped)
                    takeColorMap(image, out);
                else
                    takeGreyLevels(image, out, entries);
                indexed = true;
            } else {
                format = trueColorVariant(format);
            }
        }
        if (!indexed) {
            if (!out.allocate(width, height, 24).ok())
                return Status::failure(StatusCode::OutOfMemory,
                                       "Not enough memory for the picture.");
            out.paletteSize = 0;
            image.write(0, 0, std::size_t(width), std::size_t(height), "RGB", Magick::CharPixel,
                        out.pixels());
        }
        if (indexed && request.packOneBit) {
            if (Status s = packOneBit(out); !s.ok()) return s;
        }
        finishRead(out, format);
        return Status::success();
    } catch (const std::bad_alloc&) {
        out.release();
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
    } catch (const std::exception& e) {
        out.release();
        return Status::failure(StatusCode::Corrupt, reasonOf(request.magick, e));
    } catch (...) {
        out.release();
        return Status::failure(StatusCode::Corrupt,
                               formatName(request.magick) + " file: unreadable.");
    }
}

Status writeImage(const Picture& picture, const WriteRequest& request, std::vector<uint8_t>& out) {
    out.clear();
    if (!picture.hasPixels())
        return Status::failure(StatusCode::NoReader, "There are no pixels to write.");
    std::vector<uint8_t> rgb;
    if (!toRgbRows(picture, rgb))
        return Status::failure(picture.bitsPerPixel == 32 ? StatusCode::Unsupported
                                                          : StatusCode::OutOfMemory,
                               "The picture cannot be written at this depth.");
    if (request.twoLevelThreshold >= 0) {
        const int64_t limit = 3 * int64_t(request.twoLevelThreshold) * request.twoLevelThreshold;
        for (std::size_t i = 0; i < rgb.size(); i += 3) {
            const int64_t r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
            const uint8_t v = r * r + g * g + b * b >= limit ? 255 : 0;
            rgb[i] = rgb[i + 1] = rgb[i + 2] = v;
        }
    }
    if (!ensureMagick())
        return Status::failure(StatusCode::NoReader, "The image library could not be started.");
    try {
        Magick::Image image(std::size_t(picture.width), std::size_t(picture.height), "RGB",
                            Magick::CharPixel, rgb.data());
        image.quiet(true);
        if (request.twoLevelThreshold < 0) image.type(MagickCore::TrueColorType);
        // Rows are written top first and the file says so.
        image.orientation(MagickCore::TopLeftOrientation);
        const SaveResolution resolution = saveResolution(picture.writeOptions);
        const uint32_t unit = resolution.unit;
        if (request.carriesResolution && (unit == 2 || unit == 3) && resolution.x > 0 &&
            resolution.y > 0) {
            image.resolutionUnits(unit == 2 ? MagickCore::PixelsPerInchResolution
                                            : MagickCore::PixelsPerCentimeterResolution);
            image.density(Magick::Geometry(resolution.x, resolution.y));
        }
        if (request.carriesProfile && !picture.info.iccProfile.empty())
            image.iccColorProfile(
                Magick::Blob(picture.info.iccProfile.data(), picture.info.iccProfile.size()));
        Magick::Blob blob;
        image.write(&blob, request.magick);
        const auto* data = static_cast<const uint8_t*>(blob.data());
        if (!data || blob.length() == 0)
            return Status::failure(StatusCode::WriteFailed,
                                   formatName(request.magick) + " file: nothing was written.");
        out.assign(data, data + blob.length());
        return Status::success();
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory to write the picture.");
    } catch (const std::exception& e) {
        return Status::failure(StatusCode::WriteFailed, reasonOf(request.magick, e));
    } catch (...) {
        return Status::failure(StatusCode::WriteFailed,
                               formatName(request.magick) + " file: could not be written.");
    }
}

} // namespace velanox::codec::magick
