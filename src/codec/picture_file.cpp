// Picture's file side: loading (codec/picture_load), saving through a temporary file, and the
// format decisions.
#include "codec/picture.h"

#include "codec/codec.h"
#include "codec/contained_reader.h"
#include "codec/format_table.h"
#include "codec/picture_load.h"
#include "files/file_io.h"

namespace velanox::codec {
namespace {

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

Status loadWith(Picture& picture, const std::string& path, uint32_t formatId, uint32_t page,
                const MemoryBudget& budget) {
    LoadRequest request;
    request.format = formatId;
    request.page = page;
    request.previewMaxWidth = picture.previewMaxWidth;
    request.previewMaxHeight = picture.previewMaxHeight;
    request.limits.budget = budget;
    // A copy: waiting for the reader may run the caller's event loop, which may change them.
    const ContainedReading contained = containedReading();
    return contained.enabled ? loadPictureContained(path, request, contained, picture)
                             : loadPictureFile(path, request, picture);
}

} // namespace

uint32_t Picture::formatFromExtension(const std::string& path) {
    return codec::formatFromExtension(path);
}

uint32_t Picture::detectFormat(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!files::readWholeFile(path, bytes).ok()) return kFormatAuto;
    return codec::detectFormat({bytes.data(), bytes.size()}, path);
}

Status Picture::load(const std::string& path, uint32_t formatId, uint32_t page) {
    return loadWith(*this, path, formatId, page, MemoryBudget{});
}

Status Picture::load(const std::string& path, const MemoryBudget& budget) {
    return loadWith(*this, path, kFormatAuto, 0, budget);
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
        if (Status s = trueColor.toTrueColor(); !s.ok()) return s;
        // The write options and EXIF of this picture, on the converted pixels.
        trueColor.writeOptions = writeOptions;
        trueColor.info.exifBlock = info.exifBlock;
        trueColor.info.orientation = info.orientation;
        trueColor.info.iccProfile = info.iccProfile;
        source = &trueColor;
    }
    std::vector<uint8_t> bytes;
    if (Status s = row->write(*source, bytes); !s.ok()) return s;
    return files::writeFileAtomically(path, bytes);
}

} // namespace velanox::codec
