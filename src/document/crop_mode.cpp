// The document's side of Full/Crop mode and rotation: the crop state, the display picture and
// the result picture kept consistent with the source; the question asked through the host.
#include "document/csotavo_doc.h"

namespace velanox::document {

namespace {

// The result picture becomes a copy of the source (pixels, size and file data).
// A result without pixels (the batch tool's whole-picture runs start so) stays without: the next
// run makes it.
core::Status resetResultToSource(CSotavoDoc& doc) {
    doc.processing.processedRegion = {};
    if (!doc.resultImage.hasPixels()) return core::Status::success();
    return doc.resultImage.copyFrom(doc.sourceImage);
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
    core::Status status = core::Status::success();
    if (resultImage.width != sourceImage.width || resultImage.height != sourceImage.height)
        status = resetResultToSource(*this);
    notify(DocumentChange::CropModeEntered);
    return status;
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
    if (!outcome.left) return outcome;
    LeaveCropOutcome result = outcome;
    if (restoreDetail) {
        display.displayTab = 0;
        if (core::Status s = resetResultToSource(*this); !s.ok())
            result.status = std::move(s);
        else
            processing.resultValid = 0; // the result holds the unprocessed source now
    }
    if (result.cropped) notify(DocumentChange::SourceReplaced);
    notify(DocumentChange::CropModeLeft);
    return result;
}

core::Status CSotavoDoc::applyCropRequest(const CropWindow& window) {
    if (!mayReplaceImages() || !sourceImage.hasPixels()) return refused();
    const CropState before = crop;
    crop.cropMode = true;
    crop.cropAspect = window.aspect;
    crop.cropSwap = window.swap ? 1 : 0;
    crop.cropZoom = window.zoom;
    crop.cropOffsetX = window.offsetX;
    crop.cropOffsetY = window.offsetY;
    // Leaving without asking applies the window.
    const LeaveCropOutcome left = leaveCropMode(false, true);
    if (!left.status.ok()) {
        // Nothing was cut: the document is not left in Full/Crop mode, which no later run or
        // picture would leave.
        if (!left.cropped) crop = before;
        return left.status;
    }
    return core::Status::success();
}

core::Rect CSotavoDoc::cropRect() {
    return computeCropRect(crop, sourceImage.width, sourceImage.height);
}

bool CSotavoDoc::moveCropWindow(int32_t dx, int32_t dy) {
    const core::Rect before = cropRect();
    crop.cropOffsetX += dx;
    crop.cropOffsetY += dy;
    if (cropRect() == before) return false;
    crop.windowChanged = true;
    notify(DocumentChange::CropWindowChanged);
    return true;
}

void CSotavoDoc::placeCropWindow(double fx, double fy) {
    crop.cropOffsetX = int32_t(sourceImage.width * fx);
    crop.cropOffsetY = int32_t(sourceImage.height * fy);
    crop.windowChanged = true;
    notify(DocumentChange::CropWindowChanged);
}

void CSotavoDoc::setCropAspect(int32_t aspect) {
    if (crop.cropAspect == aspect) return;
    crop.windowChanged = true;
    crop.cropAspect = aspect;
    notify(DocumentChange::CropWindowChanged);
}

void CSotavoDoc::setCropZoom(double zoom) {
    if (crop.cropZoom == zoom) return;
    crop.windowChanged = true;
    crop.cropZoom = zoom;
    notify(DocumentChange::CropWindowChanged);
}

void CSotavoDoc::setCropSwap(bool swap) {
    crop.cropSwap = swap ? 1 : 0;
    crop.windowChanged = true;
    notify(DocumentChange::CropWindowChanged);
}

bool CSotavoDoc::zoomCropIn() {
    if (!zoomIn(crop)) return false;
    notify(DocumentChange::CropWindowChanged);
    return true;
}

bool CSotavoDoc::zoomCropOut() {
    if (!zoomOut(crop)) return false;
    notify(DocumentChange::CropWindowChanged);
    return true;
}

bool CSotavoDoc::wheelZoomCrop(int delta, bool middleButtonHeld) {
    if (!wheelZoom(crop, delta, middleButtonHeld)) return false;
    notify(DocumentChange::CropWindowChanged);
    return true;
}

core::Status CSotavoDoc::rotateImage(RotateDirection direction) {
    if (!mayReplaceImages() || crop.cropMode || !sourceImage.hasPixels()) return refused();
    m_host.beginWaitCursor();
    core::Status s = velanox::document::rotateImage(sourceImage, direction);
    if (s.ok()) s = resetResultToSource(*this);
    if (s.ok()) processing.resultValid = 0;
    m_host.endWaitCursor();
    if (s.ok()) notify(DocumentChange::SourceReplaced);
    return s;
}

} // namespace velanox::document
