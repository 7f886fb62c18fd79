// CSotavoView: the single view of the document. Detail mode shows the source above and the
// processed result below at one image pixel per device pixel; Full/Crop mode the crop window
// of the display image fitted to the window; Curves and Histogram their 255 x 255 plots. The
// view owns the Detail scroll position and with it the detail rectangle the pipeline
// processes a moment after every scroll, drag or resize. It computes no pixels.
#pragma once

#include "core/rect.h"
#include "ui/debouncer.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

namespace velanox::document {
class CSotavoDoc;
}

namespace velanox::ui {

class ModeTarget;

class CSotavoView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CSotavoView(QWidget* parent = nullptr);

    /// The document shown (null: plain grey).
    void setDocument(velanox::document::CSotavoDoc* document);
    velanox::document::CSotavoDoc* document() const { return m_doc; }
    /// Escape and Enter in Full/Crop mode leave it through the mode target.
    void setModeTarget(ModeTarget* target) { m_modeTarget = target; }

    int scrollX() const { return m_scrollX; }
    int scrollY() const { return m_scrollY; }
    bool isDragging() const { return m_dragging; }
    bool gridVisible() const { return m_gridVisible; }
    /// The "Show Grid" command.
    void toggleGrid();

    /// The client area in device pixels.
    int clientWidth() const;
    int clientHeight() const;

    /// The Detail view's magnification: 1, 2 or 4 screen pixels per image pixel, drawn without
    /// smoothing. Only what is shown changes; the pictures and the runs stay as they are.
    int detailZoom() const { return m_detailZoom; }
    void setDetailZoom(int zoom);

    /// A processed result shown at one place must not be shown at another: outside Full/Crop
    /// mode a valid result becomes a copy of the source again.
    void resetOutputToSource();
    /// A whole-picture run (a save) wrote the whole result.
    void noteWholeResultProcessed();
    /// Sets the detail rectangle from the scroll position and runs the pipeline over it.
    void requestDetailProcessing();
    /// Stores the visible rectangle and tells the File Properties pane (visibleRectChanged).
    void publishVisibleRect();
    /// Scroll ranges and positions from the picture and the window.
    void updateScrollBars();
    /// Scrolls to fractions of the picture's size (the thumbnail of File Properties).
    void scrollToFraction(double fx, double fy);
    /// A new picture arrived: top left, scroll bars, processing, visible rectangle.
    void showNewPicture();
    /// Starts (or restarts) the reprocess timer.
    void scheduleProcessing(int delayMs) { m_reprocess.schedule(delayMs); }
    Debouncer& reprocessTimer() { return m_reprocess; }
    /// Redraws from the document and shows the cursor that fits its state.
    void refresh();

    /// The whole client area as drawn (tests and screenshots).
    QImage renderToImage() const;

signals:
    /// The visible rectangle or the crop window changed.
    void visibleRectChanged();
    /// The Detail view's magnification changed.
    void detailZoomChanged(int zoom);
    /// A curves-box press or drag changed the levels or the bend.
    void toneValuesChanged();
    /// A file was dropped onto the view (the first of them).
    void fileDropped(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void scrollContentsBy(int, int) override {}

private:
    enum class Mode { Detail, FullCrop, Curves, Histogram };
    Mode mode() const;
    bool hasSource() const;
    bool calculating() const;
    QPoint devicePoint(const QPointF& logical) const;
    /// Image pixels shown across and down each half in Detail mode.
    int detailColumns() const;
    int detailRows() const;
    int scrollMaxX() const;
    int scrollMaxY() const;
    void setBarsQuietly();
    void onBarAction(Qt::Orientation orientation, int action);
    void onBarValue(Qt::Orientation orientation, int value);
    void applyCurvesRule(QPoint p, bool shift);
    void moveDrag(QPoint p);
    void updateCursor();
    void noteProcessedRegion(const core::Rect& region);

    void draw(QImage& image) const;
    void drawDetail(QPainter& p, int w, int h) const;
    void drawFullCrop(QPainter& p, int w, int h) const;
    void drawCurves(QPainter& p, int w, int h) const;
    void drawHistogram(QImage& image, QPainter& p, int w, int h) const;

    velanox::document::CSotavoDoc* m_doc = nullptr;
    ModeTarget* m_modeTarget = nullptr;
    Debouncer m_reprocess;
    int m_scrollX = 0;
    int m_scrollY = 0;
    bool m_dragging = false;
    QPoint m_lastPointer;
    bool m_gridVisible = false;
    double m_dragRemainderX = 0;
    double m_dragRemainderY = 0;
    bool m_settingBars = false;
    /// Where the result may differ from the source: the union of the regions run since the
    /// result was last made a copy of the source.
    core::Rect m_processedRegion;
    int m_detailZoom = 1;
};

/// The Full/Crop fit of a crop window cw x ch into a client area w x h: the displayed size N x
/// Q and its top-left corner (margins 40 across, 60 down, 10 below the title).
struct CropFit {
    int n = 0, q = 0, x = 0, y = 0;
};
CropFit fitCropWindow(int cw, int ch, int w, int h);

/// The bend, black point and white point a curves-box press at (x, y) leaves in a client
/// area w x h (shift: the bend; otherwise the level of the half pressed).
struct CurvesPress {
    int blackPoint;
    int whitePoint;
    double midtoneBend;
};
CurvesPress curvesBoxRule(CurvesPress current, int x, int y, int w, int h, bool shift);

} // namespace velanox::ui
