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
    : out_(out), terminal_(terminal && !quiet), quiet_(quiet), total_(totalFiles),
      slots_(std::size_t(std::max(jobs, 1))) {
    if (terminal_) width_ = terminalWidth(out_);
}

bool ProgressDisplay::stderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

void ProgressDisplay::fileStarted(int slot, const std::string& name) {
    std::lock_guard lock(mutex_);
    Slot& s = slots_.at(std::size_t(slot));
    s.name = name;
    s.fraction = 0;
    s.busy = true;
    drawLocked(true);
}

void ProgressDisplay::fileProgress(int slot, double fraction) {
    std::lock_guard lock(mutex_);
    // The engine counts again for every tile and pass of a file; the bar never goes back.
    Slot& s = slots_.at(std::size_t(slot));
    s.fraction = std::max(s.fraction, std::clamp(fraction, 0.0, 1.0));
    drawLocked(false);
}

void ProgressDisplay::fileFinished(int slot, const std::string& line, bool failed) {
    std::lock_guard lock(mutex_);
    slots_.at(std::size_t(slot)).busy = false;
    ++done_;
    if ((failed || !quiet_) && !line.empty()) printLine(line);
    drawLocked(true);
}

void ProgressDisplay::note(const std::string& line) {
    std::lock_guard lock(mutex_);
    printLine(line);
    drawLocked(true);
}

void ProgressDisplay::finish() {
    std::lock_guard lock(mutex_);
    clearLocked();
    std::fflush(out_);
}

void ProgressDisplay::printLine(const std::string& line) {
    clearLocked();
    std::fprintf(out_, "%s\n", line.c_str());
}

void ProgressDisplay::clearLocked() {
    if (!lineShown_) return;
    std::fputs("\r\033[K", out_);
    lineShown_ = false;
}

void ProgressDisplay::drawLocked(bool force) {
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;

    // Overall: finished files plus the parts of the running ones.
    double overall = done_;
    for (const Slot& s : slots_)
        if (s.busy) overall += s.fraction;
    const double share = total_ > 0 ? overall / total_ : 1.0;
    constexpr int kBar = 20;
    const int filled = int(share * kBar);
    std::string line = "[";
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(kBar - filled), '.');
    line += "] " + std::to_string(done_) + "/" + std::to_string(total_);
    std::size_t busy = 0;
    for (const Slot& s : slots_)
        busy += s.busy ? 1 : 0;
    if (busy > 0) {
        const std::size_t room =
            (std::size_t(width_) > line.size() + 2 ? std::size_t(width_) - line.size() - 2 : 0) /
            busy;
        for (const Slot& s : slots_) {
            if (!s.busy) continue;
            std::string percent = std::to_string(int(s.fraction * 100));
            percent.insert(percent.begin(), ' ');
            percent += '%';
            if (room <= percent.size() + 4) break;
            line += "  " + shortName(s.name, room - percent.size() - 2) + percent;
        }
    }
    if (line.size() >= std::size_t(width_)) line.resize(std::size_t(width_ - 1));
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    lineShown_ = true;
}

} // namespace velanox::cli
