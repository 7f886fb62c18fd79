// A close request that arrives while events are pumped by hand is not carried out: the frame
// asks again one second later, with one timer however many requests arrive meanwhile.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace velanox::ui {

class CloseDeferral : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 1000;

    /// retryClose is called when the timer fires (the frame posts its close again).
    explicit CloseDeferral(std::function<void()> retryClose, QObject* parent = nullptr);

    /// Whether a close must wait now. When it must, the timer is started unless it is pending.
    bool deferIfPumping();
    bool isPending() const { return m_timer.isActive(); }
    /// Number of times the timer was started (tests).
    int timerStarts() const { return m_starts; }

private:
    std::function<void()> m_retryClose;
    QTimer m_timer;
    int m_starts = 0;
};

} // namespace velanox::ui
