// The document's side of Full/Crop mode and rotation: the crop state, the display picture and
// the result picture kept consistent with the source; the question asked through the host.
#include "document/csotavo_doc.h"

namespace velanox::document {

namespace {

// The result picture becomes a copy of the source (pixels, size and file data).
int resetResultToSource(codec::Picture& result, const codec::Picture& source) {
    return result.copyFrom(source);
}

} // namespace

int CSotavoDoc::enterCropMode(bool resetView) {
    if (!mayReplaceImages() || !sourceImage.hasPixels()) return codec::kPictureNoReader;
    const int rc =
        velanox::document::enterCropMode(crop, resetView, sourceImage, color, cropDisplayImage);
    if (rc != codec::kPictureOk) return rc;
    display.displayTab = 0;
    if (resultImage.width != sourceImage.width || resultImage.height != sourceImage.height)
        return resetResultToSource(resultImage, sourceImage);
    return codec::kPictureOk;
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
        if (const int rc = resetResultToSource(resultImage, sourceImage); rc != codec::kPictureOk) {
            LeaveCropOutcome failed = outcome;
            failed.status = rc;
            return failed;
        }
        processing.resultValid = 0; // the result holds the unprocessed source now
    }
    return outcome;
}

int CSotavoDoc::rotateImage(RotateDirection direction) {
    if (!mayReplaceImages() || crop.cropMode || !sourceImage.hasPixels())
        return codec::kPictureNoReader;
    m_host.beginWaitCursor();
    int rc = velanox::document::rotateImage(sourceImage, direction);
    if (rc == codec::kPictureOk) rc = resetResultToSource(resultImage, sourceImage);
    if (rc == codec::kPictureOk) processing.resultValid = 0;
    m_host.endWaitCursor();
    return rc;
}

} // namespace velanox::document
