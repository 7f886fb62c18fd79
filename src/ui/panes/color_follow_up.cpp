#include "ui/panes/color_follow_up.h"

#include "document/csotavo_doc.h"
#include "ui/detail_requests.h"

namespace velanox::ui {

void colorTimerFired(velanox::document::CSotavoDoc* doc, DetailRequests* view, int timerId,
                     bool forceCropMode) {
    if (!doc) return;
    switch (doc->display.displayTab) {
    case document::kTabHistogram:
        doc->computeHistogram();
        return;
    case document::kTabCurves:
        return; // the view drew the curves again when the values changed
    default:
        break;
    }
    if (doc->crop.cropMode || forceCropMode)
        doc->enterCropMode(false);
    else if (timerId == 1) {
        if (view) view->processDetail();
    } else
        doc->makeQuickColorPreview();
}

} // namespace velanox::ui
