// How the engine's worker threads wait between passes.
#pragma once

namespace velanox::engine {

/// Makes OpenMP's worker threads sleep while they wait for the next pass instead of spinning,
/// unless OMP_WAIT_POLICY is set already. Spinning buys nothing measurable on an idle machine
/// but makes every pass wait for a core when other programs keep the cores busy (a preview
/// then took twice as long, and far longer on a loaded machine). The OpenMP runtime reads the
/// policy once, when it loads, so the program starts itself again with the policy set: call
/// this first in main, before anything else has run. Returns only when no restart was needed
/// or the restart failed (the program then goes on with the runtime's default).
void preferSleepingWorkers(char** argv);

} // namespace velanox::engine
