#include "cli/progress_display.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace velanox::cli {

namespace {

int terminalWidth(std::FILE* out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) return size.ws_col;
    return 80;
}

std::string shortName(const std::string& name, std::size_t room) {
    if (name.size() <= room) return name;
    if (room <= 3) return name.substr(0, room);
    std::string tail = "...";
    tail += std::string_view(name).substr(name.size() - (room - 3));
    return tail;
}

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal, bool quiet, int totalFiles,
                                 int jobs)
    : m_out(out), m_terminal(terminal && !quiet), m_quiet(quiet), m_total(totalFiles),
      m_slots(std::size_t(std::max(jobs, 1))) {
    if (m_terminal) m_width = terminalWidth(m_out);
}

bool ProgressDisplay::stderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

void ProgressDisplay::fileStarted(int slot, const std::string& name) {
    std::lock_guard lock(m_mutex);
    Slot& s = m_slots.at(std::size_t(slot));
    s.name = name;
    s.fraction = 0;
    s.busy = true;
    drawLocked(true);
}

void ProgressDisplay::fileProgress(int slot, double fraction) {
    std::lock_guard lock(m_mutex);
    // The engine counts again for every tile and pass of a file; the bar never goes back.
    Slot& s = m_slots.at(std::size_t(slot));
    s.fraction = std::max(s.fraction, std::clamp(fraction, 0.0, 1.0));
    drawLocked(false);
}

void ProgressDisplay::fileFinished(int slot, const std::string& line, bool failed) {
    std::lock_guard lock(m_mutex);
    m_slots.at(std::size_t(slot)).busy = false;
    ++m_done;
    if ((failed || !m_quiet) && !line.empty()) printLine(line);
    drawLocked(true);
}

void ProgressDisplay::note(const std::string& line) {
    std::lock_guard lock(m_mutex);
    printLine(line);
    drawLocked(true);
}

void ProgressDisplay::finish() {
    std::lock_guard lock(m_mutex);
    clearLocked();
    std::fflush(m_out);
}

void ProgressDisplay::printLine(const std::string& line) {
    clearLocked();
    std::fprintf(m_out, "%s\n", line.c_str());
}

void ProgressDisplay::clearLocked() {
    if (!m_lineShown) return;
    std::fputs("\r\033[K", m_out);
    m_lineShown = false;
}

void ProgressDisplay::drawLocked(bool force) {
    if (!m_terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;

    // Overall: finished files plus the parts of the running ones.
    double overall = m_done;
    for (const Slot& s : m_slots)
        if (s.busy) overall += s.fraction;
    const double share = m_total > 0 ? overall / m_total : 1.0;
    constexpr int kBar = 20;
    const int filled = int(share * kBar);
    std::string line = "[";
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(kBar - filled), '.');
    line += "] " + std::to_string(m_done) + "/" + std::to_string(m_total);
    std::size_t busy = 0;
    for (const Slot& s : m_slots)
        busy += s.busy ? 1 : 0;
    if (busy > 0) {
        const std::size_t room =
            (std::size_t(m_width) > line.size() + 2 ? std::size_t(m_width) - line.size() - 2 : 0) /
            busy;
        for (const Slot& s : m_slots) {
            if (!s.busy) continue;
            std::string percent = std::to_string(int(s.fraction * 100));
            percent.insert(percent.begin(), ' ');
            percent += '%';
            if (room <= percent.size() + 4) break;
            line += "  " + shortName(s.name, room - percent.size() - 2) + percent;
        }
    }
    if (line.size() >= std::size_t(m_width)) line.resize(std::size_t(m_width - 1));
    std::fprintf(m_out, "\r\033[K%s", line.c_str());
    std::fflush(m_out);
    m_lineShown = true;
}

} // namespace velanox::cli
