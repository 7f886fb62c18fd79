#include "document/save_document.h"

#include "codec/format_table.h"
#include "document/crop_rotate.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace velanox::document {

namespace {

// The progress window of a save: open for the life of the object and known to the document's
// runs meanwhile.
class SaveProgress {
public:
    explicit SaveProgress(CSotavoDoc& doc)
        : m_doc(doc), m_dialog(doc.host().createProgressDialog()) {
        m_doc.processing.progressDialog = m_dialog.get();
    }
    ~SaveProgress() { close(); }
    SaveProgress(const SaveProgress&) = delete;
    SaveProgress& operator=(const SaveProgress&) = delete;

    void setText(std::string_view text) {
        if (m_dialog) m_dialog->setText(text);
    }
    void close() {
        if (m_doc.processing.progressDialog == m_dialog.get())
            m_doc.processing.progressDialog = nullptr;
        m_dialog.reset();
    }

private:
    CSotavoDoc& m_doc;
    std::unique_ptr<ProgressDialog> m_dialog;
};

SaveResult refuse(CSotavoDoc& doc, SaveOutcome outcome, std::string message, core::Status status) {
    doc.host().showMessage(message);
    return {outcome, std::move(status)};
}

} // namespace

std::string couldNotSaveMessage(const std::string& path, const std::string& reason) {
    return "Could not save " + path + ": " + reason;
}

bool hasWriterFor(const std::string& path, uint32_t formatId) {
    if (formatId == codec::kFormatAuto) formatId = codec::Picture::formatFromExtension(path);
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

core::Status writeResultImage(CSotavoDoc& doc, const std::string& path, uint32_t formatId) {
    codec::Picture& result = doc.resultImage;
    result.writeOptions.set(codec::kQuality, uint32_t(doc.jpeg.jpegQualitySetting));
    result.writeOptions.set(codec::kJpegFullChroma, uint32_t(doc.jpeg.enhancedSamplingSetting));
    result.info.exifBlock = doc.sourceFile.exifCopy;
    result.info.orientation = doc.sourceFile.exifOrientation;
    result.info.iccProfile = doc.sourceImage.info.iccProfile;
    // copyFrom carries the resolution read, not the one to write.
    for (const auto& key :
         {codec::kSaveXResolution, codec::kSaveYResolution, codec::kSaveResolutionUnit})
        result.writeOptions.set(key, doc.sourceImage.writeOptions.get(key));
    return result.save(path, formatId);
}

SaveResult onSaveDocument(CSotavoDoc& doc, const std::string& path, uint32_t formatId) {
    if (!doc.mayReplaceImages()) return {};
    // A type without a writer is refused before the long run rather than after it.
    if (!hasWriterFor(path, formatId)) {
        const std::string reason = "There is no writer for this file type.";
        return refuse(doc, SaveOutcome::NoWriter, couldNotSaveMessage(path, reason),
                      core::Status::failure(core::StatusCode::NoReader, reason));
    }

    // The normal result is what gets written, whatever the view shows.
    doc.display.outputWindowMode = pipeline::kOutputResult;

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
    const pipeline::ProcessOutcome run = doc.processImage(false);
    if (run == pipeline::ProcessOutcome::Cancelled || run == pipeline::ProcessOutcome::Failed) {
        // The run has said what happened; resultImage holds no whole processed picture.
        return {SaveOutcome::RunStopped, core::Status::failure(core::StatusCode::WriteFailed,
                                                               "The processing was stopped.")};
    }
    if (run != pipeline::ProcessOutcome::Done || !doc.resultImage.hasPixels()) {
        progress.close();
        return refuse(doc, SaveOutcome::NothingToSave, kCantSaveMessage,
                      core::Status::failure(core::StatusCode::NoReader, kCantSaveMessage));
    }
    if (isReadOnlyFile(path)) {
        progress.close();
        return refuse(doc, SaveOutcome::ReadOnly, kReadOnlyTargetMessage,
                      core::Status::failure(core::StatusCode::WriteFailed, kReadOnlyTargetMessage));
    }

    progress.setText(kSavingFileText);
    core::Status written = writeResultImage(doc, path, formatId);
    progress.close();

    SaveResult outcome{SaveOutcome::Saved, {}};
    if (!written.ok()) {
        if (written.reason.empty()) written.reason = "The file could not be written.";
        const std::string message = couldNotSaveMessage(path, written.reason);
        outcome = refuse(doc, SaveOutcome::WriteFailed, message, std::move(written));
    }
    doc.processImage(true);
    return outcome;
}

} // namespace velanox::document
