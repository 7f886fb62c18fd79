// What several benchmark programs share: the shared corpus beside the checkout, another program
// keeping one core busy, and figures kept from earlier benchmarks of the same run so that a
// later one can state its ratio to them.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

namespace velanox::bench {

/// A file of the shared test corpus (beside the checkout, as for the tests); empty when absent.
inline std::string corpusFile(const std::string& relative) {
    const std::filesystem::path path = std::filesystem::path(VELANOX_CORPUS_DIR) / relative;
    return std::filesystem::exists(path) ? path.string() : std::string();
}

/// The 26-megapixel camera JPEG of the corpus (6240 x 4160, Canon EOS RP).
inline std::string cameraJpeg() {
    return corpusFile("noisy/canon_eos_rp_26mp_clean_benchmark.jpg");
}

/// For its lifetime, a thread that spins without pause, as another program busy on one core
/// would: the figures taken meanwhile show what sharing the cores costs.
class BusyCore {
public:
    BusyCore()
        : m_thread([this] {
              volatile unsigned long n = 0;
              while (!m_stop.load(std::memory_order_relaxed))
                  n = n + 1;
          }) {}
    ~BusyCore() {
        m_stop = true;
        m_thread.join();
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

/// Seconds per iteration of earlier benchmarks of this run, by name.
inline std::map<std::string, double>& figures() {
    static std::map<std::string, double> kept;
    return kept;
}

/// Keeps a benchmark's mean seconds per iteration under `name` (call after its loop).
inline void keepFigure(const std::string& name, double seconds) {
    figures()[name] = seconds;
}

/// Adds counter `label` = seconds / the figure kept under `name`, when there is one.
inline void ratioTo(benchmark::State& state, const std::string& label, const std::string& name,
                    double seconds) {
    const auto it = figures().find(name);
    if (it != figures().end() && it->second > 0.0) state.counters[label] = seconds / it->second;
}

} // namespace velanox::bench
