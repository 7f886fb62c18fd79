#include "cli/cli_host.h"

#include "cli/cancel_signal.h"

#include <algorithm>

namespace velanox::cli {

namespace {

class BarProgress final : public document::StatusProgress {
public:
    BarProgress(ProgressDisplay& display, int slot, int32_t total)
        : display_(display), slot_(slot), total_(std::max(total, 1)) {}
    bool isShown() const override { return true; }
    void setPosition(int32_t step) override { display_.fileProgress(slot_, double(step) / total_); }

private:
    ProgressDisplay& display_;
    int slot_;
    int32_t total_;
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
    out.swap(messages_);
    return out;
}

void CliHost::showMessage(std::string_view text) {
    messages_.emplace_back(text);
}

document::Answer CliHost::askQuestion(std::string_view text, document::QuestionButtons buttons) {
    messages_.emplace_back(text);
    return buttons == document::QuestionButtons::YesNoCancel ? document::Answer::Cancel
                                                             : document::Answer::No;
}

document::PumpResult CliHost::pumpEvents() {
    return cancelRequested() ? document::PumpResult::Quitting : document::PumpResult::Continue;
}

bool CliHost::escapePending() {
    return running_ && cancelRequested();
}

std::unique_ptr<document::StatusProgress> CliHost::createStatusProgress(int32_t total) {
    return std::make_unique<BarProgress>(display_, slot_, total);
}

std::unique_ptr<document::ProgressDialog> CliHost::createProgressDialog() {
    return std::make_unique<SaveProgress>();
}

} // namespace velanox::cli
