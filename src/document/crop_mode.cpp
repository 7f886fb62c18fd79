// The document's side of Full/Crop mode and rotation: the crop state, the display picture and
// the result picture kept consistent with the source; the question asked through the host.
#include "document/csotavo_doc.h"

namespace velanox::document {

namespace {

// The result picture becomes a copy of the source (pixels, size and file data).
core::Status resetResultToSource(codec::Picture& result, const codec::Picture& source) {
    return result.copyFrom(source);
}

// A run is on, the mode does not allow it, or there is no source picture.
core::Status refused() {
    return core::Status::failure(core::StatusCode::NoReader, "Not possible now.");
}

} // namespace

core::Status CSotavoDoc::enterCropMode(bool resetView) {
    if (!mayReplaceImages() || !sourceImage.hasPixels()) return refused();
    if (core::Status s =
            velanox::document::enterCropMode(crop, resetView, sourceImage, color, cropDisplayImage);
        !s.ok())
        return s;
    display.displayTab = 0;
    if (resultImage.width != sourceImage.width || resultImage.height != sourceImage.height)
        return resetResultToSource(resultImage, sourceImage);
    return core::Status::success();
}

LeaveCropOutcome CSotavoDoc::leaveCropMode(bool askFirst, bool restoreDetail) {
    if (!mayReplaceImages()) return {};
    const LeaveCropOutcome outcome = velanox::document::leaveCropMode(
        crop, askFirst, sourceImage, cropDisplayImage, [this](const char* text) {
            switch (m_host.askQuestion(text, QuestionButtons::YesNoCancel)) {
            case Answer::Yes:
                return CropAnswer::Yes;
            case Answer::No:
                return CropAnswer::No;
            default:
                return CropAnswer::Cancel;
            }
        });
    if (outcome.left && restoreDetail) {
        display.displayTab = 0;
        if (core::Status s = resetResultToSource(resultImage, sourceImage); !s.ok()) {
            LeaveCropOutcome failed = outcome;
            failed.status = std::move(s);
            return failed;
        }
        processing.resultValid = 0; // the result holds the unprocessed source now
    }
    return outcome;
}

core::Status CSotavoDoc::rotateImage(RotateDirection direction) {
    if (!mayReplaceImages() || crop.cropMode || !sourceImage.hasPixels()) return refused();
    m_host.beginWaitCursor();
    core::Status s = velanox::document::rotateImage(sourceImage, direction);
    if (s.ok()) s = resetResultToSource(resultImage, sourceImage);
    if (s.ok()) processing.resultValid = 0;
    m_host.endWaitCursor();
    return s;
}

} // namespace velanox::document
