#include "document/load_source.h"

#include "codec/contained_reader.h"
#include "codec/format_table.h"
#include "document/crop_rotate.h"
#include "document/save_name.h"
#include "pipeline/memory_estimate.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace velanox::document {

namespace {

// Moves a picture that was read completely into the document's picture, with everything the
// file said about it and the options to write it with (Picture::takeFrom moves only the pixels
// and their description).
void adoptPicture(codec::Picture& target, codec::Picture& loaded) {
    target.takeFrom(loaded);
    target.info = std::move(loaded.info);
    target.writeOptions = std::move(loaded.writeOptions);
}

uint32_t clampToUint32(uint64_t n) {
    return uint32_t(std::min<uint64_t>(n, std::numeric_limits<uint32_t>::max()));
}

// What every new picture resets, then the source and result pictures and the crop display.
void installSource(CSotavoDoc& doc, codec::Picture& loaded, bool keepCropSwap,
                   ResultStart result = ResultStart::CopyOfSource) {
    const bool wasCropMode = doc.crop.cropMode;
    adoptPicture(doc.sourceImage, loaded);

    doc.crop.cropOffsetX = 0;
    doc.crop.cropOffsetY = 0;
    doc.crop.cropZoom = 1.0;
    doc.crop.cropMode = false;
    if (!keepCropSwap) doc.crop.cropSwap = 0;
    doc.cropDisplayImage.release();
    doc.color.match = color::MatchValues{}; // off, identity tables, no fade
    doc.color.tone.blackPoint = 0;
    doc.color.tone.whitePoint = 255;
    doc.display.displayTab = kTabImage;

    doc.sourceFile.exifCopy = doc.sourceImage.info.exifBlock;
    doc.sourceFile.exifOrientation = doc.sourceImage.info.orientation;

    // A copy that runs out of memory leaves the result empty; the next run makes it again.
    if (result == ResultStart::CopyOfSource)
        doc.resultImage.copyFrom(doc.sourceImage);
    else
        doc.resultImage.release();
    doc.processing.resultValid = 0;
    doc.processing.processedRegion = {};
    doc.quickPreview.release();

    if (wasCropMode)
        enterCropMode(doc.crop, true, doc.sourceImage, doc.color, doc.cropDisplayImage);
}

LoadResult failed(core::Status status) {
    return {LoadOutcome::Failed, std::move(status)};
}

LoadResult reportFailure(CSotavoDoc& doc, const std::string& path, LoadResult result) {
    if (result.outcome == LoadOutcome::Failed)
        doc.host().showMessage(cannotOpenMessage(path, result.status));
    return result;
}

} // namespace

std::string cannotOpenMessage(const std::string& path, const std::string& reason) {
    return "Cannot open " + path + ": " + reason;
}

std::string cannotOpenMessage(const std::string& path, const core::Status& status) {
    std::string text = cannotOpenMessage(path, status.reason);
    if (!status.detail.empty()) text += "\n" + readerSaidText(status.detail);
    return text;
}

std::string readerSaidText(const std::string& detail) {
    return "The reader said: " + detail;
}

namespace {

// loadSource, and on success the path becomes the document's when adoptPath is set; the
// observers hear of the new source once both are in place.
LoadResult loadFile(CSotavoDoc& doc, const std::string& path, bool keepCropSwap, bool adoptPath,
                    ResultStart result) {
    if (!doc.mayReplaceImages()) return {};
    codec::Picture loaded;
    core::Status status;
    {
        // Camera raw decoding and large files take a while.
        WaitCursor wait(doc.host());
        // A picture whose run would not fit in the memory budget is refused from its header.
        status = loaded.load(path, runMemoryBudget(doc.memory));
    }
    if (status.code == core::StatusCode::Cancelled)
        return {LoadOutcome::Cancelled, core::Status::failure(status.code, status.reason)};
    if (!status.ok()) return failed(std::move(status));

    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    installSource(doc, loaded, keepCropSwap, result);
    doc.sourceFile.sourceFileSize = ec ? 0 : clampToUint32(size);
    if (adoptPath) doc.sourceFile.documentPath = path;
    doc.notify(DocumentChange::SourceReplaced);
    return {LoadOutcome::Loaded, {}};
}

} // namespace

LoadResult loadSource(CSotavoDoc& doc, const std::string& path, bool keepCropSwap,
                      ResultStart result) {
    return loadFile(doc, path, keepCropSwap, false, result);
}

LoadResult loadDocumentFile(CSotavoDoc& doc, const std::string& path) {
    return loadFile(doc, path, false, true, ResultStart::CopyOfSource);
}

LoadResult onOpenDocument(CSotavoDoc& doc, const std::string& path) {
    return reportFailure(doc, path, loadDocumentFile(doc, path));
}

bool canReload(const CSotavoDoc& doc) {
    return doc.sourceImage.hasPixels() && !doc.sourceFile.documentPath.empty() &&
           doc.mayReplaceImages();
}

LoadResult reloadSource(CSotavoDoc& doc) {
    if (!canReload(doc)) return {};
    const std::string path = doc.sourceFile.documentPath;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    return reportFailure(doc, path, loadSource(doc, path, true));
}

bool isDroppableImageName(const std::string& path) {
    if (codec::hasModernFormatExtension(path)) return true;
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* accepted : {".jpg", ".png", ".bmp", ".tif", ".tga", ".pcx"})
        if (suffix == accepted) return true;
    return false;
}

LoadResult dropFile(CSotavoDoc& doc, const std::string& path) {
    if (!isDroppableImageName(path)) return {};
    return onOpenDocument(doc, path);
}

LoadResult pasteImage(CSotavoDoc& doc, const uint8_t* rgb, int32_t width, int32_t height,
                      std::size_t stride) {
    if (!doc.mayReplaceImages() || rgb == nullptr || width <= 0 || height <= 0) return {};
    const std::size_t row = std::size_t(width) * 3;
    if (stride == 0) stride = row;
    if (stride < row)
        return failed(core::Status::failure(core::StatusCode::Corrupt,
                                            "The pasted rows are shorter than the picture."));
    codec::Picture pasted;
    if (!pasted.allocate(width, height, 24).ok())
        return failed(core::Status::failure(core::StatusCode::OutOfMemory, "Out of memory"));
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(pasted.pixels() + std::size_t(y) * row, rgb + std::size_t(y) * stride, row);
    pasted.info.xResolution = pasted.info.yResolution = 300;
    pasted.info.resolutionUnit = 1;
    pasted.info.fileWidth = width;
    pasted.info.fileHeight = height;

    installSource(doc, pasted, false);
    doc.sourceFile.sourceFileSize = clampToUint32(uint64_t(width) * uint64_t(height) * 3);
    // A pasted picture has no file: Save proposes "Untitled_NR", Reload and the folder commands
    // have nothing to work from, and no name enters the recent-file list.
    doc.sourceFile.documentPath.clear();
    doc.notify(DocumentChange::SourceReplaced);
    return {LoadOutcome::Loaded, {}};
}

std::string documentTitle(const CSotavoDoc& doc) {
    const std::string& path = doc.sourceFile.documentPath;
    return path.empty() ? std::string(kUntitledTitle) : fileNameOfPath(path);
}

core::Status loadReferenceImage(color::ColorMatchState& match, CSotavoDoc& doc,
                                const std::string& path) {
    codec::Picture loaded;
    core::Status status;
    {
        WaitCursor wait(doc.host());
        status = loaded.load(path, codec::kFormatAuto, 0);
    }
    if (!status.ok()) return status;
    if (core::Status s = match.setReferenceImage(loaded, loaded.info.iccProfile, path,
                                                 doc.sourceImage.info.iccProfile);
        !s.ok())
        return s;

    doc.setMatchMode(match, 1);
    return core::Status::success();
}

color::MatchTables matchTablesToImage(color::ColorMatchState& match, CSotavoDoc& doc) {
    const codec::Picture& source = doc.sourceImage;
    if (!source.hasPixels() || source.bitsPerPixel != 24)
        return color::MatchValues::identityMatchTables();
    if (match.statisticsNeedProfile(source.info.iccProfile)) {
        // The reference was counted in another picture's colours: it is read again and counted
        // in this one's. A reference that can no longer be read keeps the statistics it had.
        codec::Picture loaded;
        WaitCursor wait(doc.host());
        if (loaded.load(match.referencePath, codec::kFormatAuto, 0).ok())
            match.retakeReferenceStatistics(loaded, loaded.info.iccProfile, source.info.iccProfile);
    }
    return match.buildMatchToImage(
        core::ConstImageView(source.pixels(), source.width, source.height, 3));
}

} // namespace velanox::document
