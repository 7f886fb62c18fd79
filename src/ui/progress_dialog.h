// The progress dialog, shown while the full image is processed for saving: a bar, a percent label,
// a text and Cancel. Cancel (or Escape) only raises a flag that the run reads at its next report;
// the dialog stays up until the run ends. Its parent is disabled while it shows.
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

namespace velanox::ui {

/// The percent label for a position: p = (pos - lower) * 100 / (upper - lower), shown as "p%"
/// when p is 100 and "(p mod 100)%" otherwise, so only the upper bound reads 100%.
QString progressPercentText(int position, int lower, int upper);

class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    /// The title defaults to "Processing Full Image".
    explicit ProgressDialog(const QString& title = {});
    ~ProgressDialog() override;

    /// Disables the parent (when enabled) and shows the dialog modeless over it.
    bool create(QWidget* parent);
    /// Re-enables the parent if create disabled it and closes the dialog.
    void destroy();

    void setRange(int lower, int upper);
    void setStep(int step) { m_step = step; }
    void setText(const QString& text);
    /// Handles waiting events first, then moves the bar and rewrites the label if it changed.
    void setPosition(int position);

    bool cancelled() const { return m_cancelled; }
    QString percentText() const;
    int lower() const { return m_lower; }
    int upper() const { return m_upper; }

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void cancel();

    QProgressBar* m_bar;
    QLabel* m_percent;
    QLabel* m_text;
    QPointer<QWidget> m_disabledParent;
    int m_lower = 0;
    int m_upper = 100;
    int m_step = 10;
    bool m_cancelled = false;
};

} // namespace velanox::ui
