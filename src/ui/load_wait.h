// LoadWait: the desktop program stays responsive while a picture is read. The read itself stays
// an ordinary call for its callers; while the contained reader works, its wait polls
// LoadWait::keepWaiting, which lets the window paint and timers run, and takes the person's
// input away from the window (a second load or a command on the old picture cannot start) except
// Escape, which stops the read. The wait cursor shows and the status bar says what is loading;
// a stopped read leaves "Loading cancelled." there and changes nothing else.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QStatusBar;
class QWidget;

namespace velanox::ui {

class LoadWait : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCancelledText = "Loading cancelled.";

    /// Starts waiting for the read of path (empty: a picture not named yet) with bar showing
    /// it (may be null). stopRequested, when given, is asked at every poll as well (a close of
    /// the window waiting for the read).
    LoadWait(QStatusBar* bar, const QString& path, std::function<bool()> stopRequested = {});
    ~LoadWait() override;
    LoadWait(const LoadWait&) = delete;
    LoadWait& operator=(const LoadWait&) = delete;

    /// A load is being waited for: a second one must not start.
    static bool isActive();
    /// The contained reader's poll (ContainedReading::keepWaiting). On the thread of the event
    /// loop while a LoadWait is active: handles pending events, then false once the person
    /// pressed Escape. Anywhere else: true at once.
    static bool keepWaiting();

    /// The status bar of the main window that holds widget (also from a floating pane).
    static QStatusBar* statusBarOf(QWidget* widget);

    bool cancelled() const { return m_cancelled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QStatusBar> m_bar;
    QString m_text;
    std::function<bool()> m_stopRequested;
    QPointer<QWidget> m_modalAtStart;
    LoadWait* m_outer = nullptr;
    bool m_cancelled = false;
};

} // namespace velanox::ui
