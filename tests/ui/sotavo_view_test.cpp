#include "ui_test_main.h"

#include "document/csotavo_doc.h"
#include "support/recording_host.h"
#include "ui/debouncer.h"
#include "ui/mode_colors.h"
#include "ui/sotavo_view.h"

#include <QScrollBar>
#include <QTest>

#include <algorithm>

using namespace velanox::ui;

namespace {

// A picture with a horizontal ramp, as source and result.
void givePicture(velanox::document::CSotavoDoc& doc, int w, int h) {
    doc.sourceImage.allocate(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = doc.sourceImage.pixels() + std::size_t(y) * doc.sourceImage.rowBytes() +
                         std::size_t(x) * 3;
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = 200;
        }
    doc.resultImage.copyFrom(doc.sourceImage);
}

struct ViewFixture {
    velanox::test::RecordingHost host;
    velanox::document::CSotavoDoc doc{host};
    CSotavoView view;

    ViewFixture(int pictureW, int pictureH, int viewW, int viewH) {
        givePicture(doc, pictureW, pictureH);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(viewW, viewH);
        view.setDocument(&doc);
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
        view.reprocessTimer().cancel();
    }
    QWidget* surface() { return view.viewport(); }
};

} // namespace

class SotavoViewTest : public QObject {
    Q_OBJECT
private slots:
    void theDetailRectangleAtTheRightEdgeKeepsItsWidth() {
        ViewFixture f(300, 200, 100, 100);
        const int w = f.view.clientWidth();
        f.view.horizontalScrollBar()->setValue(f.view.horizontalScrollBar()->maximum());
        QCOMPARE(f.view.scrollX(), 300 - w);
        f.view.requestDetailProcessing();
        const velanox::core::Rect r = f.doc.display.detailRect;
        QCOMPARE(r.right, 300);
        QCOMPARE(r.width(), w);
        QCOMPARE(r.height(), f.view.clientHeight() / 2 - 2);
        QVERIFY(f.doc.processing.resultValid);
        // Scrolling to fractions is clamped the same way.
        f.view.scrollToFraction(0.99, 0.99);
        QCOMPARE(f.view.scrollX(), 300 - w);
        QCOMPARE(f.view.scrollY(), 200 - f.view.clientHeight() / 2);
    }

    void aWindowTwiceAsTallAsThePictureKeepsScrollYAtZero() {
        ViewFixture f(300, 60, 100, 140);
        QCOMPARE(f.view.verticalScrollBar()->maximum(), 0);
        QTest::mousePress(f.surface(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
        QTest::mouseMove(f.surface(), QPoint(30, 5));
        QTest::mouseMove(f.surface(), QPoint(20, 0));
        QCOMPARE(f.view.scrollY(), 0);
        QCOMPARE(f.view.scrollX(), 30); // the horizontal drag still moves
        QVERIFY(f.view.isDragging());
        QTest::mouseRelease(f.surface(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 0));
        QVERIFY(!f.view.isDragging());
        QCOMPARE(f.view.reprocessTimer().pendingDelay(), Debouncer::kSettleMs);
        QVERIFY(f.view.reprocessTimer().isPending());
    }

    void theMiddleRowOfTheCurvesBoxChangesNothingAndShiftBendsAtMostFour() {
        ViewFixture f(100, 100, 600, 400);
        f.doc.display.displayTab = velanox::document::kTabCurves;
        f.view.updateScrollBars();
        const int w = f.view.clientWidth(), h = f.view.clientHeight();
        const int left = (w - 255) / 2, top = (h - 255) / 2;
        QTest::mouseClick(f.surface(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(left + 50, top + 128));
        QCOMPARE(f.doc.color.tone.blackPoint, 0);
        QCOMPARE(f.doc.color.tone.whitePoint, 255);
        // Lower half: black point, limited to 100; upper half: white point, at least 155.
        QTest::mouseClick(f.surface(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(left + 60, top + 200));
        QCOMPARE(f.doc.color.tone.blackPoint, 60);
        QTest::mouseClick(f.surface(), Qt::LeftButton, Qt::NoModifier, QPoint(left + 20, top + 10));
        QCOMPARE(f.doc.color.tone.whitePoint, 155);
        QTest::mouseClick(f.surface(), Qt::LeftButton, Qt::ShiftModifier, QPoint(0, top + 10));
        QCOMPARE(f.doc.color.tone.midtoneBend, 4.0);
        QTest::mouseClick(f.surface(), Qt::LeftButton, Qt::ShiftModifier, QPoint(w - 1, top));
        QCOMPARE(f.doc.color.tone.midtoneBend, -4.0);
    }

    void pressesWhileCalculatingDoNothing() {
        ViewFixture f(400, 400, 100, 100);
        f.view.scrollToFraction(0.25, 0.25);
        const int x0 = f.view.scrollX(), y0 = f.view.scrollY();
        f.doc.processing.calculating = 1;
        f.view.refresh();
        QTest::mousePress(f.surface(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QTest::mouseMove(f.surface(), QPoint(10, 10));
        QTest::mouseRelease(f.surface(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(f.view.scrollX(), x0);
        QCOMPARE(f.view.scrollY(), y0);
        QVERIFY(!f.view.isDragging());
        QCOMPARE(f.surface()->cursor().shape(), Qt::WaitCursor);
        // Scroll-bar actions are ignored too.
        f.view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(f.view.scrollY(), y0);
        f.doc.processing.calculating = 0;
        f.view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(f.view.scrollY(), y0 + 5);
        f.view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(f.view.scrollY(), y0 + 25);
        QCOMPARE(f.view.reprocessTimer().pendingDelay(), Debouncer::kScrollBarMs);
    }

    void detailModeDrawsSourceAboveResultBelowAndTheSeparator() {
        ViewFixture f(300, 300, 120, 100);
        const QImage shot = f.view.renderToImage();
        const int m = shot.height() / 2;
        QCOMPARE(QColor(shot.pixel(10, 5)), QColor(10, 5, 200));
        QCOMPARE(QColor(shot.pixel(10, m + 2)), QColor(10, 0, 200)); // result, same place
        QCOMPARE(QColor(shot.pixel(50, m)), colorFromBgr(0xC0C0C0));
        f.doc.display.outputWindowMode = velanox::pipeline::kOutputFilteredNoise;
        QCOMPARE(QColor(f.view.renderToImage().pixel(50, m + 10)), colorFromBgr(0xC0FFC0));
    }

    void histogramBarsMixWhereTheyOverlap() {
        ViewFixture f(50, 50, 300, 300);
        f.doc.display.displayTab = velanox::document::kTabHistogram;
        f.doc.display.histogramBars[0][10] = 5;
        f.doc.display.histogramBars[1][10] = 3;
        const QImage shot = f.view.renderToImage();
        const int left = (shot.width() - 255) / 2, y0 = (shot.height() - 255) / 2 + 255;
        QCOMPARE(QColor(shot.pixel(left + 10, y0 - 4)), QColor(255, 64, 64));
        QCOMPARE(QColor(shot.pixel(left + 10, y0)), QColor((255 + 64) / 2, (64 + 255) / 2, 64));
        QCOMPARE(QColor(shot.pixel(left + 11, y0)), QColor(0, 0, 0)); // the border row
    }

    void escapeAndEnterAreTakenInDetailMode() {
        ViewFixture f(50, 50, 100, 100);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&f.view, &escape);
        QVERIFY(escape.isAccepted());
    }

    void theFullCropFitKeepsTheMargins() {
        const CropFit fit = fitCropWindow(300, 200, 440, 1000);
        QCOMPARE(fit.n, 400);
        QCOMPARE(fit.q, 266);
        const CropFit tall = fitCropWindow(300, 200, 1000, 260);
        QCOMPARE(tall.q, 200);
        QCOMPARE(tall.n, 300);
        QCOMPARE(tall.y, (260 - 200) / 2 + 10);
        const CropFit tiny = fitCropWindow(300, 200, 30, 30);
        QVERIFY(tiny.n <= 0 || tiny.q <= 0);
    }
};

VELANOX_UI_TEST(SotavoViewTest);
#include "sotavo_view_test.moc"
