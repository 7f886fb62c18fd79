#include "engine/reference/wavelet_97.h"

#include <algorithm>

namespace velanox::engine::wavelet97 {

namespace {

// Fills ext[0 .. count + 2 * kExtension) with src[0 .. count) extended on both sides.
void extend(const double* src, int count, double* ext, bool wholeAtStart, bool wholeAtEnd) {
    for (int i = -kExtension; i < count + kExtension; ++i)
        ext[i + kExtension] = src[reflectIndex(i, count, wholeAtStart, wholeAtEnd)];
}

} // namespace

void analyseLine(const double* x, int n, double* out, double* ext) {
    if (n < 2) {
        if (n == 1) out[0] = x[0];
        return;
    }
    extend(x, n, ext, true, true);
    const double* e = ext + kExtension; // e[i] is x[i] extended, for i in -9 .. n+8
    const int nL = (n + 1) / 2;
    const int nH = n / 2;
    for (int k = 0; k < nL; ++k) {
        double sum = 0.0;
        for (int j = 0; j < 9; ++j)
            sum += kAnalysisLow[j] * e[2 * k + j - 4];
        out[k] = sum;
    }
    for (int k = 0; k < nH; ++k) {
        double sum = 0.0;
        for (int j = 0; j < 7; ++j)
            sum += kAnalysisHigh[j] * e[2 * k + j - 2];
        out[nL + k] = sum;
    }
}

void synthesiseLine(const double* c, int n, double* y, double* lowExt, double* highExt) {
    if (n < 2) {
        if (n == 1) y[0] = c[0];
        return;
    }
    const int nL = (n + 1) / 2;
    const int nH = n / 2;
    const bool odd = (n & 1) != 0;
    // The low band ends whole-sample symmetric for odd lines, half-sample for even ones; the
    // high band starts half-sample symmetric and ends the other way round.
    extend(c, nL, lowExt, true, odd);
    extend(c + nL, nH, highExt, false, !odd);
    const double* L = lowExt + kExtension;
    const double* H = highExt + kExtension;
    for (int m = 0; m < n; ++m) {
        double sum = 0.0;
        // L[i] contributes to y[2i-3 .. 2i+3] through f[m - 2i + 3].
        for (int i = (m - 2) >> 1; i <= (m + 3) >> 1; ++i)
            sum += kSynthesisLow[m - 2 * i + 3] * L[i];
        // H[i] contributes to y[2i-3 .. 2i+5] through s[m - 2i + 3].
        for (int i = (m - 4) >> 1; i <= (m + 3) >> 1; ++i)
            sum += kSynthesisHigh[m - 2 * i + 3] * H[i];
        y[m] = sum;
    }
}

void forwardLevel(double* plane, std::size_t planeStride, int w, int h, double* line, double* ext) {
    for (int row = 0; row < h; ++row) {
        double* p = plane + std::size_t(row) * planeStride;
        std::copy(p, p + w, line);
        analyseLine(line, w, p, ext);
    }
    for (int col = 0; col < w; ++col) {
        for (int row = 0; row < h; ++row)
            line[row] = plane[std::size_t(row) * planeStride + col];
        analyseLine(line, h, line, ext);
        for (int row = 0; row < h; ++row)
            plane[std::size_t(row) * planeStride + col] = line[row];
    }
}

void inverseLevel(double* plane, std::size_t planeStride, int w, int h, double* line,
                  double* lowExt, double* highExt) {
    for (int col = 0; col < w; ++col) {
        for (int row = 0; row < h; ++row)
            line[row] = plane[std::size_t(row) * planeStride + col];
        synthesiseLine(line, h, line, lowExt, highExt);
        for (int row = 0; row < h; ++row)
            plane[std::size_t(row) * planeStride + col] = line[row];
    }
    for (int row = 0; row < h; ++row) {
        double* p = plane + std::size_t(row) * planeStride;
        std::copy(p, p + w, line);
        synthesiseLine(line, w, p, lowExt, highExt);
    }
}

} // namespace velanox::engine::wavelet97
