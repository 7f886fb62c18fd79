#include "ui/sotavo_view.h"

#include "ui/display_colors.h"

#include "color/histogram.h"
#include "document/crop_rotate.h"
#include "document/csotavo_doc.h"
#include "document/load_source.h"
#include "ui/display_colors.h"
#include "ui/mode_colors.h"
#include "ui/mode_commands.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velanox::ui {

namespace {

constexpr int kLineStep = 5;
constexpr int kPageStep = 20;
constexpr int kTitleHeight = 20;
constexpr int kPlotSize = 255;

const char* const kTitleFullCrop = "Full/Crop Mode";
const char* const kTitleCurves = "Curves";
const char* const kTitleHistogram = "Histogram";
const char* const kLabelEdges = "Highlited Edges on Output";
const char* const kLabelNoise = "Filtered Noise from Output (amplified) ";
const char* const kBusyNotice = " Calculating... ";
const char* const kLabelOriginal = "Original";
const char* const kLabelResult = "Result";

// A filled rectangle with a one-pixel raised border: white top and left, dark bottom and right.
void fillRaised(QPainter& p, const QRect& r, const QColor& fill) {
    p.fillRect(r, fill);
    if (r.width() <= 0 || r.height() <= 0) return;
    const QColor light(255, 255, 255), dark = colorFromBgr(0x404040);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dark);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dark);
}

// A bar with its text at the top left of the narrowed rectangle (vertical centring without the
// single-line flag leaves the text there).
void drawBar(QPainter& p, const QRect& r, const QColor& fill, const char* text) {
    fillRaised(p, r, fill);
    p.setPen(Qt::black);
    p.drawText(r.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(text));
}

// 24-bit rows wrapped without a copy; the image must not outlive the picture.
QImage wrapRgb(const codec::Picture& picture, int x, int y, int w, int h) {
    if (!picture.hasPixels() || picture.bitsPerPixel != 24 || w <= 0 || h <= 0) return {};
    const std::size_t stride = picture.rowBytes();
    const uint8_t* first = picture.pixels() + std::size_t(y) * stride + std::size_t(x) * 3;
    return QImage(first, w, h, qsizetype(stride), QImage::Format_RGB888);
}

// A half's name, small, in its bottom right corner (clear of the diagnostic bar at the top of
// the lower half).
void drawHalfLabel(QPainter& p, const QRect& half, const char* text) {
    p.save();
    QFont font = p.font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.8));
    else
        font.setPixelSize(std::max(8, font.pixelSize() * 4 / 5));
    p.setFont(font);
    const QString label = QString::fromLatin1(text);
    const QFontMetrics metrics(font);
    QRect box(0, 0, metrics.horizontalAdvance(label) + 8, metrics.height() + 2);
    box.moveBottomRight(half.bottomRight() - QPoint(4, 4));
    if (box.top() > half.top()) {
        p.fillRect(box, QColor(255, 255, 255, 190));
        p.setPen(QColor(40, 40, 40));
        p.drawText(box, Qt::AlignCenter, label);
    }
    p.restore();
}

} // namespace

CropFit fitCropWindow(int cw, int ch, int w, int h) {
    CropFit fit;
    if (cw <= 0 || ch <= 0) return fit;
    const double a = double(cw) / double(ch);
    int n = w - 40;
    int q = int(n / a);
    if (h - 60 < q) {
        q = h - 60;
        n = int(a * q);
    }
    fit.n = n;
    fit.q = q;
    fit.x = (w - n) / 2;
    fit.y = (h - q) / 2 + 10;
    return fit;
}

CurvesPress curvesBoxRule(CurvesPress current, int x, int y, int w, int h, bool shift) {
    const int r = std::clamp(y - (h - kPlotSize) / 2, 0, 255);
    const int left = (w - kPlotSize) / 2;
    if (shift) {
        const int d = std::clamp(3 * (left - x) + 128, -400, 400);
        current.midtoneBend = d * 0.01;
    } else {
        const int v = std::clamp(x - left, 0, 255);
        if (r > 128) current.blackPoint = v;
        if (r < 128) current.whitePoint = v;
    }
    current.blackPoint = std::min(current.blackPoint, 100);
    current.whitePoint = std::max(current.whitePoint, 155);
    return current;
}

CSotavoView::CSotavoView(QWidget* parent)
    : QAbstractScrollArea(parent), m_reprocess([this] {
          if (m_doc && m_doc->display.displayTab == document::kTabImage) requestDetailProcessing();
      }) {
    setObjectName(QStringLiteral("view"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(false);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setSingleStep(kLineStep);
        bar->setPageStep(kPageStep);
        bar->setRange(0, 0);
    }
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onBarAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onBarAction(Qt::Vertical, action); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { onBarValue(Qt::Horizontal, value); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { onBarValue(Qt::Vertical, value); });
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QScrollBar::sliderReleased, this, [this] {
            if (!calculating()) m_reprocess.schedule(Debouncer::kScrollBarMs);
        });
}

void CSotavoView::setDocument(velanox::document::CSotavoDoc* document) {
    m_doc = document;
    updateScrollBars();
    refresh();
}

bool CSotavoView::hasSource() const {
    return m_doc && m_doc->sourceImage.hasPixels();
}

bool CSotavoView::calculating() const {
    return m_doc && m_doc->processing.calculating != 0;
}

CSotavoView::Mode CSotavoView::mode() const {
    if (!m_doc) return Mode::Detail;
    if (m_doc->display.displayTab == document::kTabCurves) return Mode::Curves;
    if (m_doc->display.displayTab == document::kTabHistogram) return Mode::Histogram;
    return m_doc->crop.cropMode ? Mode::FullCrop : Mode::Detail;
}

int CSotavoView::clientWidth() const {
    return int(std::lround(viewport()->width() * viewport()->devicePixelRatioF()));
}

int CSotavoView::clientHeight() const {
    return int(std::lround(viewport()->height() * viewport()->devicePixelRatioF()));
}

QPoint CSotavoView::devicePoint(const QPointF& logical) const {
    const double dpr = viewport()->devicePixelRatioF();
    return QPoint(int(std::floor(logical.x() * dpr)), int(std::floor(logical.y() * dpr)));
}

int CSotavoView::detailColumns() const {
    return (clientWidth() + m_detailZoom - 1) / m_detailZoom;
}

int CSotavoView::detailRows() const {
    // At 100 % the rectangle ends two rows above the middle, as it always has.
    const int rows = clientHeight() / 2 - 2;
    return m_detailZoom == 1 ? rows : (std::max(0, rows) + m_detailZoom - 1) / m_detailZoom;
}

int CSotavoView::scrollMaxX() const {
    return hasSource() ? std::max(0, m_doc->sourceImage.width - detailColumns()) : 0;
}

int CSotavoView::scrollMaxY() const {
    if (!hasSource()) return 0;
    const int shown = m_detailZoom == 1 ? clientHeight() / 2 : detailRows();
    return std::max(0, m_doc->sourceImage.height - shown);
}

void CSotavoView::setDetailZoom(int zoom) {
    zoom = zoom >= 4 ? 4 : zoom >= 2 ? 2 : 1;
    if (zoom == m_detailZoom) return;
    // The middle of the upper half stays where it is.
    const int cx = m_scrollX + detailColumns() / 2, cy = m_scrollY + detailRows() / 2;
    m_detailZoom = zoom;
    m_scrollX = cx - detailColumns() / 2;
    m_scrollY = cy - detailRows() / 2;
    updateScrollBars();
    publishVisibleRect();
    viewport()->update();
    emit detailZoomChanged(zoom);
    // Zooming out shows more of the picture: its result follows a moment later.
    if (mode() == Mode::Detail && hasSource() && !calculating())
        m_reprocess.schedule(Debouncer::kSettleMs);
}

void CSotavoView::toggleGrid() {
    m_gridVisible = !m_gridVisible;
    viewport()->update();
}

void CSotavoView::refresh() {
    viewport()->update();
    updateCursor();
}

void CSotavoView::updateCursor() {
    if (calculating())
        viewport()->setCursor(Qt::WaitCursor);
    else if (m_dragging)
        viewport()->setCursor(Qt::ClosedHandCursor);
    else
        viewport()->unsetCursor();
}

// ---- detail rectangle and scrolling ------------------------------------------------------

void CSotavoView::noteProcessedRegion(const core::Rect& region) {
    if (region.isEmpty()) return;
    if (m_processedRegion.isEmpty()) {
        m_processedRegion = region;
        return;
    }
    m_processedRegion.left = std::min(m_processedRegion.left, region.left);
    m_processedRegion.top = std::min(m_processedRegion.top, region.top);
    m_processedRegion.right = std::max(m_processedRegion.right, region.right);
    m_processedRegion.bottom = std::max(m_processedRegion.bottom, region.bottom);
}

void CSotavoView::noteWholeResultProcessed() {
    if (hasSource())
        noteProcessedRegion(core::Rect{0, 0, m_doc->sourceImage.width, m_doc->sourceImage.height});
}

void CSotavoView::resetOutputToSource() {
    if (!m_doc || !m_doc->processing.resultValid || m_doc->crop.cropMode) return;
    if (!m_doc->mayReplaceImages()) return;
    codec::Picture& result = m_doc->resultImage;
    const codec::Picture& source = m_doc->sourceImage;
    // Every detail run writes the detail rectangle only, and the view set each of them: the
    // result differs from the source inside their union (or the whole, after a save). Only those
    // rows are copied back, so a press or a scroll on a large picture answers at once.
    noteProcessedRegion(m_doc->display.detailRect);
    const core::Rect r = clipToImage(m_processedRegion, source.width, source.height);
    if (result.width == source.width && result.height == source.height &&
        result.bitsPerPixel == source.bitsPerPixel && source.bitsPerPixel % 8 == 0 &&
        source.hasPixels() && result.hasPixels()) {
        const std::size_t stride = source.rowBytes();
        const std::size_t pixel = std::size_t(source.bitsPerPixel / 8);
        for (int y = r.top; y < r.bottom; ++y)
            std::memcpy(result.pixels() + std::size_t(y) * stride + std::size_t(r.left) * pixel,
                        source.pixels() + std::size_t(y) * stride + std::size_t(r.left) * pixel,
                        std::size_t(r.width()) * pixel);
    } else {
        result.copyFrom(source);
    }
    m_processedRegion = core::Rect{};
    m_doc->processing.resultValid = 0;
}

void CSotavoView::requestDetailProcessing() {
    if (!hasSource()) return;
    m_doc->setDetailRect(m_scrollX, m_scrollY, m_scrollX + detailColumns(),
                         m_scrollY + detailRows());
    noteProcessedRegion(m_doc->display.detailRect);
    m_doc->processImage(true);
    refresh();
}

void CSotavoView::publishVisibleRect() {
    if (!hasSource()) return;
    m_doc->display.visibleRect =
        core::Rect{m_scrollX, m_scrollY, m_scrollX + detailColumns(), m_scrollY + detailRows()};
    emit visibleRectChanged();
}

void CSotavoView::setBarsQuietly() {
    m_settingBars = true;
    if (mode() != Mode::Detail || !hasSource()) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        horizontalScrollBar()->setRange(0, scrollMaxX());
        verticalScrollBar()->setRange(0, scrollMaxY());
        horizontalScrollBar()->setValue(m_scrollX);
        verticalScrollBar()->setValue(m_scrollY);
    }
    m_settingBars = false;
}

void CSotavoView::updateScrollBars() {
    if (mode() != Mode::Detail) {
        setBarsQuietly();
        return;
    }
    if (!hasSource()) {
        setBarsQuietly();
        return;
    }
    m_scrollX = std::clamp(m_scrollX, 0, scrollMaxX());
    m_scrollY = std::clamp(m_scrollY, 0, scrollMaxY());
    setBarsQuietly();
}

void CSotavoView::onBarAction(Qt::Orientation orientation, int action) {
    QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    if (calculating()) {
        // The position cannot move under a running pipeline.
        bar->setSliderPosition(orientation == Qt::Horizontal ? m_scrollX : m_scrollY);
        return;
    }
    // Clicks, keys and the mouse wheel end their move at once; a drag ends at the release.
    Q_UNUSED(action);
    if (!bar->isSliderDown()) m_reprocess.schedule(Debouncer::kScrollBarMs);
}

void CSotavoView::onBarValue(Qt::Orientation orientation, int value) {
    if (m_settingBars || !hasSource() || mode() != Mode::Detail) return;
    if (calculating()) {
        setBarsQuietly();
        return;
    }
    int& target = orientation == Qt::Horizontal ? m_scrollX : m_scrollY;
    const int maximum = orientation == Qt::Horizontal ? scrollMaxX() : scrollMaxY();
    target = std::clamp(value, 0, maximum);
    resetOutputToSource();
    viewport()->update();
    publishVisibleRect();
}

void CSotavoView::scrollToFraction(double fx, double fy) {
    if (!hasSource()) return;
    m_scrollX = std::clamp(int(m_doc->sourceImage.width * fx), 0, scrollMaxX());
    m_scrollY = std::clamp(int(m_doc->sourceImage.height * fy), 0, scrollMaxY());
    setBarsQuietly();
    publishVisibleRect();
    viewport()->update();
}

void CSotavoView::showNewPicture() {
    m_scrollX = 0;
    m_scrollY = 0;
    updateScrollBars();
    requestDetailProcessing();
    publishVisibleRect();
}

void CSotavoView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    publishVisibleRect();
    m_reprocess.schedule(Debouncer::kSettleMs);
}

// ---- mouse and keys ------------------------------------------------------------------------

void CSotavoView::applyCurvesRule(QPoint p, bool shift) {
    color::ToneValues& tone = m_doc->color.tone;
    const CurvesPress result = curvesBoxRule({tone.blackPoint, tone.whitePoint, tone.midtoneBend},
                                             p.x(), p.y(), clientWidth(), clientHeight(), shift);
    tone.blackPoint = result.blackPoint;
    tone.whitePoint = result.whitePoint;
    tone.midtoneBend = result.midtoneBend;
    emit toneValuesChanged();
    viewport()->update();
}

void CSotavoView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_doc) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragRemainderX = 0;
    m_dragRemainderY = 0;
    const QPoint p = devicePoint(event->position());
    const Mode m = mode();
    if (m == Mode::Curves) {
        m_dragging = true;
        m_lastPointer = p;
        applyCurvesRule(p, event->modifiers() & Qt::ShiftModifier);
        return;
    }
    if (m == Mode::Histogram || calculating()) {
        QAbstractScrollArea::mousePressEvent(event);
        updateCursor();
        return;
    }
    m_dragging = true;
    m_lastPointer = p;
    updateCursor();
    resetOutputToSource();
    moveDrag(p);
}

void CSotavoView::moveDrag(QPoint p) {
    const int dx = p.x() - m_lastPointer.x(), dy = p.y() - m_lastPointer.y();
    m_lastPointer = p;
    switch (mode()) {
    case Mode::Curves:
        return;
    case Mode::Histogram:
        return;
    case Mode::Detail: {
        if (!hasSource()) return;
        // Screen pixels to image pixels, keeping the fraction for the next move.
        const double mx = double(dx) / m_detailZoom + m_dragRemainderX,
                     my = double(dy) / m_detailZoom + m_dragRemainderY;
        m_dragRemainderX = mx - int(mx);
        m_dragRemainderY = my - int(my);
        m_scrollX = std::clamp(m_scrollX - int(mx), 0, scrollMaxX());
        m_scrollY = std::clamp(m_scrollY - int(my), 0, scrollMaxY());
        publishVisibleRect();
        viewport()->update();
        setBarsQuietly();
        return;
    }
    case Mode::FullCrop: {
        if (!hasSource()) return;
        const core::Rect r = document::computeCropRect(m_doc->crop, m_doc->sourceImage.width,
                                                       m_doc->sourceImage.height);
        const CropFit fit = fitCropWindow(r.width(), r.height(), clientWidth(), clientHeight());
        if (fit.n <= 0) return;
        const double s = double(r.width()) / fit.n;
        const double mx = s * dx + m_dragRemainderX, my = s * dy + m_dragRemainderY;
        m_doc->crop.cropOffsetX -= int(mx);
        m_doc->crop.cropOffsetY -= int(my);
        // A drag against the picture's edge moves nothing.
        if (computeCropRect(m_doc->crop, m_doc->sourceImage.width, m_doc->sourceImage.height) != r)
            m_doc->crop.windowChanged = true;
        m_dragRemainderX = mx - int(mx);
        m_dragRemainderY = my - int(my);
        publishVisibleRect();
        viewport()->update();
        return;
    }
    }
}

void CSotavoView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || !m_doc) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint p = devicePoint(event->position());
    if (mode() == Mode::Curves) {
        m_lastPointer = p;
        applyCurvesRule(p, event->modifiers() & Qt::ShiftModifier);
        return;
    }
    moveDrag(p);
}

void CSotavoView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    if (m_dragging) m_reprocess.schedule(Debouncer::kSettleMs);
    m_dragging = false;
    updateCursor();
}

void CSotavoView::wheelEvent(QWheelEvent* event) {
    if (m_doc && mode() == Mode::Detail && (event->modifiers() & Qt::ControlModifier)) {
        // Ctrl and the wheel step the Detail view's magnification: 100, 200, 400 %.
        const int delta = event->angleDelta().y();
        if (delta > 0) setDetailZoom(m_detailZoom * 2);
        if (delta < 0) setDetailZoom(m_detailZoom / 2);
        event->accept();
        return;
    }
    if (!m_doc || !m_doc->crop.cropMode) {
        event->ignore();
        return;
    }
    const bool middle = event->buttons() & Qt::MiddleButton;
    if (document::wheelZoom(m_doc->crop, event->angleDelta().y(), middle)) {
        publishVisibleRect();
        viewport()->update();
        event->accept();
    }
}

void CSotavoView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept(); // both keys are the view's, whatever the mode
    if (!m_doc || !m_modeTarget || !m_doc->crop.cropMode) return;
    if (key == Qt::Key_Escape)
        m_modeTarget->leaveCropMode(true, true);
    else
        m_modeTarget->leaveCropMode(false, true);
}

void CSotavoView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CSotavoView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CSotavoView::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    emit fileDropped(urls.front().toLocalFile());
}

// ---- drawing ---------------------------------------------------------------------------------

void CSotavoView::paintEvent(QPaintEvent*) {
    // Everything is drawn off-screen first and put on the screen in one go.
    QImage image = renderToImage();
    image.setDevicePixelRatio(viewport()->devicePixelRatioF());
    QPainter p(viewport());
    p.drawImage(0, 0, image);
}

QImage CSotavoView::renderToImage() const {
    QImage image(std::max(1, clientWidth()), std::max(1, clientHeight()), QImage::Format_RGB32);
    draw(image);
    return image;
}

void CSotavoView::draw(QImage& image) const {
    const int w = image.width(), h = image.height();
    image.fill(colorFromBgr(0x808080));
    if (!hasSource()) return;
    QPainter p(&image);
    switch (mode()) {
    case Mode::Curves:
        drawCurves(p, w, h);
        break;
    case Mode::Histogram:
        drawHistogram(image, p, w, h);
        break;
    case Mode::FullCrop:
        drawFullCrop(p, w, h);
        break;
    case Mode::Detail:
        drawDetail(p, w, h);
        break;
    }
}

void CSotavoView::drawDetail(QPainter& p, int w, int h) const {
    const int m = h / 2;
    const int z = m_detailZoom;
    const codec::Picture& source = m_doc->sourceImage;
    const int sx = std::clamp(m_scrollX, 0, source.width),
              sy = std::clamp(m_scrollY, 0, source.height);
    const int cw = std::min(detailColumns(), source.width - sx),
              ch = std::min(z == 1 ? m - 2 : detailRows(), source.height - sy);
    // Each half is drawn at its magnification, pixel by pixel, and kept inside its half.
    auto drawHalf = [&](const QImage& image, int top, int bottom) {
        if (image.isNull()) return;
        p.save();
        p.setClipRect(QRect(0, top, w, bottom - top));
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRect(0, top, image.width() * z, image.height() * z), image);
        p.restore();
    };
    // Both halves hold the picture's values: shown in the screen's colours. The edge and noise
    // displays are no colours of the picture and are shown as they are.
    DisplayColors& colors = DisplayColors::instance();
    const std::vector<uint8_t>& profile = source.info.iccProfile;
    if (QImage upper = wrapRgb(source, sx, sy, cw, ch); !upper.isNull())
        drawHalf(colors.toDisplay(upper, profile), 0, m - 2);

    const bool diagnostic = m_doc->display.outputWindowMode != pipeline::kOutputResult;
    const auto drawLower = [&](const QImage& lower) {
        if (!lower.isNull())
            drawHalf(diagnostic ? lower : colors.toDisplay(lower, profile), m + 2, h);
    };
    const codec::Picture& preview = m_doc->quickPreview;
    if (preview.hasPixels() && preview.bitsPerPixel == 24) {
        drawLower(wrapRgb(preview, 0, 0, preview.width, preview.height));
    } else {
        const codec::Picture& result = m_doc->resultImage;
        if (result.width == source.width && result.height == source.height)
            drawLower(wrapRgb(result, sx, sy, cw, ch));
    }

    fillRaised(p, QRect(0, m - 2, w, 4), colorFromBgr(0xC0C0C0));
    drawHalfLabel(p, QRect(0, 0, w, m - 2), kLabelOriginal);
    drawHalfLabel(p, QRect(0, m + 2, w, h - m - 2), kLabelResult);

    const int output = m_doc->display.outputWindowMode;
    if (output > 0) {
        const bool edges = output == pipeline::kOutputHighlightEdges;
        drawBar(p, QRect(0, m, w, kTitleHeight), colorFromBgr(edges ? 0xC0C0FF : 0xC0FFC0),
                edges ? kLabelEdges : kLabelNoise);
    }
    if (calculating()) {
        const QRect lowerHalf(0, m, w, h - m);
        const QString notice = QString::fromLatin1(kBusyNotice);
        QRect box = p.fontMetrics().boundingRect(notice);
        box.setWidth(p.fontMetrics().horizontalAdvance(notice));
        box.moveCenter(lowerHalf.center());
        p.fillRect(box, colorFromBgr(0xE0FFFF));
        p.setPen(Qt::black);
        p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, notice);
    }
}

void CSotavoView::drawFullCrop(QPainter& p, int w, int h) const {
    const codec::Picture& display = m_doc->cropDisplayImage;
    const codec::Picture& source = m_doc->sourceImage;
    const core::Rect r = document::computeCropRect(m_doc->crop, source.width, source.height);
    const CropFit fit = fitCropWindow(r.width(), r.height(), w, h);
    const QRect frame = QRect(fit.x, fit.y, fit.n, fit.q).adjusted(-8, -8, 8, 8);
    if (frame.width() > 0 && frame.height() > 0) {
        p.fillRect(frame.translated(5, 5), colorFromBgr(0x404040));
        p.fillRect(frame, Qt::white);
    }
    if (fit.n > 0 && fit.q > 0 && display.hasPixels() && display.bitsPerPixel == 32) {
        // The display image is blue, green, red, x with rows bottom to top: wrapped as it is
        // and drawn upside down, without smoothing.
        const QImage whole(display.pixels(), display.width, display.height,
                           qsizetype(display.rowBytes()), QImage::Format_RGB32);
        const QRect from(r.left, display.height - r.bottom, r.width(), r.height());
        const std::vector<uint8_t>& profile = source.info.iccProfile;
        DisplayColors& colors = DisplayColors::instance();
        if (colors.converts(profile)) {
            // Only what the window shows is converted: the crop drawn at its displayed size.
            QImage fitted(fit.n, fit.q, QImage::Format_RGB32);
            QPainter f(&fitted);
            f.setRenderHint(QPainter::SmoothPixmapTransform, false);
            f.translate(0, fit.q);
            f.scale(1, -1);
            f.drawImage(QRect(0, 0, fit.n, fit.q), whole, from);
            f.end();
            colors.convertInPlace(fitted, fitted.rect(), profile);
            p.drawImage(fit.x, fit.y, fitted);
        } else {
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.translate(fit.x, fit.y + fit.q);
            p.scale(1, -1);
            p.drawImage(QRect(0, 0, fit.n, fit.q), whole, from);
            p.restore();
        }
        if (m_gridVisible) {
            p.save();
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 0));
            p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
            const int x = fit.x, y = fit.y, n = fit.n, q = fit.q;
            p.drawLine(x + n / 3, y, x + n / 3, y + q);
            p.drawLine(x + (n / 3) * 2, y, x + (n / 3) * 2, y + q);
            p.drawLine(x, y + q / 3, x + n, y + q / 3);
            p.drawLine(x, y + (q / 3) * 2, x + n, y + (q / 3) * 2);
            p.restore();
        }
    }
    drawBar(p, QRect(0, 0, w, kTitleHeight), modeColor(1), kTitleFullCrop);
}

namespace {

QRect plotBox(QPainter& p, int w, int h) {
    const int left = (w - kPlotSize) / 2, top = (h - kPlotSize) / 2;
    const QRect box(left, top, kPlotSize, kPlotSize);
    p.fillRect(box.adjusted(-5, -5, 5, 5).translated(5, 5), colorFromBgr(0x404040));
    p.fillRect(box.adjusted(-5, -5, 5, 5), colorFromBgr(0xC8C8C8));
    p.fillRect(box.adjusted(-1, -1, 1, 1), Qt::black);
    p.fillRect(box, Qt::white);
    return box;
}

} // namespace

void CSotavoView::drawCurves(QPainter& p, int w, int h) const {
    const QRect box = plotBox(p, w, h);
    const int left = box.left(), top = box.top();
    const color::CurveTables curves =
        color::computeCurves(m_doc->color.tone, m_doc->color.match.matchTables);
    const QColor pens[3] = {colorFromBgr(0x0000FF), colorFromBgr(0x00FF00), colorFromBgr(0xFF0000)};
    for (int c = 0; c < 3; ++c) {
        p.setPen(QPen(pens[c], 0));
        QPoint from(left, top + 255);
        for (int i = 0; i <= 255; ++i) {
            const QPoint to(left + i, top + 255 - curves[c][i]);
            p.drawLine(from, to);
            from = to;
        }
    }
    drawBar(p, QRect(0, 0, w, kTitleHeight), modeColor(2), kTitleCurves);
}

void CSotavoView::drawHistogram(QImage& image, QPainter& p, int w, int h) const {
    const QRect box = plotBox(p, w, h);
    p.end(); // the bars are set pixel by pixel
    const int left = box.left(), y0 = box.top() + 255;
    const color::HistogramBars& bars = m_doc->display.histogramBars;
    const int mix[3][3] = {{255, 64, 64}, {64, 255, 64}, {64, 64, 255}};
    auto setPixel = [&](int x, int y, int c) {
        if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return;
        QRgb* px = reinterpret_cast<QRgb*>(image.scanLine(y)) + x;
        if (c == 0) {
            *px = qRgb(mix[0][0], mix[0][1], mix[0][2]);
            return;
        }
        *px = qRgb((qRed(*px) + mix[c][0]) / 2, (qGreen(*px) + mix[c][1]) / 2,
                   (qBlue(*px) + mix[c][2]) / 2);
    };
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i <= 255; ++i)
            for (int k = 0; k < bars[c][i]; ++k)
                setPixel(left + i, y0 - k, c);
    p.begin(&image);
    drawBar(p, QRect(0, 0, w, kTitleHeight), modeColor(3), kTitleHistogram);
}

} // namespace velanox::ui
