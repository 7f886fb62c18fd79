// Pumping events by hand from inside a long run, and what the rest of the program needs to
// know about it: whether a pump is running (the frame defers a close meanwhile) and whether
// Escape was pressed since the run started.
#pragma once

#include <QObject>

namespace velanox::ui {

class MessagePump {
public:
    /// Handles every event waiting now. While it does, messagePumpIdle() is false.
    static void pumpEvents();
    /// False while a pump runs (also while a nested pump runs).
    static bool messagePumpIdle();

    /// Marks a stretch of code as pumping (for pumps not made by pumpEvents).
    class Busy {
    public:
        Busy();
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
    };

private:
    static int s_depth;
};

/// An application-wide event filter that notes an Escape key press while a run is on. The
/// flag stays set for the rest of the run, so every later progress report of the run sees it;
/// the key press itself is taken, as it means "stop" and nothing else at that moment.
class EscapeWatcher : public QObject {
    Q_OBJECT
public:
    explicit EscapeWatcher(QObject* parent = nullptr);
    ~EscapeWatcher() override;

    /// A run starts (clears the flag and starts watching) or ends (stops watching).
    void setRunning(bool running);
    bool isRunning() const { return m_running; }
    bool escapePending() const { return m_escape; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_running = false;
    bool m_escape = false;
};

} // namespace velanox::ui
