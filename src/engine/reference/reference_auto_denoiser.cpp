#include "engine/reference/reference_auto_denoiser.h"

#include "engine/auto_denoise_math.h"

#include <algorithm>
#include <new>
#include <vector>

namespace velanox::engine {

namespace {

using namespace autonr;
constexpr int kC = NoiseProfile::kChannels;

// ---- one line -------------------------------------------------------------------------------

void forwardLine(std::vector<double>& x) {
    const int n = int(x.size());
    if (n < 2) return;
    const double c[4] = {kAlpha, kBeta, kGamma, kDelta};
    for (int s = 0; s < 4; ++s)
        for (int i = s % 2 == 0 ? 1 : 0; i < n; i += 2)
            x[i] = x[i] + c[s] * (x[reflect(i - 1, n)] + x[reflect(i + 1, n)]);
    std::vector<double> out(n);
    const int nL = (n + 1) / 2;
    for (int k = 0; 2 * k < n; ++k)
        out[k] = x[2 * k] * kLowScale;
    for (int k = 0; 2 * k + 1 < n; ++k)
        out[nL + k] = x[2 * k + 1] * kHighScale;
    x = out;
}

void inverseLine(std::vector<double>& y) {
    const int n = int(y.size());
    if (n < 2) return;
    const int nL = (n + 1) / 2;
    std::vector<double> x(n);
    for (int k = 0; 2 * k < n; ++k)
        x[2 * k] = y[k] * kHighScale; // 1 / kLowScale
    for (int k = 0; 2 * k + 1 < n; ++k)
        x[2 * k + 1] = y[nL + k] * kLowScale; // 1 / kHighScale
    const double c[4] = {kAlpha, kBeta, kGamma, kDelta};
    for (int s = 3; s >= 0; --s)
        for (int i = s % 2 == 0 ? 1 : 0; i < n; i += 2)
            x[i] = x[i] - c[s] * (x[reflect(i - 1, n)] + x[reflect(i + 1, n)]);
    y = x;
}

// ---- a plane of doubles, levels in place (Mallat layout) ------------------------------------

struct Plane {
    int w = 0, h = 0;
    std::vector<double> v;
    double& at(int x, int y) { return v[std::size_t(y) * std::size_t(w) + std::size_t(x)]; }
};

void forwardLevel(Plane& p, int w, int h) {
    std::vector<double> line;
    for (int y = 0; y < h; ++y) {
        line.assign(w, 0.0);
        for (int x = 0; x < w; ++x)
            line[x] = p.at(x, y);
        forwardLine(line);
        for (int x = 0; x < w; ++x)
            p.at(x, y) = line[x];
    }
    for (int x = 0; x < w; ++x) {
        line.assign(h, 0.0);
        for (int y = 0; y < h; ++y)
            line[y] = p.at(x, y);
        forwardLine(line);
        for (int y = 0; y < h; ++y)
            p.at(x, y) = line[y];
    }
}

void inverseLevel(Plane& p, int w, int h) {
    std::vector<double> line;
    for (int x = 0; x < w; ++x) {
        line.assign(h, 0.0);
        for (int y = 0; y < h; ++y)
            line[y] = p.at(x, y);
        inverseLine(line);
        for (int y = 0; y < h; ++y)
            p.at(x, y) = line[y];
    }
    for (int y = 0; y < h; ++y) {
        line.assign(w, 0.0);
        for (int x = 0; x < w; ++x)
            line[x] = p.at(x, y);
        inverseLine(line);
        for (int x = 0; x < w; ++x)
            p.at(x, y) = line[x];
    }
}

// The rectangle of band o of a level over a w x h region.
struct Band {
    int x, y, w, h;
};

Band bandOf(int o, int w, int h) {
    const int wE = (w + 1) / 2, wO = w / 2, hE = (h + 1) / 2, hO = h / 2;
    if (o == 0) return {wE, 0, wO, hE};
    if (o == 1) return {0, hE, wE, hO};
    return {wE, hE, wO, hO};
}

// ---- pixels ---------------------------------------------------------------------------------

double channelValue(const unsigned char* p, int c) {
    if (c == 0) return double(p[0] + p[1] + p[2]) * kInvSqrt3;
    if (c == 1) return double(p[0] - p[2]) * kInvSqrt2;
    return double(p[0] - 2 * p[1] + p[2]) * kInvSqrt6;
}

struct Source {
    const unsigned char* pixels;
    int width, height, bpp;
    std::ptrdiff_t stride;
    const unsigned char* at(int x, int y) const {
        return pixels + std::ptrdiff_t(reflect(y, height)) * stride +
               std::ptrdiff_t(reflect(x, width)) * bpp;
    }
};

// ---- the denoiser ---------------------------------------------------------------------------

// The noise gain of every coefficient position of each level: the brightness of the pixels
// under it (2 x 2 means, level after level) through the profile's noise-level function.
std::vector<std::vector<double>> gainMaps(const Source& src, int ox, int oy, const LevelSizes& s,
                                          int levels, const NoiseProfile& profile) {
    std::vector<std::vector<double>> bright(levels + 1), gain(levels + 1);
    for (int l = 1; l <= levels; ++l) {
        const int bw = s.w[l + 1], bh = s.h[l + 1];
        const int iw = s.w[l], ih = s.h[l];
        bright[l].assign(std::size_t(bw) * bh, 0.0);
        for (int i = 0; i < bh; ++i)
            for (int j = 0; j < bw; ++j) {
                double sum = 0.0;
                for (int a = 0; a < 2; ++a)
                    for (int b = 0; b < 2; ++b) {
                        const int y = std::min(2 * i + a, ih - 1), x = std::min(2 * j + b, iw - 1);
                        if (l == 1) {
                            const unsigned char* p = src.at(ox + x, oy + y);
                            sum += double(p[0] + p[1] + p[2]) / 3.0;
                        } else {
                            sum += bright[l - 1][std::size_t(y) * iw + x];
                        }
                    }
                bright[l][std::size_t(i) * bw + j] = sum * 0.25;
            }
        gain[l].resize(bright[l].size());
        for (std::size_t k = 0; k < bright[l].size(); ++k)
            gain[l][k] = profile.gainAt(static_cast<float>(bright[l][k]));
    }
    return gain;
}

void shrinkLevel(Plane& p, int l, const LevelSizes& s, const std::vector<double>& gain, int gw,
                 const double sigmas[NoiseProfile::kOrientations], int radius) {
    const int w = s.w[l], h = s.h[l];
    const double area = double(2 * radius + 1) * double(2 * radius + 1);
    for (int o = 0; o < NoiseProfile::kOrientations; ++o) {
        const Band b = bandOf(o, w, h);
        if (b.w == 0 || b.h == 0 || !(sigmas[o] > 0.0)) continue;
        std::vector<double> d(std::size_t(b.w) * b.h);
        for (int i = 0; i < b.h; ++i)
            for (int j = 0; j < b.w; ++j)
                d[std::size_t(i) * b.w + j] = p.at(b.x + j, b.y + i);
        for (int i = 0; i < b.h; ++i)
            for (int j = 0; j < b.w; ++j) {
                double energy = 0.0;
                for (int dy = -radius; dy <= radius; ++dy) {
                    double row = 0.0;
                    for (int dx = -radius; dx <= radius; ++dx) {
                        const double v =
                            d[std::size_t(reflect(i + dy, b.h)) * b.w + reflect(j + dx, b.w)];
                        row += v * v;
                    }
                    energy += row;
                }
                const double sigma = sigmas[o] * gain[std::size_t(i) * gw + j];
                p.at(b.x + j, b.y + i) =
                    shrinkCoefficient(d[std::size_t(i) * b.w + j], energy / area, sigma * sigma);
            }
    }
}

struct Progress {
    const AutoDenoiseParams& params;
    int32_t step = 1, total = 0;
    bool next() {
        const int32_t s = step++;
        return params.progress == nullptr || params.progress(s, total, params.progressContext) == 0;
    }
};

int32_t denoise(const AutoDenoiseImages& im, const NoiseProfile& profile,
                const AutoDenoiseParams& params, const AutoDenoiseTuning& tuning) {
    const Source src{im.source, im.width, im.height, 4, sourceStride(im)};
    const Window win = processingWindow(im);
    const BandSigmas sig = effectiveSigmas(profile, params);
    const int shifts[kC] = {tuning.shifts, tuning.colorShifts, tuning.colorShifts};
    const std::size_t tileSize = std::size_t(im.tileWidth) * std::size_t(im.tileHeight);
    std::vector<double> acc[kC];
    for (auto& a : acc)
        a.assign(tileSize, 0.0);

    Progress progress{params};
    progress.total = 2 * (shifts[0] + shifts[1] + shifts[2]) + 1;
    // The gain maps of the largest plane (that of the shifted grid), from the unshifted origin,
    // serve every shift.
    const int extra = tuning.shifts > 1 ? 1 : 0;
    const LevelSizes largest =
        levelSizes(win.x1 - win.x0 + extra, win.y1 - win.y0 + extra, tuning.levels);
    const auto gains = gainMaps(src, win.x0, win.y0, largest, tuning.levels, profile);
    for (int s = 0; s < tuning.shifts; ++s) {
        const int ox = win.x0 - kShiftX[s], oy = win.y0 - kShiftY[s];
        Plane p;
        p.w = win.x1 - ox;
        p.h = win.y1 - oy;
        const LevelSizes sizes = levelSizes(p.w, p.h, tuning.levels);
        for (int c = 0; c < kC; ++c) {
            if (s >= shifts[c]) continue;
            if (!progress.next()) return NR_CANCELLED;
            p.v.assign(std::size_t(p.w) * p.h, 0.0);
            for (int y = 0; y < p.h; ++y)
                for (int x = 0; x < p.w; ++x)
                    p.at(x, y) = channelValue(src.at(ox + x, oy + y), c);
            for (int l = 1; l <= tuning.levels; ++l)
                forwardLevel(p, sizes.w[l], sizes.h[l]);
            if (sig.any)
                for (int l = 1; l <= tuning.levels; ++l)
                    shrinkLevel(p, l, sizes, gains[l], largest.w[l + 1], sig.s[c][l - 1],
                                tuning.windowRadius);
            if (!progress.next()) return NR_CANCELLED;
            for (int l = tuning.levels; l >= 1; --l)
                inverseLevel(p, sizes.w[l], sizes.h[l]);
            for (int ty = 0; ty < im.tileHeight; ++ty)
                for (int tx = 0; tx < im.tileWidth; ++tx)
                    acc[c][std::size_t(ty) * im.tileWidth + tx] +=
                        p.at(im.tileX + tx - ox, im.tileY + ty - oy);
        }
    }
    if (!progress.next()) return NR_CANCELLED;
    const std::ptrdiff_t ts = targetStride(im);
    for (int ty = 0; ty < im.tileHeight; ++ty)
        for (int tx = 0; tx < im.tileWidth; ++tx) {
            const std::size_t k = std::size_t(ty) * im.tileWidth + tx;
            const double y = acc[0][k] / shifts[0], c1 = acc[1][k] / shifts[1],
                         c2 = acc[2][k] / shifts[2];
            unsigned char* q = im.target + std::ptrdiff_t(ty) * ts + std::ptrdiff_t(tx) * 4;
            q[0] = toByte(y * kInvSqrt3 + c1 * kInvSqrt2 + c2 * kInvSqrt6);
            q[1] = toByte(y * kInvSqrt3 - 2.0 * c2 * kInvSqrt6);
            q[2] = toByte(y * kInvSqrt3 - c1 * kInvSqrt2 + c2 * kInvSqrt6);
        }
    return NR_OK;
}

// ---- the estimate ---------------------------------------------------------------------------

void measureWindow(const Source& src, int wx, int wy, std::vector<BlockStats>& blocks) {
    const int side = kBlock * kWindowBlocks;
    const int x0 = std::max(0, wx * side - kWindowGuard),
              y0 = std::max(0, wy * side - kWindowGuard);
    const int x1 = std::min(src.width, (wx + 1) * side + kWindowGuard);
    const int y1 = std::min(src.height, (wy + 1) * side + kWindowGuard);
    Plane planes[kC];
    const LevelSizes sizes = levelSizes(x1 - x0, y1 - y0, kMeasuredLevels);
    for (int c = 0; c < kC; ++c) {
        Plane& p = planes[c];
        p.w = x1 - x0;
        p.h = y1 - y0;
        p.v.resize(std::size_t(p.w) * p.h);
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                p.at(x, y) = channelValue(src.at(x0 + x, y0 + y), c);
        for (int l = 1; l <= kMeasuredLevels; ++l)
            forwardLevel(p, sizes.w[l], sizes.h[l]);
    }
    for (int by = 0; by < kWindowBlocks; ++by)
        for (int bx = 0; bx < kWindowBlocks; ++bx) {
            const int x = wx * side + bx * kBlock, y = wy * side + by * kBlock;
            if (x + kBlock > src.width || y + kBlock > src.height) continue;
            BlockStats b;
            measureBlockPixels(src.pixels, src.stride, src.bpp, x, y, b);
            for (int c = 0; c < kC; ++c)
                for (int l = 1; l <= kMeasuredLevels; ++l) {
                    const int n = kBlock >> l, bx0 = (x - x0) >> l, by0 = (y - y0) >> l;
                    for (int o = 0; o < NoiseProfile::kOrientations; ++o) {
                        const Band band = bandOf(o, sizes.w[l], sizes.h[l]);
                        double sum = 0.0;
                        for (int i = 0; i < n; ++i)
                            for (int j = 0; j < n; ++j) {
                                const double v = planes[c].at(band.x + bx0 + j, band.y + by0 + i);
                                sum += v * v;
                            }
                        b.energy[c][l - 1][o] = static_cast<float>(sum / (n * n));
                    }
                }
            blocks.push_back(b);
        }
}

} // namespace

int32_t reduceNoiseAutoReference(const AutoDenoiseImages& images, const NoiseProfile& profile,
                                 const AutoDenoiseParams& params, const AutoDenoiseTuning& tuning) {
    if (const int32_t rc = validateAutoArguments(images, profile, params, tuning); rc != NR_OK)
        return rc;
    try {
        return denoise(images, profile, params, tuning);
    } catch (const std::bad_alloc&) {
        return NR_OUT_OF_MEMORY;
    }
}

int32_t estimateNoiseReference(const unsigned char* pixels, int32_t width, int32_t height,
                               std::ptrdiff_t stride, int32_t bytesPerPixel,
                               NoiseProfile* profile) {
    if (pixels == nullptr || profile == nullptr || width <= 0 || height <= 0 ||
        (bytesPerPixel != 3 && bytesPerPixel != 4))
        return NR_INVALID_PARAMETER;
    if (stride == -1) stride = std::ptrdiff_t(width) * bytesPerPixel;
    if (stride < std::ptrdiff_t(width) * bytesPerPixel) return NR_INVALID_PARAMETER;
    try {
        const Source src{pixels, width, height, bytesPerPixel, stride};
        const WindowGrid grid = windowGrid(width, height);
        std::vector<BlockStats> blocks;
        for (int wy = 0; wy < grid.rows; ++wy)
            for (int wx = 0; wx < grid.columns; ++wx)
                if (grid.selected(wx, wy)) measureWindow(src, wx, wy, blocks);
        *profile = profileFromBlocks(blocks);
        return NR_OK;
    } catch (const std::bad_alloc&) {
        return NR_OUT_OF_MEMORY;
    }
}

} // namespace velanox::engine
