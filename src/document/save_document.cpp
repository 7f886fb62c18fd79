#include "document/save_document.h"

#include "codec/format_table.h"
#include "document/crop_rotate.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace velanox {

namespace {

// The progress window of a save: open for the life of the object and known to the document's
// runs meanwhile.
class SaveProgress {
public:
    explicit SaveProgress(CSotavoDoc& doc) : doc_(doc), dialog_(doc.host().createProgressDialog()) {
        doc_.processing.progressDialog = dialog_.get();
    }
    ~SaveProgress() { close(); }
    SaveProgress(const SaveProgress&) = delete;
    SaveProgress& operator=(const SaveProgress&) = delete;

    void setText(std::string_view text) {
        if (dialog_) dialog_->setText(text);
    }
    void close() {
        if (doc_.processing.progressDialog == dialog_.get())
            doc_.processing.progressDialog = nullptr;
        dialog_.reset();
    }

private:
    CSotavoDoc& doc_;
    std::unique_ptr<ProgressDialog> dialog_;
};

SaveResult refuse(CSotavoDoc& doc, SaveOutcome outcome, std::string message, codec::Status status) {
    doc.host().showMessage(message);
    return {outcome, std::move(status)};
}

} // namespace

std::string couldNotSaveMessage(const std::string& path, const std::string& reason) {
    return "Could not save " + path + ": " + reason;
}

bool hasWriterFor(const std::string& path, uint32_t formatId) {
    if (formatId == kFormatAuto) formatId = Picture::formatFromExtension(path);
    const codec::FormatEntry* entry = codec::formatEntry(formatId);
    return entry != nullptr && entry->write != nullptr;
}

bool isReadOnlyFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec); // follows symbolic links
    if (ec || !std::filesystem::exists(status)) return false;
    using std::filesystem::perms;
    const perms p = status.permissions();
    // No write permission bit at all counts as read only even for a user who could write anyway.
    const bool noWriteBit =
        (p & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
    return noWriteBit || ::access(path.c_str(), W_OK) != 0;
}

int writeResultImage(CSotavoDoc& doc, const std::string& path, uint32_t formatId) {
    Picture& result = doc.resultImage;
    result.jpegQuality = uint32_t(doc.jpeg.jpegQualitySetting);
    result.jpegFullChroma = uint32_t(doc.jpeg.enhancedSamplingSetting);
    result.exifBlock = doc.sourceFile.exifCopy;
    result.orientation = doc.sourceFile.exifOrientation;
    result.iccProfile = doc.sourceImage.iccProfile;
    // copyFrom carries the resolution read, not the one to write.
    result.saveXResolution = doc.sourceImage.saveXResolution;
    result.saveYResolution = doc.sourceImage.saveYResolution;
    result.saveResolutionUnit = doc.sourceImage.saveResolutionUnit;
    return result.save(path, formatId);
}

SaveResult onSaveDocument(CSotavoDoc& doc, const std::string& path, uint32_t formatId) {
    if (!doc.mayReplaceImages()) return {};
    // A type without a writer is refused before the long run rather than after it.
    if (!hasWriterFor(path, formatId)) {
        const std::string reason = "There is no writer for this file type.";
        return refuse(doc, SaveOutcome::NoWriter, couldNotSaveMessage(path, reason),
                      codec::Status::failure(codec::kCodecNoReader, reason));
    }

    // The normal result is what gets written, whatever the view shows.
    doc.display.outputWindowMode = kOutputResult;

    // A crop window the person shaped is applied without asking; one left as it came is not
    // (entering Full/Crop mode, by hand or by Color Match, is no request to crop).
    const bool untouched = doc.crop.cropMode && !doc.crop.windowChanged;
    const LeaveCropOutcome left =
        leaveCropMode(doc.crop, untouched, doc.sourceImage, doc.cropDisplayImage, {});
    if (left.left) {
        doc.display.displayTab = kTabImage;
        if (left.cropped) {
            doc.resultImage.copyFrom(doc.sourceImage);
            doc.processing.resultValid = 0;
        }
    }

    SaveProgress progress(doc);
    const ProcessOutcome run = doc.processImage(false);
    if (run == ProcessOutcome::Cancelled || run == ProcessOutcome::Failed) {
        // The run has said what happened; resultImage holds no whole processed picture.
        return {SaveOutcome::RunStopped,
                codec::Status::failure(codec::kCodecWriteFailed, "The processing was stopped.")};
    }
    if (run != ProcessOutcome::Done || !doc.resultImage.hasPixels()) {
        progress.close();
        return refuse(doc, SaveOutcome::NothingToSave, kCantSaveMessage,
                      codec::Status::failure(codec::kCodecNoReader, kCantSaveMessage));
    }
    if (isReadOnlyFile(path)) {
        progress.close();
        return refuse(doc, SaveOutcome::ReadOnly, kReadOnlyTargetMessage,
                      codec::Status::failure(codec::kCodecWriteFailed, kReadOnlyTargetMessage));
    }

    progress.setText(kSavingFileText);
    const int rc = writeResultImage(doc, path, formatId);
    progress.close();

    SaveResult outcome{SaveOutcome::Saved, {}};
    if (rc != kPictureOk) {
        const Picture& result = doc.resultImage;
        const std::string reason =
            result.errorReason.empty() ? "The file could not be written." : result.errorReason;
        outcome = refuse(doc, SaveOutcome::WriteFailed, couldNotSaveMessage(path, reason),
                         codec::Status::failure(rc, reason));
    }
    doc.processImage(true);
    return outcome;
}

} // namespace velanox
