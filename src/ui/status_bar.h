// The status bar: the message pane ("Ready" when idle, "Working" with a progress bar during a
// run), the Detail view's magnification and the CAP, NUM and SCRL indicators, which follow the
// lock keys the program sees.
#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace velanox::ui {

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    /// The message pane's idle text.
    QString paneText() const;

    /// The "Working" display: text in the message pane and a bar from the text's end over
    /// widthPercent of the rest of the pane, inset by 15 % of the pane height at top and
    /// bottom, range 0..upper.
    void createProgress(const QString& text, int widthPercent, int upper);
    void setProgressPosition(int position);
    void destroyProgress();
    bool hasProgress() const { return m_progress != nullptr; }
    QProgressBar* progressBar() const { return m_progress; }

    /// The Detail view's magnification ("Detail 200%") from its factor (1, 2 or 4).
    void setDetailZoom(int factor);
    QString zoomText() const;

    /// Lock-key indicators. A lock key the program sees toggles its indicator.
    void setLockIndicators(bool caps, bool num, bool scroll);
    bool capsShown() const { return m_caps; }
    bool numShown() const { return m_num; }
    bool scrollShown() const { return m_scroll; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeProgress();
    void showIndicators();

    QLabel* m_pane;
    QLabel* m_capsLabel;
    QLabel* m_numLabel;
    QLabel* m_scrollLabel;
    QLabel* m_zoomLabel;
    QProgressBar* m_progress = nullptr;
    int m_progressPercent = 100;
    bool m_caps = false;
    bool m_num = false;
    bool m_scroll = false;
};

} // namespace velanox::ui
