// The threads a pass is spread over: the calling thread and a pool of workers that sleep while
// there is nothing to do.
#pragma once

#include <cstdint>
#include <type_traits>

namespace velanox::engine {

/// Threads a pass started on the calling thread may use, the caller included: one per core
/// unless setThreadLimit says otherwise, and 1 inside a pass (passes do not nest).
int maxThreads();

/// How many threads the passes started on the calling thread may use from now on (the batch
/// tool's parallel jobs share the cores this way; tests use more threads than cores); 0 goes
/// back to one per core.
void setThreadLimit(int threads);

/// Items per run when `count` items are shared by `threads` threads in about `runsPerThread`
/// runs each: runs taken one after the other keep both threads busy when one of them is held
/// up by another program.
int64_t runLength(int64_t count, int threads, int runsPerThread = 4);

/// The type-erased form of parallelFor.
using RunFunction = void (*)(void* context, int64_t begin, int64_t end, int slot);
void parallelRuns(int64_t count, int64_t grain, int threads, RunFunction run, void* context);

/// Calls body(begin, end, slot) on runs [begin, end) that together cover [0, count) once each.
/// Every run starts at a multiple of `grain` and ends at one (or at count); runs of `grain`
/// items are taken in turn by up to `threads` threads (no more than maxThreads()): the caller
/// and the pool's workers, which are woken for the pass and sleep again once it is done. A pass
/// on one thread is a single run. slot (0 .. threads - 1) names the thread making the run, for
/// scratch of its own; the caller is slot 0. Returns once every run is done. The body must not
/// throw, and must compute the same values whichever thread runs which items.
template <class Body> void parallelFor(int64_t count, int64_t grain, int threads, Body&& body) {
    parallelRuns(
        count, grain, threads,
        [](void* context, int64_t begin, int64_t end, int slot) {
            (*static_cast<std::remove_reference_t<Body>*>(context))(begin, end, slot);
        },
        const_cast<void*>(static_cast<const void*>(&body)));
}

} // namespace velanox::engine
