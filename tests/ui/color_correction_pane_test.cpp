#include "pane_fixture.h"
#include "ui_test_main.h"

#include "color/auto_levels.h"
#include "ui/panes/color_correction_pane.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/skinned_slider.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace velanox;
using namespace velanox::ui;
using velanox::ui::test::control;
using velanox::ui::test::PaneFixture;

namespace {

// Records the keys that reach it, to see what the pane lets through.
class KeyWitness : public QWidget {
public:
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

QString labelText(QWidget* pane, int id) {
    return control<QLabel>(pane, id)->text();
}

// A move that is not a drag: the value changes with the thumb released (a click on the groove).
void click(SkinnedSlider* slider, int position) {
    slider->setValue(position);
}

} // namespace

class ColorCorrectionPaneTest : public QObject {
    Q_OBJECT

private slots:
    void temperatureSliderGivesTheBlueGamma() {
        PaneFixture f;
        ColorCorrectionPane pane;
        pane.attachDocument(f.doc.get());
        auto* slider = control<SkinnedSlider>(&pane, ids::kSliderTemperature);
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 200);
        click(slider, 0);
        QCOMPARE(f.doc->color.tone.gamma, 0.6f);
        QCOMPARE(labelText(&pane, ids::kLabelTemperature), QStringLiteral("-100"));
        click(slider, 200);
        QCOMPARE(f.doc->color.tone.gamma, 1.4f);
        QCOMPARE(labelText(&pane, ids::kLabelTemperature), QStringLiteral("100"));
        click(slider, 100);
        const float one = 1.0f;
        QVERIFY(std::memcmp(&f.doc->color.tone.gamma, &one, sizeof one) == 0);
        QCOMPARE(labelText(&pane, ids::kLabelTemperature), QStringLiteral("0"));
    }

    void levelExposureAndBoostSlidersAndTheirLabels() {
        PaneFixture f;
        ColorCorrectionPane pane;
        pane.attachDocument(f.doc.get());
        click(control<SkinnedSlider>(&pane, ids::kSliderBlackPoint), 40);
        QCOMPARE(f.doc->color.tone.blackPoint, 40);
        QCOMPARE(labelText(&pane, ids::kLabelBlackPoint), QStringLiteral("40"));
        click(control<SkinnedSlider>(&pane, ids::kSliderWhitePoint), 30);
        QCOMPARE(f.doc->color.tone.whitePoint, 225);
        QCOMPARE(labelText(&pane, ids::kLabelWhitePoint), QStringLiteral("30"));
        auto* exposure = control<SkinnedSlider>(&pane, ids::kSliderExposure);
        QCOMPARE(exposure->maximum(), 800);
        click(exposure, 550);
        QCOMPARE(f.doc->color.tone.midtoneBend, 1.5);
        QCOMPARE(labelText(&pane, ids::kLabelExposure), QStringLiteral("1.5"));
        click(exposure, 0);
        QCOMPARE(labelText(&pane, ids::kLabelExposure), QStringLiteral("-4.0"));
        click(control<SkinnedSlider>(&pane, ids::kSliderColorBoost), 100);
        QCOMPARE(f.doc->color.tone.colorBoost, 100);
        QCOMPARE(labelText(&pane, ids::kLabelColorBoost), QStringLiteral("100"));
    }

    void refreshRoundsTheFloatingPointValuesToPositions() {
        PaneFixture f;
        f.doc->color.tone.gamma = 1.2f;
        f.doc->color.tone.midtoneBend = -1.25;
        f.doc->color.tone.whitePoint = 200;
        ColorCorrectionPane pane;
        pane.attachDocument(f.doc.get());
        QCOMPARE(control<SkinnedSlider>(&pane, ids::kSliderTemperature)->value(), 150);
        QCOMPARE(labelText(&pane, ids::kLabelTemperature), QStringLiteral("50"));
        QCOMPARE(control<SkinnedSlider>(&pane, ids::kSliderExposure)->value(), 275);
        QCOMPARE(labelText(&pane, ids::kLabelExposure), QStringLiteral("-1.2")); // %.1f of -1.25
        QCOMPARE(control<SkinnedSlider>(&pane, ids::kSliderWhitePoint)->value(), 55);
        // Refreshing announces nothing: no value changed, no timer started.
        QTest::qWait(150);
        QCOMPARE(f.host.viewUpdates, 0);
    }

    void resetRefreshesAllFiveAndRunsOnce() {
        PaneFixture f;
        f.doc->color.tone = color::ToneValues{30, 200, 1.4f, 2.0, 50};
        ColorCorrectionPane pane;
        pane.setLinks(f.countingLinks());
        pane.attachDocument(f.doc.get());
        control<QPushButton>(&pane, ids::kButtonReset)->click();
        const color::ToneValues& t = f.doc->color.tone;
        QCOMPARE(t.blackPoint, 0);
        QCOMPARE(t.whitePoint, 255);
        QCOMPARE(t.gamma, 1.0f);
        QCOMPARE(t.midtoneBend, 0.0);
        QCOMPARE(t.colorBoost, 0);
        for (int id : {ids::kLabelBlackPoint, ids::kLabelWhitePoint, ids::kLabelTemperature,
                       ids::kLabelColorBoost})
            QCOMPARE(labelText(&pane, id), QStringLiteral("0"));
        QCOMPARE(labelText(&pane, ids::kLabelExposure), QStringLiteral("0.0"));
        QCOMPARE(control<SkinnedSlider>(&pane, ids::kSliderTemperature)->value(), 100);
        QCOMPARE(control<SkinnedSlider>(&pane, ids::kSliderExposure)->value(), 400);
        QTRY_COMPARE_WITH_TIMEOUT(f.detailRuns, 1, velanox::ui::test::kSlowMachineMs);
    }

    void autoTakesTheLevelsOfTheSource() {
        PaneFixture f;
        f.makeSource(40, 30, 100); // uniform grey 100: black 100, white 151 raised to 210
        ColorCorrectionPane pane;
        pane.setLinks(f.countingLinks());
        pane.attachDocument(f.doc.get());
        control<QPushButton>(&pane, ids::kButtonAuto)->click();
        const color::AutoLevels expected = velanox::color::autoLevels(core::ConstImageView(
            f.doc->sourceImage.pixels(), f.doc->sourceImage.width, f.doc->sourceImage.height, 3));
        QCOMPARE(f.doc->color.tone.blackPoint, expected.black);
        QCOMPARE(f.doc->color.tone.whitePoint, expected.white);
        QCOMPARE(f.doc->color.tone.blackPoint, 100);
        QCOMPARE(f.doc->color.tone.whitePoint, 210);
        QCOMPARE(labelText(&pane, ids::kLabelBlackPoint), QStringLiteral("100"));
        QCOMPARE(labelText(&pane, ids::kLabelWhitePoint), QStringLiteral("45"));
        QCOMPARE(control<SkinnedSlider>(&pane, ids::kSliderWhitePoint)->value(), 45);
        QTRY_COMPARE_WITH_TIMEOUT(f.detailRuns, 1, velanox::ui::test::kSlowMachineMs);
    }

    void autoWithoutAPictureSetsNeutralLevels() {
        PaneFixture f;
        f.doc->color.tone.blackPoint = 20;
        ColorCorrectionPane pane;
        pane.setLinks(f.countingLinks());
        pane.attachDocument(f.doc.get());
        control<QPushButton>(&pane, ids::kButtonAuto)->click();
        QCOMPARE(f.doc->color.tone.blackPoint, 0);
        QCOMPARE(f.doc->color.tone.whitePoint, 255);
    }

    void aBurstOfClicksGivesOneRun() {
        PaneFixture f;
        f.makeRamp(64, 32);
        ColorCorrectionPane pane;
        pane.setLinks(f.countingLinks());
        pane.attachDocument(f.doc.get());
        auto* boost = control<SkinnedSlider>(&pane, ids::kSliderColorBoost);
        for (int p = 1; p <= 8; ++p) {
            click(boost, p * 5);
            QTest::qWait(20);
        }
        QTest::qWait(250);
        QCOMPARE(f.detailRuns, 1);
        QCOMPARE(f.doc->color.tone.colorBoost, 40);
        QVERIFY(!f.doc->quickPreview.hasPixels());
    }

    void aDragPreviewsColorOnlyAndRunsThePipelineAtItsEnd() {
        PaneFixture f;
        f.makeRamp(64, 32);
        ColorCorrectionPane pane;
        pane.setLinks(f.countingLinks());
        pane.attachDocument(f.doc.get());
        auto* exposure = control<SkinnedSlider>(&pane, ids::kSliderExposure);
        exposure->setSliderDown(true);
        for (int p = 410; p <= 500; p += 10) {
            exposure->setValue(p);
            QTest::qWait(10);
        }
        QTest::qWait(200);
        // Timer 2: one colour-only preview of the detail rectangle, no pipeline run.
        QCOMPARE(f.detailRuns, 0);
        QCOMPARE(f.redraws, 1);
        QVERIFY(f.doc->quickPreview.hasPixels());
        QCOMPARE(f.doc->quickPreview.width, 64);
        QVERIFY(f.doc->quickPreview.pixels()[3 * 32] > f.doc->sourceImage.pixels()[3 * 32]);
        exposure->setSliderDown(false); // the end of the drag: timer 1
        QTRY_COMPARE_WITH_TIMEOUT(f.detailRuns, 1, velanox::ui::test::kSlowMachineMs);
        QCOMPARE(f.doc->color.tone.midtoneBend, 1.0);
    }

    void theTimerFollowsTheTabAndTheMode() {
        PaneFixture f;
        f.makeRamp(64, 32);
        ColorCorrectionPane pane;
        pane.setLinks(f.countingLinks());
        pane.attachDocument(f.doc.get());
        auto* black = control<SkinnedSlider>(&pane, ids::kSliderBlackPoint);

        f.doc->display.displayTab = document::kTabHistogram;
        click(black, 10);
        QTRY_COMPARE_WITH_TIMEOUT(f.histograms, 1, velanox::ui::test::kSlowMachineMs);
        f.doc->display.displayTab = document::kTabCurves;
        click(black, 12);
        QTRY_COMPARE_WITH_TIMEOUT(f.redraws, 1, velanox::ui::test::kSlowMachineMs);
        f.doc->display.displayTab = document::kTabImage;
        QVERIFY(f.doc->enterCropMode(true).ok());

        click(black, 14);
        QTRY_COMPARE_WITH_TIMEOUT(f.cropEntries, 1, velanox::ui::test::kSlowMachineMs);
        QCOMPARE(f.detailRuns, 0);
    }

    void withoutADocumentNothingHappens() {
        ColorCorrectionPane pane;
        int runs = 0;
        PaneLinks links;
        links.processDetail = [&] { ++runs; };
        pane.setLinks(links);
        click(control<SkinnedSlider>(&pane, ids::kSliderBlackPoint), 50);
        control<QPushButton>(&pane, ids::kButtonReset)->click();
        control<QPushButton>(&pane, ids::kButtonAuto)->click();
        QTest::qWait(150);
        QCOMPARE(runs, 0);
    }

    void enterAndEscapeStopAtThePane() {
        KeyWitness outer;
        auto* pane = new ColorCorrectionPane(&outer);
        QTest::keyClick(pane, Qt::Key_Return);
        QTest::keyClick(pane, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(pane, Qt::Key_Escape);
        QVERIFY(outer.keys.empty());
        QTest::keyClick(pane, Qt::Key_F5);
        QCOMPARE(outer.keys.size(), std::size_t(1));
    }
};

VELANOX_UI_TEST(ColorCorrectionPaneTest);
#include "color_correction_pane_test.moc"
