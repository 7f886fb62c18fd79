// Picture's file side: loading (codec/picture_load), saving through a temporary file, and the
// format decisions.
#include "codec/picture.h"

#include "codec/codec.h"
#include "codec/contained_reader.h"
#include "codec/file_io.h"
#include "codec/format_table.h"
#include "codec/picture_load.h"

namespace velanox {
namespace {

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

int loadWith(Picture& picture, const std::string& path, uint32_t formatId, uint32_t page,
             const codec::MemoryBudget& budget) {
    codec::LoadRequest request;
    request.format = formatId;
    request.page = page;
    request.previewMaxWidth = picture.previewMaxWidth;
    request.previewMaxHeight = picture.previewMaxHeight;
    request.limits.budget = budget;
    // A copy: waiting for the reader may run the caller's event loop, which may change them.
    const codec::ContainedReading contained = codec::containedReading();
    const codec::Status status =
        contained.enabled ? codec::loadPictureContained(path, request, contained, picture)
                          : codec::loadPictureFile(path, request, picture);
    picture.errorReason = status.reason;
    picture.errorDetail = status.detail;
    return status.code;
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
    return loadWith(*this, path, formatId, page, codec::MemoryBudget{});
}

int Picture::load(const std::string& path, const codec::MemoryBudget& budget) {
    return loadWith(*this, path, kFormatAuto, 0, budget);
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
