#include "codec/picture_load.h"

#include "codec/file_io.h"
#include "codec/format_table.h"

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
    out.exifBlock.clear();
    out.exif = ExifSummary{};
    out.orientation = 1;
    out.iccProfile.clear();
    if (span.data == nullptr || span.size == 0)
        return Status::failure(kCodecCorrupt, "The file is empty.");

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
                out.exif = std::move(decoded.exif);
                out.format = kFormatAuto;
                out.filePath = path;
                out.tiffPage = 0;
                out.fileWidth = out.width;
                out.fileHeight = out.height;
                // A raw file carries no resolution of its own here.
                out.xResolution = out.yResolution = 300;
                out.resolutionUnit = 1;
                out.saveXResolution = out.saveYResolution = 300;
                out.saveResolutionUnit = 1;
                return Status::success();
            }
            out.release();
            out.exif = ExifSummary{};
        }
        formatId = detectFormat(span, path);
        // A camera raw that the decoder recognised but could not decode is not read as the
        // TIFF container most raws come in (that would be the small preview picture, or a
        // complaint about strips): the decoder's reason is the real one.
        if (recognisedAsRaw && (formatId == kFormatAuto || isTiff(formatId))) {
            if (rawStatus.reason.empty())
                rawStatus.reason = "Camera raw: the file cannot be decoded.";
            if (rawStatus.ok()) rawStatus.code = kCodecCorrupt;
            return rawStatus;
        }
        if (formatId == kFormatAuto)
            return Status::failure(kCodecNoReader, "The file's format is not known.");
    }
    const FormatEntry* row = formatEntry(formatId);
    if (!row || !row->read) return Status::failure(kCodecNoReader, "No reader for this format.");

    out.xResolution = out.yResolution = out.resolutionUnit = 0;
    if (Status s = row->read(span, out, options); !s.ok()) return failed(out, std::move(s));
    if (!out.hasPixels())
        return failed(out, Status::failure(kCodecCorrupt, "The reader delivered no pixels."));
    out.filePath = path;
    out.tiffPage = isTiff(out.format) ? request.page : 0;
    if (!isJpeg(out.format)) {
        out.fileWidth = out.width;
        out.fileHeight = out.height;
    }
    if (out.xResolution == 0 && out.yResolution == 0 && out.resolutionUnit == 0) {
        out.xResolution = out.yResolution = 300;
        out.resolutionUnit = 1;
    }
    if (int rc = out.toTrueColour(); rc != kPictureOk)
        return failed(out,
                      Status::failure(rc, rc == kPictureOutOfMemory ? "Out of memory"
                                                                    : "Unsupported pixel depth."));
    // Fax pages and the like have rectangular pixels: stretch them square, and say so in the
    // resolution, so that a save and a reload do not stretch the picture a second time.
    if (isTiff(out.format) && out.xResolution != 0 && out.yResolution != out.xResolution) {
        const double ratio = double(out.yResolution) / double(out.xResolution);
        const int64_t newHeight = int64_t(double(out.height) / ratio);
        if (ratio != 0 && std::fabs(ratio - 1.0) > 0.25 && newHeight > 0 &&
            checkSize(out.width, newHeight, options.limits).ok()) {
            if (int rc = out.resample(out.width, int32_t(newHeight)); rc != kPictureOk)
                return failed(out, Status::failure(rc, "Out of memory"));
            out.yResolution = out.xResolution;
            out.fileHeight = out.height;
        }
    }
    out.saveXResolution = out.xResolution;
    out.saveYResolution = out.yResolution;
    out.saveResolutionUnit = out.resolutionUnit;
    return Status::success();
}

Status loadPictureFile(const std::string& path, const LoadRequest& request, Picture& out) {
    out.release();
    out.exifBlock.clear();
    out.exif = ExifSummary{};
    out.orientation = 1;
    out.iccProfile.clear();
    if (path.empty()) return Status::failure(kCodecEmptyPath, "No file name.");
    std::vector<uint8_t> bytes;
    if (Status s = readWholeFile(path, bytes); !s.ok()) return s;
    return readPicture(ByteSpan{bytes.data(), bytes.size()}, path, request, out);
}

} // namespace velanox::codec
