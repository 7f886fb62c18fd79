// NrOptionsPane: the "NR Options" pane. It shows and edits the document's
// noise-reduction settings and asks for a detail run a moment after every change, so that a
// burst of changes leads to one run. The noise level goes to the document at once; the check
// boxes, the mode and the two values stay in the pane until the run is asked for.
#pragma once

#include "ui/panes.h"

#include <QComboBox>
#include <QPixmap>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace velanox::ui {

class Debouncer;
class EditCommit;
class SkinnedSlider;

namespace ids {
inline constexpr int kNrOptionsTemplate = 130;
inline constexpr int kNrNoiseSlider = 1000;
inline constexpr int kNrNoiseEdit = 1001;
inline constexpr int kNrAdvanced = 1006;
inline constexpr int kNrBlockNoise = 1007;
inline constexpr int kNrSharpen = 1008;
inline constexpr int kNrSharpenEdit = 1009;
inline constexpr int kNrEdgeEdit = 1011;
inline constexpr int kNrModeCombo = 1012;
inline constexpr int kNrSharpenDial = 1013;
inline constexpr int kNrEdgeDial = 1014;
inline constexpr int kNrDefault = 1015;
inline constexpr int kNrEdgeLabel = 1016;
inline constexpr int kNrTitle = 1034;
// Automatic mode only.
inline constexpr int kNrChromaLabel = 1060;
inline constexpr int kNrChromaSlider = 1061;
inline constexpr int kNrChromaEdit = 1062;
inline constexpr int kNrEstimate = 1063;
} // namespace ids

/// The six mode texts, in nrMode order; modes 1..5 carry a second line for the open list.
const QStringList& nrModeTexts();
/// The 64 x 42 picture of a mode in the open list (transparent around its frame).
QPixmap nrModeIcon(int mode);

/// The mode list: one line when closed, icon and two lines in the open list.
class NrModeCombo : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 51;
    static constexpr int kIconWidth = 64, kIconHeight = 42;
    explicit NrModeCombo(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// A whole number read the way the edits read it: leading blanks, a sign and the digits after
/// it; no digits give 0; values beyond the int range are limited to it.
int wholeNumberOf(const QString& text);
/// The leading decimal number of a text (blanks and a sign allowed); NaN when there is none.
double numberOf(const QString& text);

class NrOptionsPane : public PaneContent {
    Q_OBJECT
public:
    static constexpr int kClickDelayMs = 100;
    static constexpr int kTypingDelayMs = 800;

    explicit NrOptionsPane(QWidget* parent = nullptr);
    ~NrOptionsPane() override;

    /// Remembers the document (or none) and shows its values.
    void attachDocument(velanox::document::CSotavoDoc* document) override;
    /// The controls from the document's values.
    void refreshFromDocument();
    /// Enables the controls by the rules of a picture, the mode and the output display.
    void updateEnabling();

    Debouncer& timer() const { return *m_timer; }
    /// The members the run is asked with.
    bool advanced() const { return m_advanced; }
    bool removeBlockNoise() const { return m_removeBlockNoise; }
    bool sharpen() const { return m_sharpen; }
    int sharpenValue() const { return m_sharpenValue; }
    int edgeValue() const { return m_edgeValue; }
    /// Whether the mode list shows the automatic mode (the controls then set its strengths).
    bool automatic() const;

private:
    void buildControls();
    void membersToControls();
    void controlsToMembers();
    void schedule(int delayMs);
    void onTimer();
    void onSliderMoved(int position);
    void onNoiseEdited(const QString& text);
    void commitNoiseEdit();
    void takeNoiseLevel(double level, int delayMs);
    void onWholeEdited(QLineEdit* edit, int maximumTyped, int& member, bool dialOpen);
    void commitWholeEdit(QLineEdit* edit, int maximumTyped, int shownMaximum, int& member,
                         bool dialOpen);
    void onDefault();
    void onModeChosen();
    void showModeControls();
    void showEstimate();
    void onPercentEdited(QLineEdit* edit, QSlider* slider, int32_t& value);
    void commitPercentEdit(QLineEdit* edit, QSlider* slider, int32_t& value);
    void takePercent(int32_t percent, QSlider* slider, int32_t& value, int delayMs);
    QToolButton* makeDial(int id, QLineEdit* edit, bool& open, int& member);

    QLabel* m_title;
    SkinnedSlider* m_slider;
    QLineEdit* m_noiseEdit;
    QCheckBox* m_blockNoise;
    QCheckBox* m_advancedBox;
    NrModeCombo* m_mode;
    QCheckBox* m_sharpenBox;
    QLineEdit* m_sharpenEdit;
    QToolButton* m_sharpenDial;
    QPushButton* m_default;
    QLabel* m_edgeLabel;
    QLineEdit* m_edgeEdit;
    QToolButton* m_edgeDial;
    QLabel* m_chromaLabel;
    SkinnedSlider* m_chromaSlider;
    QLineEdit* m_chromaEdit;
    QLabel* m_estimate;
    Debouncer* m_timer;
    EditCommit* m_noiseCommit = nullptr;
    EditCommit* m_sharpenCommit = nullptr;
    EditCommit* m_edgeCommit = nullptr;
    EditCommit* m_chromaCommit = nullptr;

    bool m_advanced = true;
    bool m_removeBlockNoise = true;
    bool m_sharpen = true;
    int m_sharpenValue = 8;
    int m_edgeValue = 0;
    bool m_sharpenDialOpen = false;
    bool m_edgeDialOpen = false;
};

} // namespace velanox::ui
