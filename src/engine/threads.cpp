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
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_)
            t.join();
    }

    // Makes the pass with the caller as slot 0 and as many workers as it allows; false, with
    // nothing done, when another caller's pass is running.
    bool run(Pass& pass) {
        std::unique_lock dispatch(dispatch_, std::try_to_lock);
        if (!dispatch.owns_lock()) return false;
        pass.threads = std::min(pass.threads, startWorkers(pass.threads - 1) + 1);
        {
            std::lock_guard lock(mutex_);
            pass_ = &pass;
            ++generation_;
        }
        wake_.notify_all();
        insidePass = true;
        pass.takeRuns(0);
        insidePass = false;
        // Every run is taken; wait for the workers still making theirs. A worker that wakes up
        // later finds no pass and sleeps again.
        std::unique_lock lock(mutex_);
        pass_ = nullptr;
        idle_.wait(lock, [&] { return active_ == 0; });
        return true;
    }

private:
    WorkerPool() = default;

    // Makes sure `wanted` workers exist (as far as the system lets threads be started); returns
    // how many there are. Called with dispatch_ held.
    int startWorkers(int wanted) {
        while (int(workers_.size()) < wanted) {
            try {
                workers_.emplace_back([this, slot = int(workers_.size()) + 1] { work(slot); });
            } catch (const std::system_error&) {
                break;
            }
        }
        return int(workers_.size());
    }

    void work(int slot) {
        insidePass = true; // a pass started inside a run stays on its thread
        uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            Pass* pass = pass_;
            if (pass == nullptr || slot >= pass->threads) continue;
            ++active_;
            lock.unlock();
            pass->takeRuns(slot);
            lock.lock();
            if (--active_ == 0) idle_.notify_all();
        }
    }

    std::mutex dispatch_; // held by the caller whose pass is running
    std::mutex mutex_;    // guards everything below
    std::condition_variable wake_, idle_;
    std::vector<std::thread> workers_;
    Pass* pass_ = nullptr;
    uint64_t generation_ = 0;
    int active_ = 0; // workers making runs of the current pass
    bool stopping_ = false;
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
