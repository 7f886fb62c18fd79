// QtHost: the document's Host in the desktop program. Messages and questions go through
// showMessage and askQuestion, pending events through the message pump, Escape through the
// application-wide watcher, the "Working" display into the frame's status bar and the progress
// window is the progress dialog over the frame.
#pragma once

#include "document/host.h"

#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

namespace velanox::ui {

class EscapeWatcher;
class StatusBar;

/// The progress window over parent with a caption, as the core drives it.
std::unique_ptr<velanox::document::ProgressDialog> makeProgressWindow(QWidget* parent,
                                                                      const QString& title = {});

class QtHost : public velanox::document::Host {
public:
    /// parent owns the message boxes and the progress window; statusBar shows "Working" (may
    /// be null).
    QtHost(QWidget* parent, StatusBar* statusBar);
    ~QtHost() override;

    /// Called when a run starts (true) and ends (false), after the host's own bookkeeping.
    void setRunObserver(std::function<void(bool running)> observer) {
        m_runObserver = std::move(observer);
    }
    /// Called by updateAllViews.
    void setViewUpdater(std::function<void()> updater) { m_viewUpdater = std::move(updater); }
    /// Whether the person asked to quit (a close waiting for the run): a run then stops.
    void setQuitRequestCheck(std::function<bool()> check) { m_quitRequested = std::move(check); }

    void showMessage(std::string_view text) override;
    velanox::document::Answer askQuestion(std::string_view text,
                                          velanox::document::QuestionButtons buttons) override;
    velanox::document::PumpResult pumpEvents() override;
    void setRunning(bool running) override;
    bool escapePending() override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    std::unique_ptr<velanox::document::StatusProgress> createStatusProgress(int32_t total) override;
    std::unique_ptr<velanox::document::ProgressDialog> createProgressDialog() override;
    void updateAllViews() override;
    void showStatusText(std::string_view text) override;

    bool isRunning() const { return m_running; }

private:
    QPointer<QWidget> m_parent;
    QPointer<StatusBar> m_statusBar;
    EscapeWatcher* m_escape;
    std::function<void(bool)> m_runObserver;
    std::function<void()> m_viewUpdater;
    std::function<bool()> m_quitRequested;
    bool m_running = false;
};

} // namespace velanox::ui
