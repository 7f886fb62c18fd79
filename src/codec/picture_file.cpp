// Picture's file side: loading through the format table (camera raw first), saving through a
// temporary file, and the format decisions.
#include "codec/picture.h"

#include "codec/codec.h"
#include "codec/file_io.h"
#include "codec/format_table.h"

#include <cmath>

namespace velanox {
namespace {

bool isTiff(uint32_t id) {
    return id == kFormatTiff || id == kFormatTiff8 || id == kFormatTiff1;
}

bool isJpeg(uint32_t id) {
    return id == kFormatJpeg || id == kFormatJpegGrey;
}

// The writers of these ids take 24-bit pictures only; others write palette and 1-bit too.
bool writesTrueColourOnly(uint32_t id) {
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

int fail(const Picture& picture, const codec::Status& status) {
    picture.errorReason = status.reason;
    return status.code;
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

int Picture::load(const std::string& path, uint32_t formatId, uint32_t page) {
    release();
    errorReason.clear();
    exifBlock.clear();
    exif = ExifSummary{};
    orientation = 1;
    iccProfile.clear();
    if (path.empty()) {
        errorReason = "No file name.";
        return kPictureEmptyPath;
    }
    std::vector<uint8_t> bytes;
    if (codec::Status s = codec::readWholeFile(path, bytes); !s.ok()) return fail(*this, s);
    if (bytes.empty()) {
        errorReason = "The file is empty.";
        return codec::kCodecCorrupt;
    }
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
        codec::Status rawStatus;
        if (raw.read && (!raw.probe || raw.probe(span))) {
            recognisedAsRaw = raw.probe != nullptr;
            Picture decoded;
            rawStatus = raw.read(span, decoded, options);
            if (rawStatus.ok() && decoded.hasPixels() && decoded.bitsPerPixel == 24) {
                takeFrom(decoded);
                exif = std::move(decoded.exif);
                format = kFormatAuto;
                filePath = path;
                tiffPage = 0;
                fileWidth = width;
                fileHeight = height;
                // A raw file carries no resolution of its own here.
                xResolution = yResolution = 300;
                resolutionUnit = 1;
                saveXResolution = saveYResolution = 300;
                saveResolutionUnit = 1;
                return kPictureOk;
            }
            release();
            exif = ExifSummary{};
        }
        formatId = codec::detectFormat(span, path);
        // A camera raw that the decoder recognised but could not decode is not read as the
        // TIFF container most raws come in (that would be the small preview picture, or a
        // complaint about strips): the decoder's reason is the real one.
        if (recognisedAsRaw && (formatId == kFormatAuto || isTiff(formatId))) {
            if (rawStatus.reason.empty())
                rawStatus.reason = "Camera raw: the file cannot be decoded.";
            if (rawStatus.ok()) rawStatus.code = codec::kCodecCorrupt;
            return fail(*this, rawStatus);
        }
        if (formatId == kFormatAuto) {
            errorReason = "The file's format is not known.";
            return kPictureNoReader;
        }
    }
    const codec::FormatEntry* row = codec::formatEntry(formatId);
    if (!row || !row->read) {
        errorReason = "No reader for this format.";
        return kPictureNoReader;
    }

    xResolution = yResolution = resolutionUnit = 0;
    if (codec::Status s = row->read(span, *this, options); !s.ok()) {
        release();
        return fail(*this, s);
    }
    if (!hasPixels()) {
        errorReason = "The reader delivered no pixels.";
        return codec::kCodecCorrupt;
    }
    filePath = path;
    tiffPage = isTiff(format) ? page : 0;
    if (!isJpeg(format)) {
        fileWidth = width;
        fileHeight = height;
    }
    if (xResolution == 0 && yResolution == 0 && resolutionUnit == 0) {
        xResolution = yResolution = 300;
        resolutionUnit = 1;
    }
    if (int rc = toTrueColour(); rc != kPictureOk) {
        release();
        errorReason = rc == kPictureOutOfMemory ? "Out of memory" : "Unsupported pixel depth.";
        return rc;
    }
    // Fax pages and the like have rectangular pixels: stretch them square, and say so in the
    // resolution, so that a save and a reload do not stretch the picture a second time.
    if (isTiff(format) && xResolution != 0 && yResolution != xResolution) {
        const double ratio = double(yResolution) / double(xResolution);
        const int64_t newHeight = int64_t(double(height) / ratio);
        if (ratio != 0 && std::fabs(ratio - 1.0) > 0.25 && newHeight > 0 &&
            codec::checkSize(width, newHeight, options.limits).ok()) {
            if (int rc = resample(width, int32_t(newHeight)); rc != kPictureOk) {
                release();
                errorReason = "Out of memory";
                return rc;
            }
            yResolution = xResolution;
            fileHeight = height;
        }
    }
    saveXResolution = xResolution;
    saveYResolution = yResolution;
    saveResolutionUnit = resolutionUnit;
    return kPictureOk;
}

int Picture::save(const std::string& path, uint32_t formatId) const {
    errorReason.clear();
    if (!hasPixels()) {
        errorReason = "There is no picture to save.";
        return kPictureNoReader;
    }
    if (path.empty()) {
        errorReason = "No file name.";
        return kPictureEmptyPath;
    }
    if (formatId == kFormatAuto) formatId = codec::formatFromExtension(path);
    const codec::FormatEntry* row = codec::formatEntry(formatId);
    if (!row || !row->write) {
        errorReason = "No writer for this format.";
        return kPictureNoReader;
    }

    const Picture* source = this;
    Picture trueColour;
    if (bitsPerPixel != 24 && writesTrueColourOnly(formatId)) {
        if (int rc = trueColour.copyFrom(*this); rc != kPictureOk) {
            errorReason = "Out of memory";
            return rc;
        }
        if (int rc = trueColour.toTrueColour(); rc != kPictureOk) {
            errorReason = "Unsupported pixel depth.";
            return rc;
        }
        // The writer options and EXIF of this picture, on the converted pixels.
        trueColour.jpegQuality = jpegQuality;
        trueColour.jpegFullChroma = jpegFullChroma;
        trueColour.jpegProgressive = jpegProgressive;
        trueColour.tiffCompression = tiffCompression;
        trueColour.wbmpThreshold = wbmpThreshold;
        trueColour.bmpOptionFlag = bmpOptionFlag;
        trueColour.saveXResolution = saveXResolution;
        trueColour.saveYResolution = saveYResolution;
        trueColour.saveResolutionUnit = saveResolutionUnit;
        trueColour.exifBlock = exifBlock;
        trueColour.orientation = orientation;
        trueColour.iccProfile = iccProfile;
        source = &trueColour;
    }
    std::vector<uint8_t> bytes;
    if (codec::Status s = row->write(*source, bytes); !s.ok()) return fail(*this, s);
    if (codec::Status s = codec::writeFileAtomically(path, bytes); !s.ok()) return fail(*this, s);
    return kPictureOk;
}

} // namespace velanox
