#include "engine/wavelet_filter.h"

#include "engine/plane_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace velanox::engine {

EngineWorkspace::EngineWorkspace() = default;

EngineWorkspace::~EngineWorkspace() {
    release();
}

bool EngineWorkspace::grow(LargeBlock& block, std::size_t count) {
    if (count > SIZE_MAX / sizeof(double)) return false;
    const std::size_t bytes = count * sizeof(double);
    // A block large enough is kept; a new one is only ever asked for when a larger one is needed.
    if (block && block.size() >= bytes) return true;
    return block.allocate(bytes);
}

bool EngineWorkspace::reserve(std::size_t plane0, std::size_t plane1, std::size_t scratchSize,
                              std::size_t bytes) {
    const std::size_t sizes[2] = {plane0, plane1};
    for (int i = 0; i < 2; ++i) {
        if (sizes[i] == 0) {
            planes_[i].release();
        } else if (!grow(planes_[i], sizes[i])) {
            release();
            return false;
        }
    }
    if (bytes == 0) bytes_.release();
    if (!grow(scratch_, scratchSize) ||
        (bytes != 0 && !grow(bytes_, (bytes + sizeof(double) - 1) / sizeof(double)))) {
        release();
        return false;
    }
    return true;
}

std::size_t EngineWorkspace::bytes() const {
    return planes_[0].size() + planes_[1].size() + scratch_.size() + bytes_.size();
}

void EngineWorkspace::release() {
    planes_[0].release();
    planes_[1].release();
    scratch_.release();
    bytes_.release();
}

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

bool WaveletFilter::forwardTransform(const Channel& ch, int wp, int hp, double threshold) {
    int w = wp, h = hp;
    for (int level = 1; level <= levels_; ++level) {
        if (!reportProgress()) return false;
        double* out = ch.planes[level % 2];
        if (level == 1 && ch.remaking)
            kernels_.forwardFirstLowLow(ch.block, out, ch.stride, w, h, ch.scratch);
        else if (level == 1 && ch.direct)
            kernels_.forwardFromBlock(ch.block, out, ch.stride, w, h, level == levels_, threshold,
                                      ch.scratch);
        else
            kernels_.forwardLevel(ch.planes[(level - 1) % 2], out, ch.stride, w, h,
                                  level == levels_, threshold, ch.scratch);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return true;
}

bool WaveletFilter::inverseTransform(const Channel& ch, int wp, int hp, double threshold) {
    // Region sizes of every level, recomputed from the plane size; levels_ is at most 5.
    int ws[6], hs[6];
    ws[1] = wp;
    hs[1] = hp;
    for (int level = 2; level <= levels_; ++level) {
        ws[level] = (ws[level - 1] + 1) / 2;
        hs[level] = (hs[level - 1] + 1) / 2;
    }
    for (int level = levels_; level >= 1; --level) {
        if (!reportProgress()) return false;
        if (level == 1 && ch.direct) {
            // The first level's inverse writes the block, so the step that precedes the
            // write-back is reported first: a cancel there still leaves the channel untouched.
            if (!reportProgress()) return false;
            if (ch.remaking)
                kernels_.inverseFirstRemaking(ch.planes[1], ch.stride, wp, hp, ch.block, ch.target,
                                              threshold, ch.scratch);
            else
                kernels_.inverseToBlock(ch.planes[1], ch.stride, wp, hp, ch.block, ch.scratch);
            return true;
        }
        kernels_.inverseLevel(ch.planes[level % 2], ch.planes[(level - 1) % 2], ch.stride,
                              ws[level], hs[level], ch.scratch);
    }
    if (!reportProgress()) return false;
    writeChannel(*ch.block.surface, ch.planes[0], std::size_t(wp), ch.block.channel);
    return true;
}

void WaveletFilter::run(const PixelSurface& surface, EngineWorkspace& workspace) {
    outOfMemory_ = false;
    cancelled_ = false;
    const int w = surface.width();
    const int h = surface.height();
    const int wp = w + 2 * kPlaneMargin;
    const int hp = h + 2 * kPlaneMargin;
    const std::size_t planeSize = std::size_t(wp) * std::size_t(hp);
    const bool direct = kernels_.twoPlanes && kernels_.forwardFromBlock != nullptr &&
                        kernels_.inverseToBlock != nullptr;
    // Read straight from the block, the first level needs no input plane: the first plane then
    // only ever holds the second level's region and below.
    const std::size_t firstPlane = direct ? std::size_t(wp) * std::size_t((hp + 1) / 2) : planeSize;
    // Per channel, the components are first copied apart into planes of one byte each, read by
    // the first level and written back by its inverse; they return to the pixels together, in
    // one pass, when the run ends. That spares reading and rewriting every whole pixel three
    // times over.
    const bool apart = direct && perChannel_;
    const std::size_t blockSize = std::size_t(w) * std::size_t(h);
    // Apart, the first level's inverse can write a fourth byte plane, so the first level's
    // detail bands can be made again from the block instead of being kept: the planes then hold
    // only the second level's region and below, rows of (wp + 1) / 2 values.
    const bool remaking =
        apart && kernels_.forwardFirstLowLow != nullptr && kernels_.inverseFirstRemaking != nullptr;
    const std::size_t lowLowSize = std::size_t((wp + 1) / 2) * std::size_t((hp + 1) / 2);
    const std::size_t planes[2] = {remaking ? lowLowSize : firstPlane, remaking ? lowLowSize
                                                                       : kernels_.twoPlanes
                                                                           ? planeSize
                                                                           : 0};
    // One scratch for every pass of every channel.
    if (!workspace.reserve(planes[0], planes[1], kernels_.scratchSize(wp, hp),
                           apart ? (remaking ? 4 : 3) * blockSize : 0)) {
        outOfMemory_ = true;
        return;
    }
    Channel ch;
    ch.planes[0] = workspace.plane(0);
    ch.planes[1] = kernels_.twoPlanes ? workspace.plane(1) : ch.planes[0];
    ch.stride = remaking ? std::size_t((wp + 1) / 2) : std::size_t(wp);
    ch.scratch = workspace.scratch();
    ch.block.surface = &surface;
    ch.direct = direct;
    ch.remaking = remaking;
    ch.target = ch.block;
    unsigned char* const bytes = apart ? workspace.byteSpace() : nullptr;
    unsigned char* components[3] = {bytes, apart ? bytes + blockSize : nullptr,
                                    apart ? bytes + 2 * blockSize : nullptr};
    // Where the first level's inverse writes a component when it makes the detail bands again;
    // the plane written then takes the component's place, and the one read becomes the spare.
    unsigned char* spare = remaking ? bytes + 3 * blockSize : nullptr;
    bool split = false;
    unsigned written = 0; // the components whose planes hold their new values
    struct WriteBack {
        const PixelSurface& surface;
        unsigned char* const* components;
        const unsigned& written;
        ~WriteBack() { mergeChannels(surface, components, written); }
    } writeBack{surface, components, written};

    const int channels = perChannel_ ? 3 : 1;
    progressTotal_ = 2 * (levels_ + 1) * channels + (channels == 1 ? 2 : 0);
    progressStep_ = 1;

    for (int c = 0; c < channels; ++c) {
        const double t =
            perChannel_ ? thresholds_[c]
                        : (thresholds_[0] + thresholds_[1] + thresholds_[2]) * 0.3333333333333333;
        if (t <= 0.0) continue;
        if (!reportProgress()) return;
        ch.block.channel = perChannel_ ? c : -1;
        if (apart && !split) {
            splitChannels(surface, components);
            split = true;
        }
        ch.block.bytes = apart ? components[c] : nullptr;
        ch.target.channel = ch.block.channel;
        ch.target.bytes = spare;
        if (!direct) {
            loadPlane(surface, ch.planes[0], std::size_t(wp), ch.block.channel);
            fillMargin(ch.planes[0], w, h);
        }
        if (!forwardTransform(ch, wp, hp, t)) return;
        if (!kernels_.fusesThreshold) softThreshold(ch.planes[0], planeSize, t);
        if (!inverseTransform(ch, wp, hp, t)) return;
        if (remaking) std::swap(components[c], spare);
        if (apart) written |= 1u << c;
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
                          int32_t stride, unsigned char* pixels, const NrParams* params,
                          EngineWorkspace* workspace) {
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
    if (workspace != nullptr) {
        filter.run(surface, *workspace);
    } else {
        EngineWorkspace temporary;
        filter.run(surface, temporary);
    }

    if (filter.outOfMemory()) return NR_OUT_OF_MEMORY;
    if (filter.cancelled()) return NR_CANCELLED;
    return NR_OK;
}

} // namespace velanox::engine
