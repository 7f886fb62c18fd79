// What follows a change of the colour values once a colour pane's timer fires.
#pragma once

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

class DetailRequests;

/// By tab and mode: on the Histogram tab the bars are computed again, on the Curves tab nothing
/// more is needed (the view follows the colour values as they change); on the image tabs Full/Crop
/// mode (or forceCropMode) makes the display picture again, otherwise timer 1 has the view process
/// the detail rectangle and timer 2 makes the quick preview. Nothing without a document.
void colorTimerFired(velanox::document::CSotavoDoc* doc, DetailRequests* view, int timerId,
                     bool forceCropMode);

} // namespace velanox::ui
