// The Host of the batch tool: messages are kept as the current file's report (and so reach
// stderr or the JSON line), questions are answered the cautious way, progress goes to the
// ProgressDisplay and Ctrl+C is the Escape key of every run.
#pragma once

#include "cli/progress_display.h"
#include "document/host.h"

#include <string>
#include <vector>

namespace velanox::cli {

class CliHost final : public document::Host {
public:
    /// slot: the job's line in the display. The display must outlive the host.
    CliHost(ProgressDisplay& display, int slot) : m_display(display), m_slot(slot) {}

    /// The messages and questions since the last call, in order; the list is emptied.
    std::vector<std::string> takeMessages();

    void showMessage(std::string_view text) override;
    /// No one can answer: a yes/no question is answered No, one with Cancel is cancelled.
    document::Answer askQuestion(std::string_view text, document::QuestionButtons buttons) override;
    /// There are no events; an interrupt counts as a request to quit.
    document::PumpResult pumpEvents() override;
    void setRunning(bool running) override { m_running = running; }
    bool escapePending() override;
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    std::unique_ptr<document::StatusProgress> createStatusProgress(int32_t total) override;
    std::unique_ptr<document::ProgressDialog> createProgressDialog() override;
    void updateAllViews() override {}

private:
    ProgressDisplay& m_display;
    int m_slot;
    bool m_running = false;
    std::vector<std::string> m_messages;
};

} // namespace velanox::cli
