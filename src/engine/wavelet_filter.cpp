#include "engine/wavelet_filter.h"

#include "engine/plane_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace velanox::engine {

namespace {

struct FreeDoubles {
    void operator()(double* p) const { std::free(p); }
};
using Doubles = std::unique_ptr<double[], FreeDoubles>;

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Allocates count doubles, or returns null (never throws) when the memory cannot be had. Large
// blocks are aligned to 2 MB and offered to the kernel for huge pages: the column passes step
// from row to row across the whole plane, and with 4 KB pages every row of a strip costs its own
// TLB entry and every 4 KB its own page fault.
Doubles allocateDoubles(std::size_t count) {
    if (count > (SIZE_MAX - kHugePage) / sizeof(double)) return nullptr;
    const std::size_t bytes = std::max<std::size_t>(count * sizeof(double), 1);
#ifdef __linux__
    if (bytes >= kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (p == nullptr) return nullptr;
        madvise(p, rounded, MADV_HUGEPAGE); // only a hint: without huge pages all still works
        return Doubles(static_cast<double*>(p));
    }
#endif
    return Doubles(static_cast<double*>(std::malloc(bytes)));
}

} // namespace

void WaveletFilter::setThresholds(double t0, double t1, double t2) {
    const double t[3] = {t0, t1, t2};
    for (int c = 0; c < 3; ++c)
        if (t[c] > 0.0) thresholds_[c] = t[c];
}

bool WaveletFilter::reportProgress() {
    const int32_t step = progressStep_++;
    if (progress_ != nullptr && progress_(step, progressTotal_, context_) != 0) {
        cancelled_ = true;
        return false;
    }
    return true;
}

bool WaveletFilter::forwardTransform(double* plane, int wp, int hp, double threshold,
                                     double* scratch) {
    int w = wp, h = hp;
    for (int level = 1; level <= levels_; ++level) {
        if (!reportProgress()) return false;
        kernels_.forwardLevel(plane, std::size_t(wp), w, h, level == levels_, threshold, scratch);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return true;
}

bool WaveletFilter::inverseTransform(double* plane, int wp, int hp, double* scratch) {
    std::unique_ptr<int[]> wL(new (std::nothrow) int[levels_ + 1]);
    std::unique_ptr<int[]> wH(new (std::nothrow) int[levels_ + 1]);
    std::unique_ptr<int[]> hL(new (std::nothrow) int[levels_ + 1]);
    std::unique_ptr<int[]> hH(new (std::nothrow) int[levels_ + 1]);
    if (!wL || !wH || !hL || !hH) {
        outOfMemory_ = true;
        return false;
    }
    // Band sizes of every level, recomputed from the plane size.
    int w = wp, h = hp;
    for (int level = 1; level <= levels_; ++level) {
        wL[level] = (w + 1) / 2;
        wH[level] = w / 2;
        hL[level] = (h + 1) / 2;
        hH[level] = h / 2;
        w = wL[level];
        h = hL[level];
    }
    for (int level = levels_; level >= 1; --level) {
        if (!reportProgress()) return false;
        kernels_.inverseLevel(plane, std::size_t(wp), wL[level] + wH[level], hL[level] + hH[level],
                              scratch);
    }
    return true;
}

void WaveletFilter::run(const PixelSurface& surface) {
    outOfMemory_ = false;
    cancelled_ = false;
    const int w = surface.width();
    const int h = surface.height();
    const int wp = w + 2 * kPlaneMargin;
    const int hp = h + 2 * kPlaneMargin;
    const std::size_t planeSize = std::size_t(wp) * std::size_t(hp);
    Doubles plane = allocateDoubles(planeSize);
    // One scratch for every pass of every channel.
    Doubles scratch = allocateDoubles(kernels_.scratchSize(wp, hp));
    if (!plane || !scratch) {
        outOfMemory_ = true;
        return;
    }

    const int channels = perChannel_ ? 3 : 1;
    progressTotal_ = 2 * (levels_ + 1) * channels + (channels == 1 ? 2 : 0);
    progressStep_ = 1;

    for (int c = 0; c < channels; ++c) {
        const double t =
            perChannel_ ? thresholds_[c]
                        : (thresholds_[0] + thresholds_[1] + thresholds_[2]) * 0.3333333333333333;
        if (t <= 0.0) continue;
        if (!reportProgress()) return;
        loadPlane(surface, plane.get(), std::size_t(wp), perChannel_ ? c : -1);
        fillMargin(plane.get(), w, h);
        if (!forwardTransform(plane.get(), wp, hp, t, scratch.get())) return;
        if (!kernels_.fusesThreshold) softThreshold(plane.get(), planeSize, t);
        if (!inverseTransform(plane.get(), wp, hp, scratch.get())) return;
        if (!reportProgress()) return;
        if (perChannel_)
            writeChannel(surface, plane.get(), std::size_t(wp), c);
        else
            writeLuminance(surface, plane.get(), std::size_t(wp));
    }
}

int32_t validateNrArguments(int32_t width, int32_t height, int32_t stride,
                            const unsigned char* pixels, const NrParams* params) {
    if (params == nullptr || pixels == nullptr) return NR_INVALID_PARAMETER;
    if (width < 32 || height < 32) return NR_INVALID_PARAMETER;
    if (!(params->threshold >= 0.0 && params->threshold <= 100.0)) return NR_INVALID_PARAMETER;
    if (params->perChannel != 0 && params->perChannel != 1) return NR_INVALID_PARAMETER;
    if (params->levels < 2 || params->levels > 5) return NR_INVALID_PARAMETER;
    if (params->version != 1) return NR_INVALID_PARAMETER;
    // Rows that overlap or run backwards would be written through twice or outside the block.
    if (stride != -1 && stride < int64_t(4) * width) return NR_INVALID_PARAMETER;
    return NR_OK;
}

int32_t runNoiseReduction(const WaveletKernels& kernels, int32_t width, int32_t height,
                          int32_t stride, unsigned char* pixels, const NrParams* params) {
    if (width == 0 && height == 0 && stride == 0 && params == nullptr) {
        if (pixels == nullptr) return NR_INVALID_PARAMETER;
        std::memcpy(pixels, kNrEngineVersion, sizeof kNrEngineVersion);
        return NR_OK;
    }
    if (const int32_t rc = validateNrArguments(width, height, stride, pixels, params); rc != NR_OK)
        return rc;

    PixelSurface surface;
    if (!surface.initialise(width, height, 32, pixels, stride)) return NR_INVALID_PARAMETER;

    WaveletFilter filter(kernels);
    filter.setPerChannel(params->perChannel == 1);
    filter.setLevels(params->levels);
    filter.setThresholds(params->threshold, params->threshold, params->threshold);
    filter.setProgress(params->progress, params->progressContext);
    filter.run(surface);

    if (filter.outOfMemory()) return NR_OUT_OF_MEMORY;
    if (filter.cancelled()) return NR_CANCELLED;
    return NR_OK;
}

} // namespace velanox::engine
