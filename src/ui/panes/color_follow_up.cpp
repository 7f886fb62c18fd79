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
        doc->notify(document::DocumentChange::ColorSettingsChanged);
        return;
    default:
        break;
    }
    if (doc->crop.cropMode || forceCropMode)
        doc->enterCropMode(false);
    else if (timerId == 1) {
        if (view) view->processDetail();
    } else
        doc->makeQuickPreview();
}

} // namespace velanox::ui
