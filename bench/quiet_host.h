// The host the benchmarks run the document and the pipeline under: it shows nothing, answers
// No and never cancels.
#pragma once

#include "document/host.h"

#include <memory>
#include <string_view>

namespace velanox::bench {

class QuietHost final : public velanox::document::Host {
public:
    void showMessage(std::string_view) override {}
    velanox::document::Answer askQuestion(std::string_view,
                                          velanox::document::QuestionButtons) override {
        return velanox::document::Answer::No;
    }
    velanox::document::PumpResult pumpEvents() override {
        return velanox::document::PumpResult::Continue;
    }
    void setRunning(bool) override {}
    bool escapePending() override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    std::unique_ptr<velanox::document::StatusProgress> createStatusProgress(int32_t) override {
        return std::make_unique<Status>();
    }
    std::unique_ptr<velanox::document::ProgressDialog> createProgressDialog() override {
        return nullptr;
    }
    void updateAllViews() override {}

private:
    struct Status final : velanox::document::StatusProgress {
        bool isShown() const override { return true; }
        void setPosition(int32_t) override {}
    };
};

} // namespace velanox::bench
