#include "engine/thread_waiting.h"

#include <cstdlib>

#if defined(__linux__) && defined(_OPENMP)
#include <unistd.h>
#endif

namespace velanox::engine {

void preferSleepingWorkers([[maybe_unused]] char** argv) {
#if defined(__linux__) && defined(_OPENMP)
    if (std::getenv("OMP_WAIT_POLICY") != nullptr) return;
    if (::setenv("OMP_WAIT_POLICY", "passive", 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // Still here: the restart failed; the runtime keeps its default for this process.
#endif
}

} // namespace velanox::engine
