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
            m_planes[i].release();
        } else if (!grow(m_planes[i], sizes[i])) {
            release();
            return false;
        }
    }
    if (bytes == 0) m_bytes.release();
    if (!grow(m_scratch, scratchSize) ||
        (bytes != 0 && !grow(m_bytes, (bytes + sizeof(double) - 1) / sizeof(double)))) {
        release();
        return false;
    }
    return true;
}

std::size_t EngineWorkspace::bytes() const {
    return m_planes[0].size() + m_planes[1].size() + m_scratch.size() + m_bytes.size();
}

void EngineWorkspace::release() {
    m_planes[0].release();
    m_planes[1].release();
    m_scratch.release();
    m_bytes.release();
}

void WaveletFilter::setThresholds(double t0, double t1, double t2) {
    const double t[3] = {t0, t1, t2};
    for (int c = 0; c < 3; ++c)
        if (t[c] > 0.0) m_thresholds[c] = t[c];
}

bool WaveletFilter::reportProgress() {
    const int32_t step = m_progressStep++;
    if (m_progress != nullptr && m_progress(step, m_progressTotal, m_context) != 0) {
        m_cancelled = true;
        return false;
    }
    return true;
}

bool WaveletFilter::forwardTransform(const Channel& ch, int wp, int hp, double threshold) {
    int w = wp, h = hp;
    for (int level = 1; level <= m_levels; ++level) {
        if (!reportProgress()) return false;
        double* out = ch.planes[level % 2];
        if (level == 1 && ch.remaking)
            m_kernels.forwardFirstLowLow(ch.block, out, ch.stride, w, h, ch.scratch);
        else if (level == 1 && ch.direct)
            m_kernels.forwardFromBlock(ch.block, out, ch.stride, w, h, level == m_levels, threshold,
                                       ch.scratch);
        else
            m_kernels.forwardLevel(ch.planes[(level - 1) % 2], out, ch.stride, w, h,
                                   level == m_levels, threshold, ch.scratch);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return true;
}

bool WaveletFilter::inverseTransform(const Channel& ch, int wp, int hp, double threshold) {
    // Region sizes of every level, recomputed from the plane size; m_levels is at most 5.
    int ws[6], hs[6];
    ws[1] = wp;
    hs[1] = hp;
    for (int level = 2; level <= m_levels; ++level) {
        ws[level] = (ws[level - 1] + 1) / 2;
        hs[level] = (hs[level - 1] + 1) / 2;
    }
    for (int level = m_levels; level >= 1; --level) {
        if (!reportProgress()) return false;
        if (level == 1 && ch.direct) {
            // The first level's inverse writes the block, so the step that precedes the
            // write-back is reported first: a cancel there still leaves the channel untouched.
            if (!reportProgress()) return false;
            if (ch.remaking)
                m_kernels.inverseFirstRemaking(ch.planes[1], ch.stride, wp, hp, ch.block, ch.target,
                                               threshold, ch.scratch);
            else
                m_kernels.inverseToBlock(ch.planes[1], ch.stride, wp, hp, ch.block, ch.scratch);
            return true;
        }
        m_kernels.inverseLevel(ch.planes[level % 2], ch.planes[(level - 1) % 2], ch.stride,
                               ws[level], hs[level], ch.scratch);
    }
    if (!reportProgress()) return false;
    writeChannel(*ch.block.view, ch.planes[0], std::size_t(wp), ch.block.channel);
    return true;
}

void WaveletFilter::run(const core::ImageView& pixels, EngineWorkspace& workspace) {
    m_outOfMemory = false;
    m_cancelled = false;
    const int w = pixels.width;
    const int h = pixels.height;
    const int wp = w + 2 * kPlaneMargin;
    const int hp = h + 2 * kPlaneMargin;
    const std::size_t planeSize = std::size_t(wp) * std::size_t(hp);
    const bool direct = m_kernels.twoPlanes && m_kernels.forwardFromBlock != nullptr &&
                        m_kernels.inverseToBlock != nullptr;
    // Read straight from the block, the first level needs no input plane: the first plane then
    // only ever holds the second level's region and below.
    const std::size_t firstPlane = direct ? std::size_t(wp) * std::size_t((hp + 1) / 2) : planeSize;
    // Per channel, the components are first copied apart into planes of one byte each, read by
    // the first level and written back by its inverse; they return to the pixels together, in
    // one pass, when the run ends. That spares reading and rewriting every whole pixel three
    // times over.
    const bool apart = direct && m_perChannel;
    const std::size_t blockSize = std::size_t(w) * std::size_t(h);
    // Apart, the first level's inverse can write a fourth byte plane, so the first level's
    // detail bands can be made again from the block instead of being kept: the planes then hold
    // only the second level's region and below, rows of (wp + 1) / 2 values.
    const bool remaking = apart && m_kernels.forwardFirstLowLow != nullptr &&
                          m_kernels.inverseFirstRemaking != nullptr;
    const std::size_t lowLowSize = std::size_t((wp + 1) / 2) * std::size_t((hp + 1) / 2);
    const std::size_t planes[2] = {remaking ? lowLowSize : firstPlane, remaking ? lowLowSize
                                                                       : m_kernels.twoPlanes
                                                                           ? planeSize
                                                                           : 0};
    // One scratch for every pass of every channel.
    if (!workspace.reserve(planes[0], planes[1], m_kernels.scratchSize(wp, hp),
                           apart ? (remaking ? 4 : 3) * blockSize : 0)) {
        m_outOfMemory = true;
        return;
    }
    Channel ch;
    ch.planes[0] = workspace.plane(0);
    ch.planes[1] = m_kernels.twoPlanes ? workspace.plane(1) : ch.planes[0];
    ch.stride = remaking ? std::size_t((wp + 1) / 2) : std::size_t(wp);
    ch.scratch = workspace.scratch();
    ch.block.view = &pixels;
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
        const core::ImageView& pixels;
        unsigned char* const* components;
        const unsigned& written;
        ~WriteBack() { mergeChannels(pixels, components, written); }
    } writeBack{pixels, components, written};

    const int channels = m_perChannel ? 3 : 1;
    m_progressTotal = 2 * (m_levels + 1) * channels + (channels == 1 ? 2 : 0);
    m_progressStep = 1;

    for (int c = 0; c < channels; ++c) {
        const double t = m_perChannel ? m_thresholds[c]
                                      : (m_thresholds[0] + m_thresholds[1] + m_thresholds[2]) *
                                            0.3333333333333333;
        if (t <= 0.0) continue;
        if (!reportProgress()) return;
        ch.block.channel = m_perChannel ? c : -1;
        if (apart && !split) {
            splitChannels(pixels, components);
            split = true;
        }
        ch.block.bytes = apart ? components[c] : nullptr;
        ch.target.channel = ch.block.channel;
        ch.target.bytes = spare;
        if (!direct) {
            loadPlane(pixels, ch.planes[0], std::size_t(wp), ch.block.channel);
            fillMargin(ch.planes[0], w, h);
        }
        if (!forwardTransform(ch, wp, hp, t)) return;
        if (!m_kernels.fusesThreshold) softThreshold(ch.planes[0], planeSize, t);
        if (!inverseTransform(ch, wp, hp, t)) return;
        if (remaking) std::swap(components[c], spare);
        if (apart) written |= 1u << c;
    }
}

core::Status validateNrArguments(const core::ImageView& block, const NrParams& params) {
    const auto invalid = [](const char* reason) {
        return core::Status::failure(core::StatusCode::InvalidArgument, reason);
    };
    if (block.data == nullptr) return invalid("No pixels.");
    if (block.width < 32 || block.height < 32)
        return invalid("The block is smaller than 32 x 32 pixels.");
    if (!(params.threshold >= 0.0 && params.threshold <= 100.0))
        return invalid("The threshold is outside 0..100.");
    if (params.perChannel != 0 && params.perChannel != 1)
        return invalid("perChannel is not 0 or 1.");
    if (params.levels < 2 || params.levels > 5) return invalid("The levels are outside 2..5.");
    if (params.version != 1) return invalid("Unknown parameter version.");
    if (block.bytesPerPixel != 4) return invalid("The pixels are not 4 bytes each.");
    // Rows that overlap or run backwards would be written through twice or outside the block.
    if (block.stride < std::ptrdiff_t(block.rowBytes()))
        return invalid("The rows are closer together than a row is long.");
    return core::Status::success();
}

core::Status runNoiseReduction(const WaveletKernels& kernels, const core::ImageView& block,
                               const NrParams& params, EngineWorkspace* workspace) {
    if (core::Status s = validateNrArguments(block, params); !s.ok()) return s;

    WaveletFilter filter(kernels);
    filter.setPerChannel(params.perChannel == 1);
    filter.setLevels(params.levels);
    filter.setThresholds(params.threshold, params.threshold, params.threshold);
    filter.setProgress(params.progress, params.progressContext);
    // The engine's row 0 is the last row in memory.
    const core::ImageView bottomUp = block.flipped();
    if (workspace != nullptr) {
        filter.run(bottomUp, *workspace);
    } else {
        EngineWorkspace temporary;
        filter.run(bottomUp, temporary);
    }

    if (filter.outOfMemory())
        return core::Status::failure(core::StatusCode::OutOfMemory, "Out of memory");
    if (filter.cancelled())
        return core::Status::failure(core::StatusCode::Cancelled, "Operation cancelled");
    return core::Status::success();
}

int32_t nrResultOf(const core::Status& status) {
    switch (status.code) {
    case core::StatusCode::Ok:
        return NR_OK;
    case core::StatusCode::Cancelled:
        return NR_CANCELLED;
    case core::StatusCode::OutOfMemory:
        return NR_OUT_OF_MEMORY;
    default:
        return NR_INVALID_PARAMETER;
    }
}

int32_t runNoiseReductionEntry(const WaveletKernels& kernels, int32_t width, int32_t height,
                               int32_t stride, unsigned char* pixels, const NrParams* params) {
    if (width == 0 && height == 0 && stride == 0 && params == nullptr) {
        if (pixels == nullptr) return NR_INVALID_PARAMETER;
        std::memcpy(pixels, kNrEngineVersion, sizeof kNrEngineVersion);
        return NR_OK;
    }
    if (params == nullptr || pixels == nullptr) return NR_INVALID_PARAMETER;
    // Rows that overlap or run backwards would be written through twice or outside the block.
    if (stride != -1 && stride < int64_t(4) * width) return NR_INVALID_PARAMETER;
    const std::ptrdiff_t rowStride = stride == -1 ? std::ptrdiff_t(4) * width : stride;
    return nrResultOf(
        runNoiseReduction(kernels, core::ImageView(pixels, width, height, 4, rowStride), *params));
}

} // namespace velanox::engine
