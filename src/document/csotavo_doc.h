// CSotavoDoc: the document. It owns the three pictures, every processing, colour, crop and
// display value (grouped by concern below) and the pipeline's two reusable work buffers, talks
// to the person only through its Host and tells its observers what its operations changed.
//
// The values stay readable as fields; they are changed through the operations below (and the
// free functions of load_source.h, save_document.h and folder_navigation.h that take the
// document), which the desktop program and the batch tool share. Each operation tells the
// observers what it changed, once, when the change is complete.
#pragma once

#include "codec/picture.h"
#include "color/color_steps.h"
#include "document/crop_rotate.h"
#include "document/crop_state.h"
#include "document/display_state.h"
#include "document/document_observer.h"
#include "document/document_settings.h"
#include "document/host.h"
#include "document/processing_state.h"
#include "document/source_file_state.h"
#include "pipeline/memory_limits.h"
#include "pipeline/noise_settings.h"
#include "pipeline/process_region.h"

#include <cstdint>
#include <vector>

namespace velanox::color {
class ColorMatchState;
}

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
    /// CropModeEntered follows. Refused (NoReader) while a run is on or without a source picture.
    core::Status enterCropMode(bool resetView);

    /// Leaves Full/Crop mode. askFirst: a pending (non-neutral) crop is applied only after
    /// "Apply Crop to Image?" is answered Yes (No leaves without cropping, Cancel changes
    /// nothing); without askFirst the crop is applied at once. restoreDetail: displayTab 0 and
    /// the result picture becomes a copy of the (possibly cropped) source. Nothing happens while
    /// a run is on. Once left, SourceReplaced (when the source was cut) and CropModeLeft follow;
    /// a cancelled outcome changes nothing and says nothing.
    LeaveCropOutcome leaveCropMode(bool askFirst, bool restoreDetail);

    /// Turns the source by 90 degrees and makes the result picture a copy of it; tone, colour
    /// match and crop values stay; SourceReplaced follows. Refused (NoReader) while a run is on,
    /// in Full/Crop mode or without a source picture.
    core::Status rotateImage(RotateDirection direction);

    // ---- the pictures --------------------------------------------------------------------------
    /// New: an empty document. The pictures, the path and the file's data go; Full/Crop mode is
    /// left with a neutral window and the Image tab shown. The settings (noise, colour, crop
    /// aspect and orientation, JPEG, memory) stay. Refused (NoReader) while a run is on.
    core::Status newDocument();

    /// Makes the result picture the source again where runs wrote into it (processedRegion and
    /// the detail rectangle; the whole picture when the two differ in layout) and clears
    /// resultValid. Nothing happens without a valid result, in Full/Crop mode or while a run
    /// is on. ResultDiscarded follows.
    void discardResult();

    // ---- settings ------------------------------------------------------------------------------
    /// The setters below tell the observers of a change (ColorSettingsChanged,
    /// OutputWindowChanged, DisplayTabChanged, VisibleRectChanged) only when the value differs.
    void setNoiseSettings(const pipeline::NoiseSettings& settings) { noise = settings; }
    void setToneValues(const color::ToneValues& tone);
    /// Sets the black point and/or the white point to the source's levels (0 and 255 without a
    /// 24-bit source).
    void applyAutoLevels(bool blackPoint = true, bool whitePoint = true);
    void setMatchFade(int32_t fade);
    void setOutputWindowMode(int32_t mode);
    void setJpegSettings(const JpegSettings& settings) { jpeg = settings; }
    void setMemoryLimits(const pipeline::MemoryLimits& limits) { memory = limits; }
    /// The image tab (Detail or Full/Crop), Curves or Histogram.
    void setDisplayTab(int32_t tab);
    /// The part of the source the view shows in Detail mode (for the File Properties frame).
    void setVisibleRect(const core::Rect& rect);

    // ---- colour ------------------------------------------------------------------------------
    /// Switches colour matching (0 off, 1 to the reference picture, 2 to the profile; other
    /// values are clamped to that range) and rebuilds the match tables against the source: the
    /// identity when off, matchTablesToImage against match's reference, or match's profile
    /// statistics (the identity when match has read no profile). Fade and the other colour
    /// values stay; ColorSettingsChanged follows.
    void setMatchMode(color::ColorMatchState& match, int32_t mode);

    /// The Histogram tab's bars computed from the source with the colour steps (HistogramReady).
    /// False, and the bars unchanged, without a 24-bit source.
    bool computeHistogram();

    /// The colour-only preview of the detail rectangle into quickPreview (the next run frees
    /// it; PreviewReady). False, and nothing made, while a run is on or without a 24-bit source.
    bool makeQuickColorPreview();

    // ---- the crop window ---------------------------------------------------------------------
    // Every operation that changes the window tells the observers (CropWindowChanged).
    /// The crop window on the source (computeCropRect: the offsets are clamped into the picture).
    core::Rect cropRect();
    /// Moves the window by (dx, dy) source pixels. A move that changes the window (one against
    /// the picture's edge does not) marks it changed; returns whether it changed.
    bool moveCropWindow(int32_t dx, int32_t dy);
    /// Puts the window's top-left corner at the fraction (fx, fy) of the source and marks it
    /// changed; the offsets are clamped when the window is next computed.
    void placeCropWindow(double fx, double fy);
    /// A different aspect or zoom marks the window changed; a new orientation always does.
    void setCropAspect(int32_t aspect);
    void setCropZoom(double zoom);
    void setCropSwap(bool swap);
    /// The Zoom In / Zoom Out commands and the wheel (crop_rotate.h's zoomIn, zoomOut and
    /// wheelZoom on the crop state); true when the command ran.
    bool zoomCropIn();
    bool zoomCropOut();
    bool wheelZoomCrop(int delta, bool middleButtonHeld);

    /// A crop given by value (the batch tool): Full/Crop mode with that window, left at once
    /// applying it, as Apply Crop does; the result becomes a copy of the cut source. Refused
    /// (NoReader) as enterCropMode is; a failed cut leaves the crop state as it was.
    core::Status applyCropRequest(const CropWindow& window);

    // ---- observers ---------------------------------------------------------------------------
    /// Observers are told of every change in the order they were added; the document does not
    /// own them. Adding one twice adds it once.
    void addObserver(DocumentObserver& observer);
    /// Safe from inside a notification: a removed observer hears nothing more.
    void removeObserver(DocumentObserver& observer);
    /// Tells every observer of a change. The document's operations call it, those written as
    /// free functions of this layer (loading, saving) included; the layers above never need to.
    void notify(DocumentChange change);

    Host& host() { return m_host; }

private:
    pipeline::ProcessOutcome runOnce(bool detailOnly);
    /// A run is about to write region of resultImage.
    void noteResultWritten(const core::Rect& region);

    Host& m_host;
    std::vector<DocumentObserver*> m_observers; ///< null: removed during a notification
    int m_notifyDepth = 0;
    std::function<void(int32_t)> m_storeCropAspect;
};

} // namespace velanox::document
