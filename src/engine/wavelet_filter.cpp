#include "engine/wavelet_filter.h"

#include "engine/plane_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace velanox::engine {

namespace {

// Allocates count doubles, or returns null (never throws) when the memory cannot be had. The
// levels read and write whole rows in order, so ordinary pages serve them well; asking for huge
// pages made first runs slower here, the kernel compacting memory to find them.
double* allocateDoubles(std::size_t count) {
    if (count > SIZE_MAX / sizeof(double)) return nullptr;
    return static_cast<double*>(std::malloc(std::max<std::size_t>(count * sizeof(double), 1)));
}

} // namespace

EngineWorkspace::EngineWorkspace() = default;

EngineWorkspace::~EngineWorkspace() {
    release();
}

bool EngineWorkspace::grow(Block& block, std::size_t count) {
    if (block.data != nullptr && block.count >= count) return true;
    free(block);
    block.data = allocateDoubles(count);
    if (block.data == nullptr) return false;
    block.count = count;
    return true;
}

void EngineWorkspace::free(Block& block) {
    std::free(block.data);
    block = Block{};
}

bool EngineWorkspace::reserve(std::size_t plane0, std::size_t plane1, std::size_t scratchSize,
                              std::size_t bytes) {
    const std::size_t sizes[2] = {plane0, plane1};
    for (int i = 0; i < 2; ++i) {
        if (sizes[i] == 0) {
            free(m_planes[i]);
        } else if (!grow(m_planes[i], sizes[i])) {
            release();
            return false;
        }
    }
    if (bytes == 0) free(m_bytes);
    if (!grow(m_scratch, scratchSize) ||
        (bytes != 0 && !grow(m_bytes, (bytes + sizeof(double) - 1) / sizeof(double)))) {
        release();
        return false;
    }
    return true;
}

std::size_t EngineWorkspace::bytes() const {
    return (m_planes[0].count + m_planes[1].count + m_scratch.count + m_bytes.count) *
           sizeof(double);
}

void EngineWorkspace::release() {
    free(m_planes[0]);
    free(m_planes[1]);
    free(m_scratch);
    free(m_bytes);
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
        if (level == 1 && ch.direct)
            m_kernels.forwardFromBlock(ch.block, out, std::size_t(wp), w, h, level == m_levels,
                                       threshold, ch.scratch);
        else
            m_kernels.forwardLevel(ch.planes[(level - 1) % 2], out, std::size_t(wp), w, h,
                                   level == m_levels, threshold, ch.scratch);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return true;
}

bool WaveletFilter::inverseTransform(const Channel& ch, int wp, int hp) {
    // Region sizes of every level, recomputed from the plane size; levels_ is at most 5.
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
            m_kernels.inverseToBlock(ch.planes[1], std::size_t(wp), wp, hp, ch.block, ch.scratch);
            return true;
        }
        m_kernels.inverseLevel(ch.planes[level % 2], ch.planes[(level - 1) % 2], std::size_t(wp),
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
    // One scratch for every pass of every channel.
    if (!workspace.reserve(firstPlane, m_kernels.twoPlanes ? planeSize : 0,
                           m_kernels.scratchSize(wp, hp), apart ? 3 * blockSize : 0)) {
        m_outOfMemory = true;
        return;
    }
    Channel ch;
    ch.planes[0] = workspace.plane(0);
    ch.planes[1] = m_kernels.twoPlanes ? workspace.plane(1) : ch.planes[0];
    ch.scratch = workspace.scratch();
    ch.block.view = &pixels;
    ch.direct = direct;
    unsigned char* const bytes = apart ? workspace.byteSpace() : nullptr;
    unsigned char* const components[3] = {bytes, apart ? bytes + blockSize : nullptr,
                                          apart ? bytes + 2 * blockSize : nullptr};
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
        if (!direct) {
            loadPlane(pixels, ch.planes[0], std::size_t(wp), ch.block.channel);
            fillMargin(ch.planes[0], w, h);
        }
        if (!forwardTransform(ch, wp, hp, t)) return;
        if (!m_kernels.fusesThreshold) softThreshold(ch.planes[0], planeSize, t);
        if (!inverseTransform(ch, wp, hp)) return;
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
