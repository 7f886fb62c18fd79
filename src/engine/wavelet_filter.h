// One run of the wavelet shrinkage over a pixel surface: per channel, load a mirrored plane,
// transform forward, soft-threshold, transform back and write the bytes back.
#pragma once

#include "engine/noise_reducer.h"
#include "engine/pixel_surface.h"

#include <cstddef>
#include <cstdint>

namespace velanox::engine {

class WaveletFilter {
public:
    /// Samples of mirrored margin around the block on every side of the plane.
    static constexpr int kMargin = 32;

    void setPerChannel(bool perChannel) { perChannel_ = perChannel; }
    void setLevels(int levels) { levels_ = levels; }
    /// Stores each threshold only if it is greater than 0.0.
    void setThresholds(double t0, double t1, double t2);
    void setProgress(NrProgressFn progress, void* context) {
        progress_ = progress;
        context_ = context;
    }

    /// Processes the surface. Channels written back before a cancel or a memory failure keep
    /// their new values; later ones are not touched.
    void run(const PixelSurface& surface);

    bool outOfMemory() const { return outOfMemory_; }
    bool cancelled() const { return cancelled_; }

private:
    /// Reports the next progress step; false (and the cancelled flag) when asked to stop.
    bool reportProgress();
    bool forwardTransform(double* plane, int wp, int hp);
    bool inverseTransform(double* plane, int wp, int hp);

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

} // namespace velanox::engine
