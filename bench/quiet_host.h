// The host the benchmarks run the document and the pipeline under: it shows nothing, answers
// No and never cancels.
#pragma once

#include "document/host.h"

#include <memory>
#include <string_view>

namespace velanox::bench {

class QuietHost final : public velanox::Host {
public:
    void showMessage(std::string_view) override {}
    velanox::Answer askQuestion(std::string_view, velanox::QuestionButtons) override {
        return velanox::Answer::No;
    }
    velanox::PumpResult pumpEvents() override { return velanox::PumpResult::Continue; }
    void setRunning(bool) override {}
    bool escapePending() override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    std::unique_ptr<velanox::StatusProgress> createStatusProgress(int32_t) override {
        return std::make_unique<Status>();
    }
    std::unique_ptr<velanox::ProgressDialog> createProgressDialog() override { return nullptr; }
    void updateAllViews() override {}

private:
    struct Status final : velanox::StatusProgress {
        bool isShown() const override { return true; }
        void setPosition(int32_t) override {}
    };
};

} // namespace velanox::bench
