// The shipped noise estimate: the picture is cut into analysis windows of 8 x 8 blocks of 32
// pixels (large pictures are sampled), each window is transformed three levels deep in the
// denoiser's channels, and every block's detail energy per band is measured; the profile comes
// from those statistics (noise_statistics.cpp). Windows are spread over threads; each fits in a
// core's cache. The straightforward version is in engine/reference/reference_auto_denoiser.cpp.
#include "engine/auto_denoise_math.h"
#include "engine/auto_denoiser.h"
#include "engine/lifting_97.h"
#include "engine/threads.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

namespace velanox::engine {

namespace {

using namespace autonr;
constexpr int kC = NoiseProfile::kChannels;
constexpr int kSide = kBlock * kWindowBlocks + 2 * kWindowGuard;

struct Picture {
    const unsigned char* pixels;
    int width, height, bpp;
    std::ptrdiff_t stride;
};

// Per thread: three planes of one window, a line's scratch and the row pointers.
constexpr std::size_t kPlaneFloats = std::size_t(kSide) * kSide;
constexpr std::size_t kThreadFloats = kC * kPlaneFloats + 2 * kSide + 64 + 2 * (kSide + 8);

void measureWindow(const Picture& pic, int wx, int wy, float* scratch, BlockStats* slots,
                   unsigned char* present) {
    const int side = kBlock * kWindowBlocks;
    const int x0 = std::max(0, wx * side - kWindowGuard),
              y0 = std::max(0, wy * side - kWindowGuard);
    const int x1 = std::min(pic.width, (wx + 1) * side + kWindowGuard);
    const int y1 = std::min(pic.height, (wy + 1) * side + kWindowGuard);
    const int w = x1 - x0, h = y1 - y0;
    float* planes[kC] = {scratch, scratch + kPlaneFloats, scratch + 2 * kPlaneFloats};
    float* line = scratch + kC * kPlaneFloats;
    float** ptr = reinterpret_cast<float**>(line + 2 * kSide + 64);

    for (int y = 0; y < h; ++y) {
        const unsigned char* p =
            pic.pixels + std::ptrdiff_t(y0 + y) * pic.stride + std::ptrdiff_t(x0) * pic.bpp;
        float* r0 = planes[0] + std::size_t(y) * w;
        float* r1 = planes[1] + std::size_t(y) * w;
        float* r2 = planes[2] + std::size_t(y) * w;
        for (int x = 0; x < w; ++x, p += pic.bpp) {
            r0[x] = float(p[0] + p[1] + p[2]) * float(kInvSqrt3);
            r1[x] = float(p[0] - p[2]) * float(kInvSqrt2);
            r2[x] = float(p[0] - 2 * p[1] + p[2]) * float(kInvSqrt6);
        }
    }
    // Levels in place: the rows of level l's input are every 2^(l-1)-th plane row; after the
    // column step its low rows are the even ones of those and its high rows the odd ones.
    const LevelSizes sizes = levelSizes(w, h, kMeasuredLevels);
    for (int c = 0; c < kC; ++c) {
        float* pl = planes[c];
        for (int l = 1; l <= kMeasuredLevels; ++l) {
            const int lw = sizes.w[l], lh = sizes.h[l], step = 1 << (l - 1);
            for (int i = 0; i < lh; ++i) {
                float* row = pl + std::size_t(i) * step * w;
                lifting97::forwardLine(row, lw, row, line);
            }
            float** e = ptr + 1;
            float** o = ptr + (lh + 1) / 2 + 3;
            for (int i = 0; i < lh; ++i)
                (i & 1 ? o[i / 2] : e[i / 2]) = pl + std::size_t(i) * step * w;
            lifting97::forwardRows(e, o, lh, lw);
        }
    }
    for (int by = 0; by < kWindowBlocks; ++by)
        for (int bx = 0; bx < kWindowBlocks; ++bx) {
            const int x = wx * side + bx * kBlock, y = wy * side + by * kBlock;
            if (x + kBlock > pic.width || y + kBlock > pic.height) continue;
            BlockStats& b = slots[by * kWindowBlocks + bx];
            measureBlockPixels(pic.pixels, pic.stride, pic.bpp, x, y, b);
            for (int l = 1; l <= kMeasuredLevels; ++l) {
                const int n = kBlock >> l, bx0 = (x - x0) >> l, by0 = (y - y0) >> l;
                const int wE = (sizes.w[l] + 1) / 2;
                const int step = 1 << (l - 1);
                for (int c = 0; c < kC; ++c)
                    for (int o = 0; o < NoiseProfile::kOrientations; ++o) {
                        const int col = (o == 1 ? 0 : wE) + bx0;
                        double sum = 0.0;
                        for (int i = 0; i < n; ++i) {
                            // Low row k of level l is input row 2k, high row k input row 2k + 1.
                            const int inputRow = 2 * (by0 + i) + (o == 0 ? 0 : 1);
                            const float* r =
                                planes[c] + std::size_t(inputRow) * step * w + std::size_t(col);
                            float row = 0.0f;
                            for (int j = 0; j < n; ++j)
                                row += r[j] * r[j];
                            sum += double(row);
                        }
                        b.energy[c][l - 1][o] = static_cast<float>(sum / (n * n));
                    }
            }
            present[by * kWindowBlocks + bx] = 1;
        }
}

} // namespace

int32_t estimateNoise(const unsigned char* pixels, int32_t width, int32_t height,
                      std::ptrdiff_t stride, int32_t bytesPerPixel, NoiseProfile* profile) {
    if (pixels == nullptr || profile == nullptr || width <= 0 || height <= 0 ||
        (bytesPerPixel != 3 && bytesPerPixel != 4))
        return NR_INVALID_PARAMETER;
    if (stride == -1) stride = std::ptrdiff_t(width) * bytesPerPixel;
    if (stride < std::ptrdiff_t(width) * bytesPerPixel) return NR_INVALID_PARAMETER;

    const WindowGrid grid = windowGrid(width, height);
    std::vector<int> windows;
    std::vector<BlockStats> slots;
    std::vector<unsigned char> present;
    try {
        for (int wy = 0; wy < grid.rows; ++wy)
            for (int wx = 0; wx < grid.columns; ++wx)
                if (grid.selected(wx, wy)) windows.push_back(wy * grid.columns + wx);
        const std::size_t blocksPerWindow = std::size_t(kWindowBlocks) * kWindowBlocks;
        slots.resize(windows.size() * blocksPerWindow);
        present.assign(slots.size(), 0);
    } catch (const std::bad_alloc&) {
        return NR_OUT_OF_MEMORY;
    }
    const int threads = std::max(1, std::min<int>(maxThreads(), int(windows.size())));
    float* scratch = static_cast<float*>(std::malloc(kThreadFloats * sizeof(float) * threads));
    if (scratch == nullptr && !windows.empty()) return NR_OUT_OF_MEMORY;

    const Picture pic{pixels, width, height, bytesPerPixel, stride};
    // One window per run, taken in turn; each thread uses the scratch of its slot.
    parallelFor(int64_t(windows.size()), 1, threads, [&](int64_t first, int64_t end, int slot) {
        for (int64_t i = first; i < end; ++i) {
            const int wx = windows[i] % grid.columns, wy = windows[i] / grid.columns;
            measureWindow(pic, wx, wy, scratch + kThreadFloats * std::size_t(slot),
                          slots.data() + std::size_t(i) * 64, present.data() + std::size_t(i) * 64);
        }
    });
    std::free(scratch);

    try {
        std::vector<BlockStats> blocks;
        for (std::size_t i = 0; i < slots.size(); ++i)
            if (present[i]) blocks.push_back(slots[i]);
        *profile = profileFromBlocks(blocks);
    } catch (const std::bad_alloc&) {
        return NR_OUT_OF_MEMORY;
    }
    return NR_OK;
}

} // namespace velanox::engine
