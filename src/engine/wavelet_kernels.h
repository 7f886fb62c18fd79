// The loops a wavelet run is made of, as a set the bookkeeping in WaveletFilter calls between its
// progress reports. The shipped set is vectorised and threaded; the straightforward reference
// set (engine/reference/) gives the same results and is built for tests and benchmarks only.
#pragma once

#include <cstddef>

namespace velanox::engine {

struct BlockRows;

struct WaveletKernels {
    /// Doubles of scratch one transform direction needs over a wp x hp plane (all threads).
    std::size_t (*scratchSize)(int wp, int hp);

    /// One forward level: the top-left w x h region of `in`, rows then columns, into the same
    /// region of `out` (both with row stride `stride`). When fusesThreshold is set, the level
    /// also soft-thresholds by threshold every value that no later level reads (every value of
    /// the region on the last level).
    void (*forwardLevel)(const double* in, double* out, std::size_t stride, int w, int h,
                         bool lastLevel, double threshold, double* scratch);

    /// One inverse level: the top-left w x h region of `in`, columns then rows, into `out`.
    void (*inverseLevel)(const double* in, double* out, std::size_t stride, int w, int h,
                         double* scratch);

    /// False: the bookkeeping soft-thresholds the whole plane between the two transforms.
    bool fusesThreshold;

    /// True: `in` and `out` must be two planes, and the levels alternate between them (level n
    /// reads the plane level n - 1 wrote). False: the levels work in place (`in` == `out`).
    bool twoPlanes;

    /// Optional (null when absent), both or neither. The first forward level reading the
    /// plane's rows straight from the block, as loadPlane and fillMargin would lay them out; and
    /// the first level's inverse writing the block's rows straight back, as writeChannel or
    /// writeLuminance would. With them no whole plane is loaded or stored, and the first level's
    /// input plane is never needed.
    void (*forwardFromBlock)(const BlockRows& block, double* out, std::size_t stride, int w, int h,
                             bool lastLevel, double threshold, double* scratch);
    void (*inverseToBlock)(const double* in, std::size_t stride, int w, int h,
                           const BlockRows& block, double* scratch);

    /// Optional (null when absent), both or neither; used only when the block is a plane of
    /// bytes (BlockRows::bytes) and the run has a second such plane to write into. The first
    /// forward level writing only its low-low band, the top-left ((w + 1) / 2) x ((h + 1) / 2)
    /// region of `out`; and the first level's inverse reading that band (as the second level's
    /// inverse rebuilt it) from `lowLow` and making the three detail bands again from `source`
    /// with the same operations as the forward level and soft-thresholded by `threshold`,
    /// writing the rows of `target` as inverseToBlock would. The detail bands, most of the data
    /// of a run, then never go through memory.
    void (*forwardFirstLowLow)(const BlockRows& block, double* out, std::size_t stride, int w,
                               int h, double* scratch);
    void (*inverseFirstRemaking)(const double* lowLow, std::size_t stride, int w, int h,
                                 const BlockRows& source, const BlockRows& target, double threshold,
                                 double* scratch);
};

/// The vectorised, threaded set reduceNoise uses.
const WaveletKernels& fastWaveletKernels();

} // namespace velanox::engine
