// DocumentObserver: what the document tells whoever shows it. Every operation of the document
// names what it changed, once, after the change is complete; an operation that is refused or
// changes nothing says nothing. The desktop program turns these into Qt signals; the batch tool
// does not listen.
#pragma once

#include <cstdint>

namespace velanox::document {

enum class DocumentChange : uint8_t {
    /// A new or reshaped source picture (load, paste, new document, rotation, an applied crop);
    /// the result picture is a copy of it again.
    SourceReplaced,
    /// A run wrote the result picture.
    ResultReady,
    /// The result picture was made the source again where runs had written into it.
    ResultDiscarded,
    /// The colour-only preview of the detail rectangle was made.
    PreviewReady,
    /// The histogram bars were computed again.
    HistogramReady,
    /// Tone or colour match values changed.
    ColorSettingsChanged,
    /// The output window (result or one of the diagnostic displays) changed.
    OutputWindowChanged,
    /// The crop window moved or changed its zoom, aspect or orientation.
    CropWindowChanged,
    /// The part of the picture the Detail view shows moved (the view keeps visibleRect).
    VisibleRectChanged,
    /// Full/Crop mode was entered, or its display picture made again.
    CropModeEntered,
    /// Full/Crop mode was left (or the image tab restored).
    CropModeLeft,
    /// The display tab (image, Curves, Histogram) changed.
    DisplayTabChanged,
    /// A processing run started; the pictures must not be replaced until it ends.
    RunStarted,
    /// The processing run ended (done, failed or cancelled).
    RunEnded,
};

inline constexpr int kDocumentChangeCount = int(DocumentChange::RunEnded) + 1;

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    /// Called on the thread that changed the document, after the change. An observer may
    /// remove itself (or another observer) from here.
    virtual void documentChanged(DocumentChange change) = 0;
};

} // namespace velanox::document
