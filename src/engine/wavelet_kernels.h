// The loops a wavelet run is made of, as a set the bookkeeping in WaveletFilter calls between its
// progress reports. The shipped set is vectorised and threaded; the straightforward reference
// set (engine/reference/) gives the same results and is built for tests and benchmarks only.
#pragma once

#include <cstddef>

namespace velanox::engine {

struct WaveletKernels {
    /// Doubles of scratch one transform direction needs over a wp x hp plane (all threads).
    std::size_t (*scratchSize)(int wp, int hp);

    /// One forward level over the top-left w x h region of the plane: rows, then columns.
    /// When fusesThreshold is set, the level also soft-thresholds by threshold every value that
    /// no later level reads (every value of the region on the last level).
    void (*forwardLevel)(double* plane, std::size_t stride, int w, int h, bool lastLevel,
                         double threshold, double* scratch);

    /// One inverse level over the top-left w x h region: columns, then rows.
    void (*inverseLevel)(double* plane, std::size_t stride, int w, int h, double* scratch);

    /// False: the bookkeeping soft-thresholds the whole plane between the two transforms.
    bool fusesThreshold;
};

/// The vectorised, threaded set reduceNoise uses.
const WaveletKernels& fastWaveletKernels();

} // namespace velanox::engine
