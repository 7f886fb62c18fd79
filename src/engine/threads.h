// How many threads a pass may use and which one is running, with or without OpenMP.
#pragma once

#ifdef _OPENMP
#include <omp.h>
#endif

namespace velanox::engine {

inline int maxThreads() {
#ifdef _OPENMP
    return omp_get_max_threads();
#else
    return 1;
#endif
}

/// Threads of the current parallel region (1 outside one).
inline int threadCount() {
#ifdef _OPENMP
    return omp_get_num_threads();
#else
    return 1;
#endif
}

inline int threadIndex() {
#ifdef _OPENMP
    return omp_get_thread_num();
#else
    return 0;
#endif
}

} // namespace velanox::engine
