// DetailRequests: what the panes ask of the view that owns the Detail scroll position and with
// it the detail rectangle. The document's view implements it.
#pragma once

namespace velanox::ui {

class DetailRequests {
public:
    virtual ~DetailRequests() = default;
    /// The detail rectangle is set from the scroll position and processed; the visible
    /// rectangle is published.
    virtual void processDetail() = 0;
    /// Detail mode: scrolls so that the fraction (fx, fy) of the picture is at the top left.
    virtual void scrollToFraction(double fx, double fy) = 0;
    /// A processed result shown at one place must not be shown at another: outside Full/Crop
    /// mode a valid result becomes a copy of the source again.
    virtual void resetOutputToSource() = 0;
};

} // namespace velanox::ui
