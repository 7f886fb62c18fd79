#include "codec/picture_load.h"

#include "codec/format_table.h"
#include "files/file_io.h"

#include <cmath>
#include <vector>

namespace velanox::codec {

namespace {

bool isTiff(uint32_t id) {
    return id == kFormatTiff || id == kFormatTiff8 || id == kFormatTiff1;
}

bool isJpeg(uint32_t id) {
    return id == kFormatJpeg || id == kFormatJpegGrey;
}

Status failed(Picture& picture, Status status) {
    picture.release();
    return status;
}

} // namespace

Status readPicture(ByteSpan span, const std::string& path, const LoadRequest& request,
                   Picture& out) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (span.data == nullptr || span.size == 0)
        return Status::failure(StatusCode::Corrupt, "The file is empty.");

    ReadOptions options;
    options.page = request.page;
    options.previewMaxWidth = request.previewMaxWidth;
    options.previewMaxHeight = request.previewMaxHeight;
    options.limits = request.limits;

    uint32_t formatId = request.format;
    if (formatId == kFormatAuto) {
        // Every file opened automatically goes through the camera raw decoder first; a file it
        // does not recognise goes on to detection without a word.
        const RawDecoderHook& raw = rawDecoderHook();
        bool recognisedAsRaw = false;
        Status rawStatus;
        if (raw.read && (!raw.probe || raw.probe(span))) {
            recognisedAsRaw = raw.probe != nullptr;
            Picture decoded;
            rawStatus = raw.read(span, decoded, options);
            if (rawStatus.ok() && decoded.hasPixels() && decoded.bitsPerPixel == 24) {
                out.takeFrom(decoded);
                out.info.exif = std::move(decoded.info.exif);
                out.info.format = kFormatAuto;
                out.info.filePath = path;
                out.info.tiffPage = 0;
                out.info.fileWidth = out.width;
                out.info.fileHeight = out.height;
                // A raw file carries no resolution of its own here.
                out.info.xResolution = out.info.yResolution = 300;
                out.info.resolutionUnit = 1;
                out.writeOptions.set(kSaveXResolution, 300u);
                out.writeOptions.set(kSaveYResolution, 300u);
                out.writeOptions.set(kSaveResolutionUnit, 1u);
                return Status::success();
            }
            out.release();
            out.info.exif = ExifSummary{};
        }
        formatId = detectFormat(span, path);
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
            return Status::failure(StatusCode::NoReader, "The file's format is not known.");
    }
    const FormatEntry* row = formatEntry(formatId);
    if (!row || !row->read)
        return Status::failure(StatusCode::NoReader, "No reader for this format.");

    out.info.xResolution = out.info.yResolution = out.info.resolutionUnit = 0;
    if (Status s = row->read(span, out, options); !s.ok()) return failed(out, std::move(s));
    if (!out.hasPixels())
        return failed(out, Status::failure(StatusCode::Corrupt, "The reader delivered no pixels."));
    FileInfo& info = out.info;
    info.filePath = path;
    info.tiffPage = isTiff(info.format) ? request.page : 0;
    if (!isJpeg(info.format)) {
        info.fileWidth = out.width;
        info.fileHeight = out.height;
    }
    if (info.xResolution == 0 && info.yResolution == 0 && info.resolutionUnit == 0) {
        info.xResolution = info.yResolution = 300;
        info.resolutionUnit = 1;
    }
    if (Status s = out.toTrueColor(); !s.ok()) return failed(out, std::move(s));
    // Fax pages and the like have rectangular pixels: stretch them square, and say so in the
    // resolution, so that a save and a reload do not stretch the picture a second time.
    if (isTiff(info.format) && info.xResolution != 0 && info.yResolution != info.xResolution) {
        const double ratio = double(info.yResolution) / double(info.xResolution);
        const int64_t newHeight = int64_t(double(out.height) / ratio);
        if (ratio != 0 && std::fabs(ratio - 1.0) > 0.25 && newHeight > 0 &&
            checkSize(out.width, newHeight, options.limits).ok()) {
            if (Status s = out.resample(out.width, int32_t(newHeight)); !s.ok())
                return failed(out, std::move(s));
            info.yResolution = info.xResolution;
            info.fileHeight = out.height;
        }
    }
    out.writeOptions.set(kSaveXResolution, info.xResolution);
    out.writeOptions.set(kSaveYResolution, info.yResolution);
    out.writeOptions.set(kSaveResolutionUnit, info.resolutionUnit);
    return Status::success();
}

Status loadPictureFile(const std::string& path, const LoadRequest& request, Picture& out) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (path.empty()) return Status::failure(StatusCode::EmptyPath, "No file name.");
    std::vector<uint8_t> bytes;
    if (Status s = files::readWholeFile(path, bytes); !s.ok()) return s;
    return readPicture(ByteSpan{bytes.data(), bytes.size()}, path, request, out);
}

} // namespace velanox::codec
