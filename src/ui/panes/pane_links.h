// What the Color Correction, Color Match and File Properties panes ask of the rest of the
// program besides the document: the view's detail processing and scrolling, the main frame's
// mode tab and crop information, the NR Options pane. The application sets the links it has;
// a link left empty falls back to the document itself (and to nothing where only the frame or
// the view can act), so a pane works on its own in tests and before the wiring exists.
#pragma once

#include <functional>

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

struct PaneLinks {
    /// The view processes the detail rectangle and publishes its visible rectangle.
    /// Fallback: the document's processImage(true), then a redraw.
    std::function<void()> processDetail;
    /// Every view redraws. Fallback: the document's host.
    std::function<void()> updateAllViews;
    /// The main frame selects a mode tab and hands the document to the panes again.
    std::function<void(int tab)> setModeTab;
    /// Full/Crop mode entered (or its display image rebuilt) with the frame following.
    /// Fallback: the document's enterCropMode, then setModeTab(1) and a redraw.
    std::function<void(bool resetView)> enterCropMode;
    /// Full/Crop mode left; false when nothing was left or the person cancelled.
    /// Fallback: the document's leaveCropMode with the frame's tab and the detail run following.
    std::function<bool(bool askFirst, bool restoreDetail)> leaveCropMode;
    /// The Histogram tab's bars recomputed and the views redrawn. Fallback: computed here from
    /// the document's source and colour values.
    std::function<void()> computeHistogram;
    /// The File Properties pane redraws its frame and crop information (zoom, aspect, swap).
    std::function<void()> refreshCropInfo;
    /// Detail mode: the view scrolls so that the fraction (fx, fy) of the picture is at its
    /// top left.
    std::function<void(double fx, double fy)> scrollToFraction;
    /// The NR Options pane brings its enabled states up to date (the output window changed).
    std::function<void()> refreshNrOptions;
    /// The result picture is reset to the source when it holds a stale detail.
    std::function<void()> resetOutputToSource;
};

/// The pane operations with their fallbacks; every one does nothing without a document.
namespace pane_ops {
void processDetail(const PaneLinks& links, document::CSotavoDoc* doc);
void updateAllViews(const PaneLinks& links, document::CSotavoDoc* doc);
void enterCropMode(const PaneLinks& links, document::CSotavoDoc* doc, bool resetView);
bool leaveCropMode(const PaneLinks& links, document::CSotavoDoc* doc, bool askFirst,
                   bool restoreDetail);
void computeHistogram(const PaneLinks& links, document::CSotavoDoc* doc);
/// The colour-only preview of the detail rectangle (skipped while a run is on), then a redraw.
void quickColorPreview(const PaneLinks& links, document::CSotavoDoc* doc);

/// What a colour pane's timer does when it fires, by tab and mode: on the Histogram tab the
/// bars are recomputed, on the Curves tab the views redrawn; on the image tabs Full/Crop mode
/// (or forceCropMode) rebuilds the display image, otherwise timer 1 processes the detail
/// rectangle and timer 2 makes the quick preview.
void colorTimerFired(const PaneLinks& links, document::CSotavoDoc* doc, int timerId,
                     bool forceCropMode);
} // namespace pane_ops

} // namespace velanox::ui
