// What the batch tool shows on stderr while it works. On a terminal: one status line redrawn in
// place with the overall progress and the progress of each file being processed, and the
// finished files' lines printed above it. Otherwise: plain lines only. Safe to call from every
// job thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace velanox::cli {

class ProgressDisplay {
public:
    /// out: normally stderr. terminal: draw the status line. quiet: only failures are printed.
    ProgressDisplay(std::FILE* out, bool terminal, bool quiet, int totalFiles, int jobs);
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    /// Job slot starts on a file (shown by its name).
    void fileStarted(int slot, const std::string& name);
    /// The engine's progress of the slot's current file, 0..1; the shown value only grows.
    void fileProgress(int slot, double fraction);
    /// The slot's file is finished; line is printed unless quiet (failures always are).
    void fileFinished(int slot, const std::string& line, bool failed);
    /// A line of its own (a warning), printed above the status line.
    void note(const std::string& line);
    /// Clears the status line.
    void finish();

    /// Whether stderr is a terminal that can take the status line.
    static bool stderrIsTerminal();

private:
    struct Slot {
        std::string name;
        double fraction = 0;
        bool busy = false;
    };

    void printLine(const std::string& line);
    void drawLocked(bool force);
    void clearLocked();

    std::FILE* m_out;
    bool m_terminal;
    bool m_quiet;
    int m_total;
    int m_done = 0;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::chrono::steady_clock::time_point m_lastDraw{};
    bool m_lineShown = false;
    int m_width = 80;
};

} // namespace velanox::cli
