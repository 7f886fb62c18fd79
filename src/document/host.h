// Host: what the core needs from whoever shows it to the person. The desktop program implements
// it with message boxes and its event loop, the command-line tool with stderr and a text progress
// bar, the tests with a recording fake. Every text handed over is shown exactly as given.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace velanox::document {

/// The "Working" indicator of the status bar: the text and a bar over range 0..total.
class StatusProgress {
public:
    virtual ~StatusProgress() = default;
    virtual bool isShown() const = 0;
    virtual void setPosition(int32_t step) = 0;
};

/// The modal-less progress window shown while saving, with a text, a bar and a Cancel button.
class ProgressDialog {
public:
    virtual ~ProgressDialog() = default;
    virtual void setText(std::string_view text) = 0;
    virtual void setRange(int32_t low, int32_t high) = 0;
    virtual void setPosition(int32_t position) = 0;
    virtual bool cancelPressed() const = 0;
};

enum class QuestionButtons { YesNo, YesNoCancel };
enum class Answer { Yes, No, Cancel };

/// What pumping the pending events came to.
enum class PumpResult {
    Continue,
    Quitting, ///< the program was asked to quit; the host keeps that request for its event loop
};

class Host {
public:
    virtual ~Host() = default;

    /// A modal message with an OK button.
    virtual void showMessage(std::string_view text) = 0;
    /// A modal question; closing the box without choosing answers No (YesNo) or Cancel.
    virtual Answer askQuestion(std::string_view text, QuestionButtons buttons) = 0;

    /// Handles every event waiting now and returns; says whether the program is quitting.
    virtual PumpResult pumpEvents() = 0;
    /// A processing run starts (true) or ends (false). While a run is on, the host notes an
    /// Escape key press for escapePending() and defers a request to close the main window.
    virtual void setRunning(bool running) = 0;
    /// Escape was pressed since the current run started; stays true for the rest of the run.
    virtual bool escapePending() = 0;

    /// Shows or restores the wait cursor; calls nest.
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;

    /// Creates the status-bar indicator ("Working" and a bar over 0..total).
    virtual std::unique_ptr<StatusProgress> createStatusProgress(int32_t total) = 0;
    /// Creates the progress window used while saving.
    virtual std::unique_ptr<ProgressDialog> createProgressDialog() = 0;

    /// Every view redraws from the document.
    virtual void updateAllViews() = 0;

    /// A passing note for the status line (a neighbour in the folder that could not be opened);
    /// nothing to confirm. Hosts without a status line may ignore it.
    virtual void showStatusText(std::string_view text) { (void)text; }
};

/// Shows the wait cursor for the life of the object.
class WaitCursor {
public:
    explicit WaitCursor(Host& host) : m_host(host) { m_host.beginWaitCursor(); }
    ~WaitCursor() { m_host.endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Host& m_host;
};

} // namespace velanox::document
