#include "ui_test_main.h"

#include "document/csotavo_doc.h"
#include "support/recording_host.h"
#include "ui/debouncer.h"
#include "ui/edit_commit.h"
#include "ui/panes/nr_options_pane.h"
#include "ui/resource_ids.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDial>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using namespace velanox::ui;

namespace {

// A small grey picture as source and result, so runs are quick.
void givePicture(velanox::document::CSotavoDoc& doc, int w = 48, int h = 32) {
    doc.sourceImage.allocate(w, h, 24);
    std::fill_n(doc.sourceImage.pixels(), doc.sourceImage.rowBytes() * std::size_t(h), 128);
    doc.resultImage.copyFrom(doc.sourceImage);
    doc.setDetailRect(0, 0, w, h);
}

int runs(const velanox::test::RecordingHost& host) {
    return int(std::count(host.log.begin(), host.log.end(), std::string("running")));
}

// The whole text replaced at once, as a paste does it.
void replaceText(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QApplication::clipboard()->setText(text);
    edit->paste();
}

// A click on the box itself (the rest of a wide check box does not take clicks).
void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

template <class T> T* control(QWidget& pane, int id) {
    return pane.findChild<T*>(objectNameFor("control", id));
}

} // namespace

class NrOptionsPaneTest : public QObject {
    Q_OBJECT
private slots:
    void typedLevelsAreCorrectedWhenCommittedNeverWhileTyping() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* edit = control<QLineEdit>(pane, ids::kNrNoiseEdit);
        QCOMPARE(edit->text(), QStringLiteral("8.0"));

        // Out of range while typing: the text stays, the level too, until Enter.
        replaceText(edit, QStringLiteral("150"));
        QCOMPARE(edit->text(), QStringLiteral("150"));
        QCOMPARE(doc.noise.noiseLevel, 8.0);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QStringLiteral("100"));
        QCOMPARE(edit->selectedText(), QStringLiteral("100"));
        QCOMPARE(doc.noise.noiseLevel, 100.0);

        // ... or until the focus leaves the box.
        replaceText(edit, QStringLiteral("-3"));
        QCOMPARE(edit->text(), QStringLiteral("-3"));
        auto* sharpen = control<QLineEdit>(pane, ids::kNrSharpenEdit);
        sharpen->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QCOMPARE(doc.noise.noiseLevel, 0.0);

        // ... or until a pause after the last keystroke.
        replaceText(edit, QStringLiteral("abc"));
        QTest::qWait(EditCommit::kPauseMs / 2);
        QCOMPARE(edit->text(), QStringLiteral("abc"));
        QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QStringLiteral("0"),
                                  velanox::ui::test::kSlowMachineMs);
        QCOMPARE(edit->selectedText(), QStringLiteral("0"));

        // The whole-number edits: below 0 and above their maximum.
        replaceText(sharpen, QStringLiteral("250"));
        QCOMPARE(sharpen->text(), QStringLiteral("250"));
        QTest::keyClick(sharpen, Qt::Key_Return);
        QCOMPARE(sharpen->text(), QStringLiteral("100"));
        QCOMPARE(pane.sharpenValue(), 100);
        auto* edge = control<QLineEdit>(pane, ids::kNrEdgeEdit);
        edge->setEnabled(true);
        replaceText(edge, QStringLiteral("256"));
        QTest::keyClick(edge, Qt::Key_Return);
        QCOMPARE(edge->text(), QStringLiteral("255"));
        QCOMPARE(edge->selectedText(), QStringLiteral("255"));
        replaceText(edge, QStringLiteral("-1"));
        QTest::keyClick(edge, Qt::Key_Return);
        QCOMPARE(edge->text(), QStringLiteral("0"));

        // Typed key by key, an in-range value is taken as it grows: 1, 12, 120.
        edge->selectAll();
        QTest::keyClicks(edge, QStringLiteral("120"));
        QCOMPARE(pane.edgeValue(), 120);
        QCOMPARE(edge->text(), QStringLiteral("120"));
    }

    void theEdgeDialKeepsATypedValueUntilTurned() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        doc.display.outputWindowMode = velanox::pipeline::kOutputHighlightEdges;
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* edge = control<QLineEdit>(pane, ids::kNrEdgeEdit);
        QVERIFY(edge->isEnabled());
        replaceText(edge, QStringLiteral("120"));
        QTest::keyClick(edge, Qt::Key_Return);
        QCOMPARE(pane.edgeValue(), 120);
        auto* button = control<QToolButton>(pane, ids::kNrEdgeDial);
        QMenu* menu = button->menu();
        auto* dial = menu->findChild<QDial*>();
        QVERIFY(dial);
        emit menu->aboutToShow();
        QCOMPARE(dial->value(), dial->maximum());
        QCOMPARE(edge->text(), QStringLiteral("120"));
        emit menu->aboutToHide();
        QCOMPARE(pane.edgeValue(), 120);
        // Turned, the dial's value replaces it.
        emit menu->aboutToShow();
        dial->setValue(40);
        emit menu->aboutToHide();
        QCOMPARE(edge->text(), QStringLiteral("40"));
        QCOMPARE(pane.edgeValue(), 40);
    }

    void theWheelOverTheLevelSliderRunsLikeAClick() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* slider = control<QSlider>(pane, ids::kNrNoiseSlider);
        const QPointF at = slider->rect().center();
        QWheelEvent up(at, slider->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &up);
        QVERIFY(doc.noise.noiseLevel > 8.0);
        QVERIFY(pane.timer().isPending());
        QCOMPARE(pane.timer().pendingDelay(), 100);
        QTRY_COMPARE_WITH_TIMEOUT(runs(host), 1, velanox::ui::test::kSlowMachineMs);
    }

    void typingRunsOnce800MsAfterTheLastKeystroke() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* edit = control<QLineEdit>(pane, ids::kNrNoiseEdit);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("12.5"), Qt::NoModifier, 30);
        QCOMPARE(control<QSlider>(pane, ids::kNrNoiseSlider)->value(), 125);
        QCOMPARE(doc.noise.noiseLevel, 12.5);
        QVERIFY(pane.timer().isPending());
        QCOMPARE(pane.timer().pendingDelay(), 800);
        QTest::qWait(500);
        QCOMPARE(runs(host), 0);
        QTRY_COMPARE_WITH_TIMEOUT(runs(host), 1, velanox::ui::test::kSlowMachineMs);
        QTest::qWait(200);
        QCOMPARE(runs(host), 1);
    }

    void aBurstOfChangesGivesOneRun() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* sharpen = control<QCheckBox>(pane, ids::kNrSharpen);
        auto* block = control<QCheckBox>(pane, ids::kNrBlockNoise);
        clickBox(sharpen);
        clickBox(block);
        clickBox(sharpen);
        QTest::mouseClick(control<QPushButton>(pane, ids::kNrDefault), Qt::LeftButton);
        QCOMPARE(pane.timer().pendingDelay(), 100);
        QCOMPARE(runs(host), 0);
        QTRY_COMPARE_WITH_TIMEOUT(runs(host), 1, velanox::ui::test::kSlowMachineMs);
        QTest::qWait(250);
        QCOMPARE(runs(host), 1);
    }

    void removeBlockNoiseChoosesThreeOrFiveLevels() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* block = control<QCheckBox>(pane, ids::kNrBlockNoise);
        QVERIFY(block->isChecked());
        clickBox(block);
        QCOMPARE(doc.noise.nrLevels, 5); // not before the timer fires
        pane.timer().flush();
        QCOMPARE(doc.noise.nrLevels, 3);
        clickBox(block);
        pane.timer().flush();
        QCOMPARE(doc.noise.nrLevels, 5);
    }

    void defaultKeepsTheNoiseLevelAndTheBoxes() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        doc.noise.noiseLevel = 12.3;
        doc.noise.sharpenAmount = 40;
        doc.noise.edgeThreshold = 17;
        doc.noise.nrMode = velanox::pipeline::kNrModeHighNoise;
        doc.noise.nrLevels = 3;
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        QCOMPARE(control<QComboBox>(pane, ids::kNrModeCombo)->currentIndex(), 3);
        QTest::mouseClick(control<QPushButton>(pane, ids::kNrDefault), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>(pane, ids::kNrSharpenEdit)->text(), QStringLiteral("8"));
        QCOMPARE(control<QLineEdit>(pane, ids::kNrEdgeEdit)->text(), QStringLiteral("0"));
        pane.timer().flush();
        QCOMPARE(doc.noise.sharpenAmount, 8);
        QCOMPARE(doc.noise.edgeThreshold, 0);
        QCOMPARE(doc.noise.nrMode, int(velanox::pipeline::kNrModeDefault));
        QCOMPARE(doc.noise.noiseLevel, 12.3);
        QCOMPARE(doc.noise.nrLevels, 3);
        QCOMPARE(control<QLineEdit>(pane, ids::kNrNoiseEdit)->text(), QStringLiteral("12.3"));
    }

    void enablingFollowsThePictureTheBoxesAndTheOutputDisplay() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        // Without a document everything but the threshold is usable.
        QVERIFY(control<QSlider>(pane, ids::kNrNoiseSlider)->isEnabled());
        QVERIFY(!control<QLineEdit>(pane, ids::kNrEdgeEdit)->isEnabled());

        pane.attachDocument(&doc); // no picture: nothing is usable
        for (QWidget* w : pane.findChildren<QWidget*>()) {
            if (!w->objectName().startsWith(QLatin1String("control_"))) continue;
            if (w->objectName() == objectNameFor("control", ids::kNrTitle)) continue;
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        }

        givePicture(doc);
        pane.updateEnabling();
        QVERIFY(control<QSlider>(pane, ids::kNrNoiseSlider)->isEnabled());
        QVERIFY(control<QComboBox>(pane, ids::kNrModeCombo)->isEnabled());
        QVERIFY(control<QLineEdit>(pane, ids::kNrSharpenEdit)->isEnabled());
        QVERIFY(!control<QLineEdit>(pane, ids::kNrEdgeEdit)->isEnabled());
        QVERIFY(!control<QWidget>(pane, ids::kNrEdgeDial)->isEnabled());

        doc.display.outputWindowMode = velanox::pipeline::kOutputHighlightEdges;
        pane.updateEnabling();
        QVERIFY(control<QLineEdit>(pane, ids::kNrEdgeEdit)->isEnabled());
        QVERIFY(control<QWidget>(pane, ids::kNrEdgeDial)->isEnabled());

        clickBox(control<QCheckBox>(pane, ids::kNrAdvanced));
        QVERIFY(!control<QLineEdit>(pane, ids::kNrEdgeEdit)->isEnabled());
        QVERIFY(!control<QComboBox>(pane, ids::kNrModeCombo)->isEnabled());
        QVERIFY(!control<QLineEdit>(pane, ids::kNrSharpenEdit)->isEnabled());
        QVERIFY(control<QSlider>(pane, ids::kNrNoiseSlider)->isEnabled());

        doc.crop.cropMode = true;
        pane.updateEnabling();
        QVERIFY(!control<QSlider>(pane, ids::kNrNoiseSlider)->isEnabled());
    }

    void theSliderCovers0To20WritesTheLevelAtOnceAndRunsAtTheEndOfAMove() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        givePicture(doc);
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* slider = control<QSlider>(pane, ids::kNrNoiseSlider);
        QCOMPARE(slider->maximum(), 200);
        // During a drag the level follows at once; the run waits for the end of the drag.
        slider->setSliderDown(true);
        slider->setValue(200);
        QCOMPARE(doc.noise.noiseLevel, 20.0);
        QCOMPARE(control<QLineEdit>(pane, ids::kNrNoiseEdit)->text(), QStringLiteral("20.0"));
        QVERIFY(!pane.timer().isPending());
        slider->setSliderDown(false);
        QVERIFY(pane.timer().isPending());
        QCOMPARE(pane.timer().pendingDelay(), 100);
        // Any other move (a key, a click, the wheel) is a move and its end at once.
        pane.timer().cancel();
        slider->setValue(150);
        QCOMPARE(doc.noise.noiseLevel, 15.0);
        QVERIFY(pane.timer().isPending());
    }

    void numbersAreReadLikeTheEditsReadThem() {
        QCOMPARE(wholeNumberOf(QStringLiteral(" 42abc")), 42);
        QCOMPARE(wholeNumberOf(QStringLiteral("-7")), -7);
        QCOMPARE(wholeNumberOf(QStringLiteral("x")), 0);
        QCOMPARE(wholeNumberOf(QStringLiteral("99999999999")), 2147483647);
        QCOMPARE(numberOf(QStringLiteral("12.")), 12.0);
        QVERIFY(std::isnan(numberOf(QStringLiteral("-"))));
        QVERIFY(std::isnan(numberOf(QString())));
    }

    void theModeListHasSixTwoLineItemsAndIcons() {
        QCOMPARE(nrModeTexts().size(), 6);
        QCOMPARE(int(nrModeTexts().size()), int(velanox::pipeline::kNrModeCount));
        QCOMPARE(nrModeTexts()[0], QStringLiteral("Default Mode"));
        QCOMPARE(nrModeTexts()[4], QStringLiteral("Scanner Mode\n(Remove Moire form scans)"));
        QCOMPARE(nrModeTexts()[5].section(QLatin1Char('\n'), 0, 0), QStringLiteral("Automatic"));
        for (int mode = 0; mode < 6; ++mode) {
            const QPixmap icon = nrModeIcon(mode);
            QCOMPARE(icon.size(), QSize(64, 42));
        }
        QVERIFY(nrModeIcon(velanox::pipeline::kNrModeAuto).toImage() !=
                nrModeIcon(velanox::pipeline::kNrModeScanner).toImage());
    }

    void automaticModeSetsItsStrengthsAndShowsTheEstimate() {
        velanox::test::RecordingHost host;
        velanox::document::CSotavoDoc doc(host);
        // A grey picture with noise of 6 in each component.
        const int w = 96, h = 64;
        doc.sourceImage.allocate(w, h, 24);
        unsigned seed = 1;
        for (std::size_t i = 0; i < doc.sourceImage.rowBytes() * std::size_t(h); ++i) {
            double sum = 0; // about Gaussian: 12 uniform values
            for (int k = 0; k < 12; ++k) {
                seed = seed * 1103515245u + 12345u;
                sum += double((seed >> 8) & 0xFFFF) / 65536.0;
            }
            doc.sourceImage.pixels()[i] = uint8_t(std::lround(128 + (sum - 6.0) * 6.0));
        }
        doc.resultImage.copyFrom(doc.sourceImage);
        doc.setDetailRect(0, 0, w, h);
        doc.noise.noiseLevel = 9.5;
        NrOptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.attachDocument(&doc);
        auto* combo = control<QComboBox>(pane, ids::kNrModeCombo);
        auto* slider = control<QSlider>(pane, ids::kNrNoiseSlider);
        auto* edit = control<QLineEdit>(pane, ids::kNrNoiseEdit);
        auto* chroma = control<QLineEdit>(pane, ids::kNrChromaEdit);
        auto* estimate = control<QLabel>(pane, ids::kNrEstimate);
        QVERIFY(!chroma->isVisible());
        QVERIFY(!estimate->isVisible());

        // Choosing Automatic: the top pair shows the strength, the colour pair and the estimate
        // appear, the controls of the blend are off.
        combo->setCurrentIndex(velanox::pipeline::kNrModeAuto);
        emit combo->activated(velanox::pipeline::kNrModeAuto);
        QVERIFY(pane.automatic());
        QCOMPARE(slider->maximum(), 400);
        QCOMPARE(slider->value(), 100);
        QCOMPARE(edit->text(), QStringLiteral("100"));
        QCOMPARE(chroma->text(), QStringLiteral("125"));
        QVERIFY(chroma->isVisible());
        QVERIFY(estimate->text().startsWith(QStringLiteral("Estimated noise: ")));
        const double shown = estimate->text().mid(17).toDouble();
        QVERIFY2(shown > 5.0 && shown < 7.0, qPrintable(estimate->text()));
        QVERIFY(!control<QCheckBox>(pane, ids::kNrSharpen)->isEnabled());
        QVERIFY(!control<QCheckBox>(pane, ids::kNrBlockNoise)->isEnabled());
        QVERIFY(combo->isEnabled());

        // Strength by slider at once, colour noise typed and corrected like the level: out of
        // range, only once committed.
        slider->setValue(150);
        QCOMPARE(doc.noise.autoStrength, 150);
        QCOMPARE(edit->text(), QStringLiteral("150"));
        QCOMPARE(doc.noise.noiseLevel, 9.5);
        replaceText(chroma, QStringLiteral("999"));
        QCOMPARE(chroma->text(), QStringLiteral("999"));
        QCOMPARE(doc.noise.autoChroma, 125);
        QTest::keyClick(chroma, Qt::Key_Return);
        QCOMPARE(chroma->text(), QStringLiteral("400"));
        QCOMPARE(chroma->selectedText(), QStringLiteral("400"));
        QCOMPARE(doc.noise.autoChroma, 400);
        replaceText(edit, QStringLiteral("-2"));
        QCOMPARE(edit->text(), QStringLiteral("-2"));
        QCOMPARE(doc.noise.autoStrength, 150);
        chroma->setFocus(); // the focus leaving commits it
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QCOMPARE(doc.noise.autoStrength, 0);
        // In range, taken while typing.
        replaceText(edit, QStringLiteral("80"));
        QCOMPARE(slider->value(), 80);
        QCOMPARE(doc.noise.autoStrength, 80);
        replaceText(chroma, QStringLiteral("200"));
        QCOMPARE(doc.noise.autoChroma, 200);
        QTest::keyClick(chroma, Qt::Key_Return);
        QCOMPARE(chroma->text(), QStringLiteral("200"));
        replaceText(chroma, QStringLiteral("400"));
        QTest::keyClick(chroma, Qt::Key_Return);

        const int before = runs(host);
        pane.timer().flush();
        QCOMPARE(doc.noise.nrMode, int(velanox::pipeline::kNrModeAuto));
        QCOMPARE(runs(host), before + 1);
        QVERIFY(doc.processing.resultValid != 0);

        // The settings stay with the document: a pane attached later shows them.
        NrOptionsPane second;
        second.attachDocument(&doc);
        QVERIFY(second.automatic());
        QCOMPARE(control<QLineEdit>(second, ids::kNrNoiseEdit)->text(), QStringLiteral("80"));
        QCOMPARE(control<QLineEdit>(second, ids::kNrChromaEdit)->text(), QStringLiteral("400"));

        // Default returns to Default Mode and the noise level.
        QTest::mouseClick(control<QPushButton>(pane, ids::kNrDefault), Qt::LeftButton);
        QVERIFY(!pane.automatic());
        QCOMPARE(slider->maximum(), 200);
        QCOMPARE(edit->text(), QStringLiteral("9.5"));
        QVERIFY(!chroma->isVisible());
        QVERIFY(control<QCheckBox>(pane, ids::kNrSharpen)->isEnabled());
        pane.timer().flush();
        QCOMPARE(doc.noise.nrMode, int(velanox::pipeline::kNrModeDefault));
        QCOMPARE(doc.noise.autoStrength, 80);
    }
};

VELANOX_UI_TEST(NrOptionsPaneTest);
#include "nr_options_pane_test.moc"
