#include "ui/panes/pane_links.h"

#include "color/histogram.h"
#include "color/quick_color_preview.h"
#include "document/csotavo_doc.h"
#include "ui/mode_commands.h"

namespace velanox::ui::pane_ops {

namespace {

bool hasSource(const document::CSotavoDoc& doc) {
    return doc.sourceImage.hasPixels() && doc.sourceImage.bitsPerPixel == 24;
}

core::ConstImageView sourceBlock(const document::CSotavoDoc& doc) {
    return core::ConstImageView(doc.sourceImage.pixels(), doc.sourceImage.width,
                                doc.sourceImage.height, 3);
}

} // namespace

void processDetail(const PaneLinks& links, document::CSotavoDoc* doc) {
    if (!doc) return;
    if (links.processDetail) {
        links.processDetail();
        return;
    }
    doc->processImage(true);
    updateAllViews(links, doc);
}

void updateAllViews(const PaneLinks& links, document::CSotavoDoc* doc) {
    if (!doc) return;
    if (links.updateAllViews)
        links.updateAllViews();
    else
        doc->host().updateAllViews();
}

void enterCropMode(const PaneLinks& links, document::CSotavoDoc* doc, bool resetView) {
    if (!doc) return;
    if (links.enterCropMode) {
        links.enterCropMode(resetView);
        return;
    }
    if (!doc->enterCropMode(resetView).ok()) return;
    if (links.setModeTab) links.setModeTab(kFullCropTab);
    updateAllViews(links, doc);
}

bool leaveCropMode(const PaneLinks& links, document::CSotavoDoc* doc, bool askFirst,
                   bool restoreDetail) {
    if (!doc) return false;
    if (links.leaveCropMode) return links.leaveCropMode(askFirst, restoreDetail);
    const document::LeaveCropOutcome outcome = doc->leaveCropMode(askFirst, restoreDetail);
    if (outcome.cancelled) {
        if (links.setModeTab) links.setModeTab(kFullCropTab);
        return false;
    }
    if (!outcome.left) return false;
    if (doc->display.displayTab == document::kTabImage && links.setModeTab)
        links.setModeTab(kDetailsTab);
    if (restoreDetail)
        processDetail(links, doc);
    else
        updateAllViews(links, doc);
    return true;
}

void computeHistogram(const PaneLinks& links, document::CSotavoDoc* doc) {
    if (!doc) return;
    if (links.computeHistogram) {
        links.computeHistogram();
        return;
    }
    if (!hasSource(*doc)) return;
    velanox::color::computeHistogram(sourceBlock(*doc), doc->color, doc->display.histogramBars);
    updateAllViews(links, doc);
}

void quickColorPreview(const PaneLinks& links, document::CSotavoDoc* doc) {
    if (!doc || doc->processing.calculating || !hasSource(*doc)) return;
    const core::Rect r = doc->display.detailRect;
    velanox::color::quickColorPreview(sourceBlock(*doc),
                                      core::Rect{r.left, r.top, r.right, r.bottom}, doc->color,
                                      doc->quickPreview);
    updateAllViews(links, doc);
}

void colorTimerFired(const PaneLinks& links, document::CSotavoDoc* doc, int timerId,
                     bool forceCropMode) {
    if (!doc) return;
    switch (doc->display.displayTab) {
    case document::kTabHistogram:
        computeHistogram(links, doc);
        return;
    case document::kTabCurves:
        updateAllViews(links, doc);
        return;
    default:
        break;
    }
    if (doc->crop.cropMode || forceCropMode)
        enterCropMode(links, doc, false);
    else if (timerId == 1)
        processDetail(links, doc);
    else
        quickColorPreview(links, doc);
}

} // namespace velanox::ui::pane_ops
