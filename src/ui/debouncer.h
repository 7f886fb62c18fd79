// Debouncer: "run this a moment after the last change". One single-shot timer; every schedule
// restarts it with the delay of that trigger, so a burst of changes leads to one call, made
// the given delay after the last of them.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace velanox::ui {

class Debouncer : public QObject {
    Q_OBJECT
public:
    /// The view's delays: resize, the end of a drag and initial update; the end of a scroll-bar
    /// action; a pasted or dropped picture.
    static constexpr int kSettleMs = 100;
    static constexpr int kScrollBarMs = 200;
    static constexpr int kNewPictureMs = 50;
    /// The NR Options pane's delay after typing in an edit.
    static constexpr int kTypingMs = 800;

    explicit Debouncer(std::function<void()> action, QObject* parent = nullptr);

    /// Starts the timer again with delayMs, dropping a pending call.
    void schedule(int delayMs);
    /// Drops a pending call.
    void cancel() { m_timer.stop(); }
    bool isPending() const { return m_timer.isActive(); }
    /// The delay of the pending (or last) call.
    int pendingDelay() const { return m_timer.interval(); }
    /// Carries out a pending call now (tests, and callers that cannot wait).
    void flush();

private:
    std::function<void()> m_action;
    QTimer m_timer;
};

} // namespace velanox::ui
