#include "temp_settings.h"
#include "ui_test_main.h"

#include "ui/main_frame.h"
#include "ui/mode_tab_strip.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_ids.h"

#include <QAction>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

using namespace velanox::ui;

class ModeTabStripTest : public QObject {
    Q_OBJECT

    static void fill(ModeTabStrip& strip) {
        strip.addTab(QStringLiteral("Details"), ids::kDetailMode);
        strip.addTab(QStringLiteral("Full/Crop"), ids::kFullCropMode);
        strip.addTab(QStringLiteral("Curves"), ids::kCurves);
        strip.addTab(QStringLiteral("Histogram"), ids::kHistogram);
        strip.resize(600, strip.sizeHint().height());
    }

private slots:
    void boundariesFollowTheLabelWidths() {
        ModeTabStrip strip;
        fill(strip);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(11);
        const QFontMetrics metrics(font);
        const int b1 = metrics.horizontalAdvance(QStringLiteral("Details")) + 20;
        const int b2 = b1 + metrics.horizontalAdvance(QStringLiteral("Full/Crop")) + 20;
        QCOMPARE(strip.tabLeft(0), 20);
        QCOMPARE(strip.tabRight(0), b1 + 20);
        QCOMPARE(strip.tabLeft(1), b1 + 20);
        QCOMPARE(strip.tabRight(1), b2 + 20);
    }

    void hitTestingUsesTheLeftMargin() {
        ModeTabStrip strip;
        fill(strip);
        const int b1 = strip.tabRight(0) - 20;
        QCOMPARE(strip.tabAt(0), -1);
        QCOMPARE(strip.tabAt(20), -1); // b0 < x - 20 is strict
        QCOMPARE(strip.tabAt(21), 0);
        QCOMPARE(strip.tabAt(b1 + 20), 0); // x - 20 <= b1 still belongs to tab 0
        QCOMPARE(strip.tabAt(b1 + 21), 1);
        QCOMPARE(strip.tabAt(strip.tabRight(3)), 3);
        QCOMPARE(strip.tabAt(strip.tabRight(3) + 1), -1);
    }

    void pressAndReleaseOnOneTabSendsItsCommand() {
        ModeTabStrip strip;
        fill(strip);
        QSignalSpy sent(&strip, &ModeTabStrip::commandRequested);
        const QPoint onCurves((strip.tabLeft(2) + strip.tabRight(2)) / 2, 10);
        QTest::mousePress(&strip, Qt::LeftButton, {}, onCurves);
        QCOMPARE(strip.current(), 2);
        QCOMPARE(strip.pressed(), 2);
        QTest::mouseRelease(&strip, Qt::LeftButton, {}, onCurves);
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0).at(0).toInt(), ids::kCurves);
        QCOMPARE(strip.pressed(), -1);
    }

    void releaseOverAnotherTabSendsNothing() {
        ModeTabStrip strip;
        fill(strip);
        QSignalSpy sent(&strip, &ModeTabStrip::commandRequested);
        const QPoint onFullCrop((strip.tabLeft(1) + strip.tabRight(1)) / 2, 10);
        const QPoint onHistogram((strip.tabLeft(3) + strip.tabRight(3)) / 2, 10);
        QTest::mousePress(&strip, Qt::LeftButton, {}, onFullCrop);
        QTest::mouseRelease(&strip, Qt::LeftButton, {}, onHistogram);
        QCOMPARE(sent.count(), 0);
        // The strip goes back to the tab that is really shown.
        QCOMPARE(strip.current(), 0);
    }

    void pressOutsideEveryTabKeepsTheCurrentOne() {
        ModeTabStrip strip;
        fill(strip);
        strip.setCurrent(2);
        QSignalSpy sent(&strip, &ModeTabStrip::commandRequested);
        QTest::mousePress(&strip, Qt::LeftButton, {}, QPoint(5, 10));
        QCOMPARE(strip.current(), 2);
        QCOMPARE(strip.pressed(), -1);
        QTest::mouseRelease(&strip, Qt::LeftButton, {}, QPoint(5, 10));
        QCOMPARE(sent.count(), 0);
    }

    void setCurrentIgnoresIndicesBeyondTheTabs() {
        ModeTabStrip strip;
        fill(strip);
        strip.setCurrent(3);
        strip.setCurrent(4);
        strip.setCurrent(-1);
        QCOMPARE(strip.current(), 3);
    }

    void fourCtrlPageDownFromDetailsReturnToDetails() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QToolBar* crop = frame.toolbar(ids::kCropToolbar);
        QCOMPARE(frame.modeTabs()->current(), 0);
        const int expected[] = {1, 2, 3, 0};
        for (int tab : expected) {
            QTest::keyClick(&frame, Qt::Key_PageDown, Qt::ControlModifier);
            QCOMPARE(frame.modeTabs()->current(), tab);
            // The Crop toolbar shows exactly while Full/Crop is selected.
            QCOMPARE(!crop->isHidden(), tab == 1);
        }
        QVERIFY(frame.command(ids::kDetailMode)->isChecked());
        QVERIFY(!frame.command(ids::kHistogram)->isChecked());
    }

    void ctrlPageUpWrapsBackwards() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTest::keyClick(&frame, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(frame.modeTabs()->current(), 3);
        QVERIFY(frame.command(ids::kHistogram)->isChecked());
        QTest::keyClick(&frame, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(frame.modeTabs()->current(), 2);
        QVERIFY(frame.command(ids::kCurves)->isChecked());
    }

    void aTabClickRunsItsModeCommand() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        ModeTabStrip* strip = frame.modeTabs();
        const QPoint onFullCrop((strip->tabLeft(1) + strip->tabRight(1)) / 2, 10);
        QTest::mouseClick(strip, Qt::LeftButton, {}, onFullCrop);
        QTRY_VERIFY_WITH_TIMEOUT(frame.command(ids::kFullCropMode)->isChecked(),
                                 velanox::ui::test::kSlowMachineMs);
        QVERIFY(!frame.toolbar(ids::kCropToolbar)->isHidden());
    }
};

VELANOX_UI_TEST(ModeTabStripTest);

#include "mode_tab_strip_test.moc"
