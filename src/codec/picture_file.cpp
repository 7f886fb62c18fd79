// Picture's file side: loading through the format table (camera raw first), saving through a
// temporary file, and the format decisions.
#include "codec/picture.h"

#include "codec/codec.h"
#include "codec/file_io.h"
#include "codec/format_table.h"

#include <cmath>

namespace velanox::codec {
namespace {

bool isTiff(uint32_t id) {
    return id == kFormatTiff || id == kFormatTiff8 || id == kFormatTiff1;
}

bool isJpeg(uint32_t id) {
    return id == kFormatJpeg || id == kFormatJpegGrey;
}

// The writers of these ids take 24-bit pictures only; others write palette and 1-bit too.
bool writesTrueColorOnly(uint32_t id) {
    switch (id) {
    case kFormatJpeg:
    case kFormatBmp:
    case kFormatPcx:
    case kFormatPng:
    case kFormatTiff:
    case kFormatTarga:
    case kFormatWmf:
    case kFormatEmf:
    case kFormatPsd:
    case kFormatWebp:
    case kFormatAvif:
    case kFormatJxl:
        return true;
    default:
        return false;
    }
}

Status failure(StatusCode code, const char* reason) {
    return Status::failure(code, reason);
}

} // namespace

uint32_t Picture::formatFromExtension(const std::string& path) {
    return codec::formatFromExtension(path);
}

uint32_t Picture::detectFormat(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!codec::readWholeFile(path, bytes).ok()) return kFormatAuto;
    return codec::detectFormat({bytes.data(), bytes.size()}, path);
}

Status Picture::load(const std::string& path, uint32_t formatId, uint32_t page) {
    release();
    info.exifBlock.clear();
    info.exif = ExifSummary{};
    info.orientation = 1;
    info.iccProfile.clear();
    if (path.empty()) return failure(StatusCode::EmptyPath, "No file name.");
    std::vector<uint8_t> bytes;
    if (Status s = codec::readWholeFile(path, bytes); !s.ok()) return s;
    if (bytes.empty()) return failure(StatusCode::Corrupt, "The file is empty.");
    const codec::ByteSpan span{bytes.data(), bytes.size()};

    codec::ReadOptions options;
    options.page = page;
    options.previewMaxWidth = previewMaxWidth;
    options.previewMaxHeight = previewMaxHeight;

    if (formatId == kFormatAuto) {
        // Every file opened automatically goes through the camera raw decoder first; a file it
        // does not recognise goes on to detection without a word.
        const codec::RawDecoderHook& raw = codec::rawDecoderHook();
        bool recognisedAsRaw = false;
        Status rawStatus;
        if (raw.read && (!raw.probe || raw.probe(span))) {
            recognisedAsRaw = raw.probe != nullptr;
            Picture decoded;
            rawStatus = raw.read(span, decoded, options);
            if (rawStatus.ok() && decoded.hasPixels() && decoded.bitsPerPixel == 24) {
                takeFrom(decoded);
                info.exif = std::move(decoded.info.exif);
                info.format = kFormatAuto;
                info.filePath = path;
                info.tiffPage = 0;
                info.fileWidth = width;
                info.fileHeight = height;
                // A raw file carries no resolution of its own here.
                info.xResolution = info.yResolution = 300;
                info.resolutionUnit = 1;
                writeOptions.set(kSaveXResolution, 300u);
                writeOptions.set(kSaveYResolution, 300u);
                writeOptions.set(kSaveResolutionUnit, 1u);
                return Status::success();
            }
            release();
            info.exif = ExifSummary{};
        }
        formatId = codec::detectFormat(span, path);
        // A camera raw that the decoder recognised but could not decode is not read as the
        // TIFF container most raws come in (that would be the small preview picture, or a
        // complaint about strips): the decoder's reason is the real one.
        if (recognisedAsRaw && (formatId == kFormatAuto || isTiff(formatId))) {
            if (rawStatus.reason.empty())
                rawStatus.reason = "Camera raw: the file cannot be decoded.";
            if (rawStatus.ok()) rawStatus.code = StatusCode::Corrupt;
            return rawStatus;
        }
        if (formatId == kFormatAuto)
            return failure(StatusCode::NoReader, "The file's format is not known.");
    }
    const codec::FormatEntry* row = codec::formatEntry(formatId);
    if (!row || !row->read) return failure(StatusCode::NoReader, "No reader for this format.");

    info.xResolution = info.yResolution = info.resolutionUnit = 0;
    if (Status s = row->read(span, *this, options); !s.ok()) {
        release();
        return s;
    }
    if (!hasPixels()) return failure(StatusCode::Corrupt, "The reader delivered no pixels.");
    info.filePath = path;
    info.tiffPage = isTiff(info.format) ? page : 0;
    if (!isJpeg(info.format)) {
        info.fileWidth = width;
        info.fileHeight = height;
    }
    if (info.xResolution == 0 && info.yResolution == 0 && info.resolutionUnit == 0) {
        info.xResolution = info.yResolution = 300;
        info.resolutionUnit = 1;
    }
    if (Status s = toTrueColour(); !s.ok()) {
        release();
        return s;
    }
    // Fax pages and the like have rectangular pixels: stretch them square, and say so in the
    // resolution, so that a save and a reload do not stretch the picture a second time.
    if (isTiff(info.format) && info.xResolution != 0 && info.yResolution != info.xResolution) {
        const double ratio = double(info.yResolution) / double(info.xResolution);
        const int64_t newHeight = int64_t(double(height) / ratio);
        if (ratio != 0 && std::fabs(ratio - 1.0) > 0.25 && newHeight > 0 &&
            codec::checkSize(width, newHeight, options.limits).ok()) {
            if (Status s = resample(width, int32_t(newHeight)); !s.ok()) {
                release();
                return s;
            }
            info.yResolution = info.xResolution;
            info.fileHeight = height;
        }
    }
    writeOptions.set(kSaveXResolution, info.xResolution);
    writeOptions.set(kSaveYResolution, info.yResolution);
    writeOptions.set(kSaveResolutionUnit, info.resolutionUnit);
    return Status::success();
}

Status Picture::save(const std::string& path, uint32_t formatId) const {
    if (!hasPixels()) return failure(StatusCode::NoReader, "There is no picture to save.");
    if (path.empty()) return failure(StatusCode::EmptyPath, "No file name.");
    if (formatId == kFormatAuto) formatId = codec::formatFromExtension(path);
    const codec::FormatEntry* row = codec::formatEntry(formatId);
    if (!row || !row->write) return failure(StatusCode::NoReader, "No writer for this format.");

    const Picture* source = this;
    Picture trueColor;
    if (bitsPerPixel != 24 && writesTrueColorOnly(formatId)) {
        if (Status s = trueColor.copyFrom(*this); !s.ok()) return s;
        if (Status s = trueColor.toTrueColour(); !s.ok()) return s;
        // The write options and EXIF of this picture, on the converted pixels.
        trueColor.writeOptions = writeOptions;
        trueColor.info.exifBlock = info.exifBlock;
        trueColor.info.orientation = info.orientation;
        trueColor.info.iccProfile = info.iccProfile;
        source = &trueColor;
    }
    std::vector<uint8_t> bytes;
    if (Status s = row->write(*source, bytes); !s.ok()) return s;
    return codec::writeFileAtomically(path, bytes);
}

} // namespace velanox::codec
