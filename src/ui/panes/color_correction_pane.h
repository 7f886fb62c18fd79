// ColorCorrectionPane: the levels, the colour temperature filter, the exposure
// compensation and the colour boost as five sliders with their value labels, "Auto" and
// "Reset". Each change is written to the document at once; the recolouring waits for a pause:
// timer 1 after the end of a drag (the pipeline, or the display image, histogram or curves by
// tab and mode), timer 2 during a drag (the colour-only quick preview of the detail rectangle).
#pragma once

#include "ui/debouncer.h"
#include "ui/panes.h"
#include "ui/panes/pane_links.h"

class QLabel;
class QPushButton;

namespace velanox::ui {

class SkinnedSlider;

class ColorCorrectionPane : public PaneContent {
    Q_OBJECT
public:
    explicit ColorCorrectionPane(QWidget* parent = nullptr);

    void attachDocument(velanox::document::CSotavoDoc* document) override;
    void setLinks(const PaneLinks& links) { m_links = links; }

    /// Moves the sliders and labels to the document's five values.
    void refresh();

    /// "Auto": the levels from the source's luminance histogram; the recolouring after 20 ms.
    void autoLevels();
    /// "Reset": all five values neutral; the recolouring after 100 ms.
    void resetValues();

    /// The label texts, as shown: "%d" for the levels, temperature and boost, "%.1f" for the EV.
    static QString levelLabel(int value) { return QString::number(value); }
    static QString exposureLabel(double midtoneBend);

    // Deferral delays, in milliseconds.
    static constexpr int kSliderDelay = 100;
    static constexpr int kAutoDelay = 20;
    static constexpr int kResetDelay = 100;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void startTimer1(int delayMs) { m_timer1.schedule(delayMs); }
    void startTimer2(int delayMs) { m_timer2.schedule(delayMs); }
    void timerFired(int timerId);

    void sliderMoved(int controlId, int position, bool endOfDrag);
    void updateLabels();

    PaneLinks m_links;
    SkinnedSlider* m_black = nullptr;
    SkinnedSlider* m_white = nullptr;
    SkinnedSlider* m_exposure = nullptr;
    SkinnedSlider* m_temperature = nullptr;
    SkinnedSlider* m_boost = nullptr;
    QLabel* m_blackLabel = nullptr;
    QLabel* m_whiteLabel = nullptr;
    QLabel* m_exposureLabel = nullptr;
    QLabel* m_temperatureLabel = nullptr;
    QLabel* m_boostLabel = nullptr;
    Debouncer m_timer1; // end of a drag, Auto, Reset: the full update
    Debouncer m_timer2; // during a drag: the colour-only preview
};

} // namespace velanox::ui
