// CSotavoDoc: the document. It owns the three pictures, every processing, colour, crop and
// display value (grouped by concern below) and the pipeline's two reusable work buffers, and it
// talks to the person only through its Host.
#pragma once

#include "codec/picture.h"
#include "color/color_steps.h"
#include "document/crop_rotate.h"
#include "document/crop_state.h"
#include "document/display_state.h"
#include "document/document_settings.h"
#include "document/host.h"
#include "document/processing_state.h"
#include "document/source_file_state.h"
#include "pipeline/memory_limits.h"
#include "pipeline/noise_settings.h"
#include "pipeline/process_region.h"

#include <cstdint>

namespace velanox::document {

class CSotavoDoc {
public:
    /// A document with every value at its default and the stored settings given (JPEG quality
    /// and sampling, crop aspect, memory limits). The host must outlive the document.
    explicit CSotavoDoc(Host& host, const DocumentSettings& settings = {});
    /// Hands the crop aspect to the settings' storeCropAspect, when one was given.
    ~CSotavoDoc();
    CSotavoDoc(const CSotavoDoc&) = delete;
    CSotavoDoc& operator=(const CSotavoDoc&) = delete;

    // ---- pictures --------------------------------------------------------------------------
    codec::Picture sourceImage;      ///< 24-bit, red, green, blue
    codec::Picture resultImage;      ///< 24-bit, the size of sourceImage; processed regions
    codec::Picture cropDisplayImage; ///< 32-bit, blue, green, red, x; rows bottom to top
    codec::Picture
        quickPreview; ///< colour-only preview of the detail rectangle; freed by every run

    // ---- values, by concern ----------------------------------------------------------------
    pipeline::NoiseSettings noise;
    color::ColorSettings color;
    CropState crop;
    DisplayState display;
    SourceFileState sourceFile;
    JpegSettings jpeg;
    pipeline::MemoryLimits memory;
    ProcessingState processing;

    // ---- processing ------------------------------------------------------------------------
    /// Processes the detail rectangle (detailOnly) or the whole picture into resultImage.
    /// Returns NothingToDo at once while a run is on (a detail request is then remembered and
    /// carried out when the current detail run ends), in Full/Crop mode, without a 24-bit source
    /// picture, or for an empty region. Failures and cancellation are reported to the person
    /// through the host before the call returns; resultImage is written only on Done.
    pipeline::ProcessOutcome processImage(bool detailOnly);

    /// The noise of sourceImage as the automatic mode measures it, measured on the first call
    /// for a picture and kept while the picture stays the same. Null without a 24-bit source
    /// picture or when the memory for the measurement cannot be had.
    const engine::NoiseProfile* noiseEstimate();

    /// Stores detailRect, shifted into the picture: a rectangle that overruns the right or
    /// bottom edge is moved to end there and keeps its size; a negative left or top becomes 0.
    void setDetailRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

    /// The engine's progress during a run: keeps the displays up to date, lets pending events
    /// through and answers non-zero to cancel (Escape pressed, quitting, Cancel pressed).
    int32_t onEngineProgress(int32_t step, int32_t total);

    /// Operations that replace or resize sourceImage or resultImage (load, paste, drop, reload,
    /// rotate, apply crop, folder stepping) must refuse while this is false: a run pumping
    /// events still works on the pictures.
    bool mayReplaceImages() const { return processing.calculating == 0; }

    // ---- Full/Crop mode and rotation ---------------------------------------------------------
    /// Enters (or, in crop mode, refreshes) Full/Crop mode: with resetView the zoom and offsets
    /// become neutral; cropMode on, displayTab 0, the display image rebuilt from the source with
    /// the colour steps, and the result picture reset to the source when their sizes differ.
    /// The main frame then shows the Full/Crop tab. Refused (NoReader) while a run is on or
    /// without a source picture.
    core::Status enterCropMode(bool resetView);

    /// Leaves Full/Crop mode. askFirst: a pending (non-neutral) crop is applied only after
    /// "Apply Crop to Image?" is answered Yes (No leaves without cropping, Cancel changes
    /// nothing); without askFirst the crop is applied at once. restoreDetail: displayTab 0 and
    /// the result picture becomes a copy of the (possibly cropped) source. Nothing happens while
    /// a run is on. The main frame re-selects the Full/Crop tab when the outcome is cancelled and
    /// the Details tab when displayTab is 0.
    LeaveCropOutcome leaveCropMode(bool askFirst, bool restoreDetail);

    /// Turns the source by 90 degrees and makes the result picture a copy of it; tone, colour
    /// match and crop values stay. Refused (NoReader) while a run is on, in Full/Crop mode or
    /// without a source picture.
    core::Status rotateImage(RotateDirection direction);

    Host& host() { return m_host; }

private:
    pipeline::ProcessOutcome runOnce(bool detailOnly);

    Host& m_host;
    std::function<void(int32_t)> m_storeCropAspect;
};

} // namespace velanox::document
