// A Host for tests: records every message, question, progress display and event pump, and can be
// told to answer questions, report Escape or quitting, or run a hook while "pumping events".
#pragma once

#include "document/host.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velanox::test {

/// The progress window of a save, recording what it was told.
class RecordingProgressDialog final : public document::ProgressDialog {
public:
    std::vector<std::string> texts;
    int32_t rangeLow = -1, rangeHigh = -1;
    std::vector<int32_t> positions;
    bool cancel = false;

    void setText(std::string_view text) override { texts.emplace_back(text); }
    void setRange(int32_t low, int32_t high) override {
        rangeLow = low;
        rangeHigh = high;
    }
    void setPosition(int32_t position) override { positions.push_back(position); }
    bool cancelPressed() const override { return cancel; }
};

class RecordingHost final : public document::Host {
public:
    struct StatusRecord {
        int32_t total = 0;
        std::vector<int32_t> positions;
        bool destroyed = false;
    };

    // ---- what happened -----------------------------------------------------------------------
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> statusTexts;
    std::vector<std::string> log; ///< "message: ...", "running", "idle", "pump", "views"
    int pumps = 0;
    int viewUpdates = 0;
    int waitCursorDepth = 0;
    int waitCursorCalls = 0;
    bool running = false;
    std::vector<std::shared_ptr<StatusRecord>> statusIndicators;

    // ---- what to do --------------------------------------------------------------------------
    std::deque<document::Answer> answers; ///< answers to questions in order; Yes when empty
    bool escape = false;          ///< Escape pressed (reset when a run starts, like the real host)
    int escapeAtPump = 0;         ///< Escape arrives during this pump (counted from 1); 0: never
    int quitAtPump = 0;           ///< the program is asked to quit during this pump; 0: never
    std::function<void()> onPump; ///< runs inside every pump, as a timer or click would

    void showMessage(std::string_view text) override {
        messages.emplace_back(text);
        log.push_back("message: " + std::string(text));
    }
    document::Answer askQuestion(std::string_view text, document::QuestionButtons) override {
        questions.emplace_back(text);
        if (answers.empty()) return document::Answer::Yes;
        const document::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    document::PumpResult pumpEvents() override {
        ++pumps;
        log.emplace_back("pump");
        if (pumps == escapeAtPump && running) escape = true;
        if (onPump) onPump();
        return pumps == quitAtPump ? document::PumpResult::Quitting
                                   : document::PumpResult::Continue;
    }
    void setRunning(bool on) override {
        running = on;
        log.emplace_back(on ? "running" : "idle");
        if (on) escape = escapeAtRunStart;
    }
    bool escapePending() override { return running && escape; }
    void beginWaitCursor() override {
        ++waitCursorDepth;
        ++waitCursorCalls;
    }
    void endWaitCursor() override { --waitCursorDepth; }
    std::unique_ptr<document::StatusProgress> createStatusProgress(int32_t total) override {
        auto record = std::make_shared<StatusRecord>();
        record->total = total;
        statusIndicators.push_back(record);
        return std::make_unique<Status>(record);
    }
    std::unique_ptr<document::ProgressDialog> createProgressDialog() override {
        return std::make_unique<RecordingProgressDialog>();
    }
    void showStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void updateAllViews() override {
        ++viewUpdates;
        log.emplace_back("views");
    }

    /// Escape counts as pressed from the start of every run.
    bool escapeAtRunStart = false;

private:
    class Status final : public document::StatusProgress {
    public:
        explicit Status(std::shared_ptr<StatusRecord> r) : m_record(std::move(r)) {}
        ~Status() override { m_record->destroyed = true; }
        bool isShown() const override { return true; }
        void setPosition(int32_t step) override { m_record->positions.push_back(step); }

    private:
        std::shared_ptr<StatusRecord> m_record;
    };
};

} // namespace velanox::test
