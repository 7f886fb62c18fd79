// TEMPORARY stand-ins, see document_files.h.
#include "cli/document_files.h"

#include "codec/jpeg/jpeg_codec.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace velanox::cli {

namespace {

ConstPixelBlock sourceBlock(const CSotavoDoc& doc) {
    return ConstPixelBlock(doc.sourceImage.pixels(), doc.sourceImage.width, doc.sourceImage.height,
                           3);
}

int32_t searchQuality(const CSotavoDoc& doc, int32_t low, int32_t high, int64_t target) {
    while (high - low > 1) {
        const int32_t mid = low + (high - low) / 2;
        const auto size = int64_t(codec::estimateJpegSize(
            doc.sourceImage.pixels(), doc.sourceImage.width, doc.sourceImage.height, mid,
            doc.jpeg.enhancedSamplingSetting != 0));
        if (size == target) return mid;
        if (size < target)
            low = mid;
        else
            high = mid;
    }
    return low;
}

} // namespace

codec::Status openSource(CSotavoDoc& doc, const std::string& path) {
    Picture loaded;
    const int rc = loaded.load(path);
    if (rc != kPictureOk)
        return codec::Status::failure(rc, loaded.errorReason.empty() ? "the file cannot be read"
                                                                     : loaded.errorReason);
    doc.sourceImage.takeFrom(loaded);
    doc.sourceImage.exifBlock = loaded.exifBlock;
    doc.sourceImage.orientation = loaded.orientation;
    doc.sourceImage.exif = loaded.exif;
    doc.crop = CropState{.cropAspect = doc.crop.cropAspect};
    doc.colour.match = MatchValues{};
    doc.colour.tone.blackPoint = 0;
    doc.colour.tone.whitePoint = 255;
    std::error_code ec;
    doc.sourceFile.sourceFileSize = uint32_t(std::filesystem::file_size(path, ec));
    doc.sourceFile.exifCopy = doc.sourceImage.exifBlock;
    doc.sourceFile.exifOrientation = doc.sourceImage.orientation;
    if (doc.resultImage.copyFrom(doc.sourceImage) != kPictureOk)
        return codec::Status::failure(kPictureOutOfMemory, "Out of memory");
    return codec::Status::success();
}

codec::Status writeResult(CSotavoDoc& doc, const std::string& path) {
    Picture& result = doc.resultImage;
    result.jpegQuality = uint32_t(doc.jpeg.jpegQualitySetting);
    result.jpegFullChroma = uint32_t(doc.jpeg.enhancedSamplingSetting);
    result.exifBlock = doc.sourceFile.exifCopy;
    result.orientation = doc.sourceFile.exifOrientation;
    const int rc = result.save(path);
    if (rc != kPictureOk)
        return codec::Status::failure(rc, result.errorReason.empty() ? "Can't save..."
                                                                     : result.errorReason);
    return codec::Status::success();
}

bool saveDocument(CSotavoDoc& doc, const std::string& path, std::string& reason) {
    doc.display.outputWindowMode = kOutputResult;
    if (doc.processImage(false) != ProcessOutcome::Done) return false;
    const codec::Status st = writeResult(doc, path);
    reason = st.reason;
    return st.ok();
}

std::string proposedSaveName(const std::string& sourcePath) {
    const std::filesystem::path p(sourcePath);
    const std::string name = p.filename().string();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot) + "_NR";
}

std::string defaultSaveExtension(const std::string& sourcePath) {
    const std::string name = std::filesystem::path(sourcePath).filename().string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return ".jpg";
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return Picture::formatFromExtension(ext) == kFormatAuto ? ".jpg" : ext;
}

int64_t sourceDataSize(const CSotavoDoc& doc) {
    return int64_t(doc.sourceFile.sourceFileSize) - int64_t(doc.sourceFile.exifCopyLength());
}

int32_t suggestJpegQuality(const CSotavoDoc& doc, int64_t targetBytes) {
    const int32_t r = std::clamp(searchQuality(doc, 60, 93, targetBytes), 60, 93);
    return r - 1;
}

codec::Status loadReference(ColorMatchState& match, CSotavoDoc& doc, const std::string& path) {
    Picture loaded;
    const int rc = loaded.load(path);
    if (rc != kPictureOk)
        return codec::Status::failure(rc, loaded.errorReason.empty() ? "the file cannot be read"
                                                                     : loaded.errorReason);
    if (codec::Status st = match.setReferenceImage(loaded, path); !st.ok()) return st;
    doc.colour.match.matchActive = 1;
    doc.colour.match.matchTables = match.buildMatchToImage(sourceBlock(doc));
    return codec::Status::success();
}

} // namespace velanox::cli
