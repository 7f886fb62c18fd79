// One run of the wavelet shrinkage over a pixel surface: per channel, load a mirrored plane,
// transform forward, soft-threshold, transform back and write the bytes back. This is the
// bookkeeping (sizes, allocation, progress, cancel); the loops come from a WaveletKernels set.
#pragma once

#include "engine/engine_workspace.h"
#include "engine/noise_reducer.h"
#include "engine/pixel_surface.h"
#include "engine/plane_io.h"
#include "engine/wavelet_kernels.h"

#include <cstdint>

namespace velanox::engine {

class WaveletFilter {
public:
    explicit WaveletFilter(const WaveletKernels& kernels) : kernels_(kernels) {}

    void setPerChannel(bool perChannel) { perChannel_ = perChannel; }
    void setLevels(int levels) { levels_ = levels; }
    /// Stores each threshold only if it is greater than 0.0.
    void setThresholds(double t0, double t1, double t2);
    void setProgress(NrProgressFn progress, void* context) {
        progress_ = progress;
        context_ = context;
    }

    /// Processes the surface with its planes in the workspace. Channels written back before a
    /// cancel or a memory failure keep their new values; later ones are not touched.
    void run(const PixelSurface& surface, EngineWorkspace& workspace);

    bool outOfMemory() const { return outOfMemory_; }
    bool cancelled() const { return cancelled_; }

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

    const WaveletKernels& kernels_;
    bool outOfMemory_ = false;
    bool cancelled_ = false;
    int32_t progressTotal_ = 0;
    int32_t progressStep_ = 0;
    NrProgressFn progress_ = nullptr;
    void* context_ = nullptr;
    int levels_ = 0;
    double thresholds_[3] = {0.0, 0.0, 0.0};
    bool perChannel_ = true;
};

/// Validates reduceNoise's arguments (the version query excluded) in the documented order.
int32_t validateNrArguments(int32_t width, int32_t height, int32_t stride,
                            const unsigned char* pixels, const NrParams* params);

/// reduceNoise with the given kernels: the version query, validation and one run, with the
/// planes in `workspace` (a temporary one when null).
int32_t runNoiseReduction(const WaveletKernels& kernels, int32_t width, int32_t height,
                          int32_t stride, unsigned char* pixels, const NrParams* params,
                          EngineWorkspace* workspace = nullptr);

} // namespace velanox::engine
