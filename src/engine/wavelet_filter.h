// One run of the wavelet shrinkage over a block of pixels: per channel, load a mirrored plane,
// transform forward, soft-threshold, transform back and write the bytes back. This is the
// bookkeeping (sizes, allocation, progress, cancel); the loops come from a WaveletKernels set.
#pragma once

#include "core/image_view.h"
#include "core/status.h"
#include "engine/engine_workspace.h"
#include "engine/noise_reducer.h"
#include "engine/plane_io.h"
#include "engine/wavelet_kernels.h"

#include <cstdint>

namespace velanox::engine {

class WaveletFilter {
public:
    explicit WaveletFilter(const WaveletKernels& kernels) : m_kernels(kernels) {}

    void setPerChannel(bool perChannel) { m_perChannel = perChannel; }
    void setLevels(int levels) { m_levels = levels; }
    /// Stores each threshold only if it is greater than 0.0.
    void setThresholds(double t0, double t1, double t2);
    void setProgress(NrProgressFn progress, void* context) {
        m_progress = progress;
        m_context = context;
    }

    /// Processes the pixels with its planes in the workspace. Channels written back before a
    /// cancel or a memory failure keep their new values; later ones are not touched.
    void run(const core::ImageView& pixels, EngineWorkspace& workspace);

    bool outOfMemory() const { return m_outOfMemory; }
    bool cancelled() const { return m_cancelled; }

private:
    /// Reports the next progress step; false (and the cancelled flag) when asked to stop.
    bool reportProgress();
    /// Where one channel's run works. Level n writes planes[n % 2] (one plane for kernels that
    /// work in place), rows `stride` values apart; the first level reads the loaded planes[0],
    /// or the surface when direct.
    struct Channel {
        double* planes[2] = {nullptr, nullptr};
        std::size_t stride = 0;
        double* scratch = nullptr;
        BlockRows block;  ///< where the first level reads and its inverse writes, when direct
        BlockRows target; ///< where the first level's inverse writes when remaking
        bool direct = false;
        /// The first level keeps only its low-low band and its inverse makes the detail bands
        /// again from `block`, writing `target` (WaveletKernels::forwardFirstLowLow).
        bool remaking = false;
    };
    bool forwardTransform(const Channel& ch, int wp, int hp, double threshold);
    /// The inverse levels, the last progress step and the write-back.
    bool inverseTransform(const Channel& ch, int wp, int hp, double threshold);

    const WaveletKernels& m_kernels;
    bool m_outOfMemory = false;
    bool m_cancelled = false;
    int32_t m_progressTotal = 0;
    int32_t m_progressStep = 0;
    NrProgressFn m_progress = nullptr;
    void* m_context = nullptr;
    int m_levels = 0;
    double m_thresholds[3] = {0.0, 0.0, 0.0};
    bool m_perChannel = true;
};

/// Validates reduceNoise's arguments in the documented order: InvalidArgument, with the reason,
/// for any that fails.
core::Status validateNrArguments(const core::ImageView& block, const NrParams& params);

/// reduceNoise with the given kernels: validation and one run, with the planes in `workspace`
/// (a temporary one when null). The block's rows are taken bottom-up.
core::Status runNoiseReduction(const WaveletKernels& kernels, const core::ImageView& block,
                               const NrParams& params, EngineWorkspace* workspace = nullptr);

/// The result number of the C entry points for a status: 0 ok, 1 cancelled, 2 out of memory,
/// 3 anything else (invalid arguments).
int32_t nrResultOf(const core::Status& status);

/// The C entry point's whole contract with the given kernels: the version query, the checks of
/// the raw arguments (a null pointer, a stride shorter than a row) and the run.
int32_t runNoiseReductionEntry(const WaveletKernels& kernels, int32_t width, int32_t height,
                               int32_t stride, unsigned char* pixels, const NrParams* params);

} // namespace velanox::engine
