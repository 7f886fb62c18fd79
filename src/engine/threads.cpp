#include "engine/threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace velanox::engine {

namespace {

// More threads than this are never started, whatever a limit asks for.
constexpr int kMostThreads = 64;

thread_local int threadLimit = 0; // 0: one per core
thread_local bool insidePass = false;

int coreCount() {
    static const int cores = std::clamp(int(std::thread::hardware_concurrency()), 1, kMostThreads);
    return cores;
}

struct Pass {
    RunFunction run;
    void* context;
    int64_t count;
    int64_t grain;
    int threads;
    std::atomic<int64_t> next{0};

    // Takes runs of `grain` items until none is left.
    void takeRuns(int slot) {
        for (;;) {
            const int64_t begin = next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count) return;
            run(context, begin, std::min(count, begin + grain), slot);
        }
    }
};

// Workers started on demand, one fewer than the threads a pass asks for, that sleep on a
// condition variable between passes. One pass at a time: a caller that finds the pool busy
// (another batch job's pass) makes its pass alone.
class WorkerPool {
public:
    static WorkerPool& instance() {
        static WorkerPool pool;
        return pool;
    }

    ~WorkerPool() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_workers)
            t.join();
    }

    // Makes the pass with the caller as slot 0 and as many workers as it allows; false, with
    // nothing done, when another caller's pass is running.
    bool run(Pass& pass) {
        std::unique_lock dispatch(m_dispatch, std::try_to_lock);
        if (!dispatch.owns_lock()) return false;
        pass.threads = std::min(pass.threads, startWorkers(pass.threads - 1) + 1);
        {
            std::lock_guard lock(m_mutex);
            m_pass = &pass;
            ++m_generation;
        }
        m_wake.notify_all();
        insidePass = true;
        pass.takeRuns(0);
        insidePass = false;
        // Every run is taken; wait for the workers still making theirs. A worker that wakes up
        // later finds no pass and sleeps again.
        std::unique_lock lock(m_mutex);
        m_pass = nullptr;
        m_idle.wait(lock, [&] { return m_active == 0; });
        return true;
    }

private:
    WorkerPool() = default;

    // Makes sure `wanted` workers exist (as far as the system lets threads be started); returns
    // how many there are. Called with m_dispatch held.
    int startWorkers(int wanted) {
        while (int(m_workers.size()) < wanted) {
            try {
                m_workers.emplace_back([this, slot = int(m_workers.size()) + 1] { work(slot); });
            } catch (const std::system_error&) {
                break;
            }
        }
        return int(m_workers.size());
    }

    void work(int slot) {
        insidePass = true; // a pass started inside a run stays on its thread
        uint64_t seen = 0;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || m_generation != seen; });
            if (m_stopping) return;
            seen = m_generation;
            Pass* pass = m_pass;
            if (pass == nullptr || slot >= pass->threads) continue;
            ++m_active;
            lock.unlock();
            pass->takeRuns(slot);
            lock.lock();
            if (--m_active == 0) m_idle.notify_all();
        }
    }

    std::mutex m_dispatch; // held by the caller whose pass is running
    std::mutex m_mutex;    // guards everything below
    std::condition_variable m_wake, m_idle;
    std::vector<std::thread> m_workers;
    Pass* m_pass = nullptr;
    uint64_t m_generation = 0;
    int m_active = 0; // workers making runs of the current pass
    bool m_stopping = false;
};

} // namespace

int maxThreads() {
    if (insidePass) return 1;
    return threadLimit > 0 ? std::min(threadLimit, kMostThreads) : coreCount();
}

void setThreadLimit(int threads) {
    threadLimit = std::max(threads, 0);
}

int64_t runLength(int64_t count, int threads, int runsPerThread) {
    const int64_t runs = std::max<int64_t>(1, int64_t(threads) * std::max(runsPerThread, 1));
    return std::max<int64_t>(1, (count + runs - 1) / runs);
}

void parallelRuns(int64_t count, int64_t grain, int threads, RunFunction run, void* context) {
    if (count <= 0) return;
    grain = std::max<int64_t>(grain, 1);
    threads = std::min(threads, maxThreads());
#ifndef VELANOX_NO_THREADS
    if (threads > 1 && count > grain) {
        Pass pass{run, context, count, grain, threads};
        if (WorkerPool::instance().run(pass)) return;
    }
#endif
    run(context, 0, count, 0);
}

} // namespace velanox::engine
