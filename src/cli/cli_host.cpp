#include "cli/cli_host.h"

#include "cli/cancel_signal.h"

#include <algorithm>

namespace velanox::cli {

namespace {

class BarProgress final : public document::StatusProgress {
public:
    BarProgress(ProgressDisplay& display, int slot, int32_t total)
        : m_display(display), m_slot(slot), m_total(std::max(total, 1)) {}
    bool isShown() const override { return true; }
    void setPosition(int32_t step) override {
        m_display.fileProgress(m_slot, double(step) / m_total);
    }

private:
    ProgressDisplay& m_display;
    int m_slot;
    int32_t m_total;
};

/// The save's progress window: its bar is the status bar's, its Cancel button is Ctrl+C.
class SaveProgress final : public document::ProgressDialog {
public:
    void setText(std::string_view) override {}
    void setRange(int32_t, int32_t) override {}
    void setPosition(int32_t) override {}
    bool cancelPressed() const override { return cancelRequested(); }
};

} // namespace

std::vector<std::string> CliHost::takeMessages() {
    std::vector<std::string> out;
    out.swap(m_messages);
    return out;
}

void CliHost::showMessage(std::string_view text) {
    m_messages.emplace_back(text);
}

document::Answer CliHost::askQuestion(std::string_view text, document::QuestionButtons buttons) {
    m_messages.emplace_back(text);
    return buttons == document::QuestionButtons::YesNoCancel ? document::Answer::Cancel
                                                             : document::Answer::No;
}

document::PumpResult CliHost::pumpEvents() {
    return cancelRequested() ? document::PumpResult::Quitting : document::PumpResult::Continue;
}

bool CliHost::escapePending() {
    return m_running && cancelRequested();
}

std::unique_ptr<document::StatusProgress> CliHost::createStatusProgress(int32_t total) {
    return std::make_unique<BarProgress>(m_display, m_slot, total);
}

std::unique_ptr<document::ProgressDialog> CliHost::createProgressDialog() {
    return std::make_unique<SaveProgress>();
}

} // namespace velanox::cli
