// The straightforward 9/7 transform, one line at a time: direct convolution with symmetric
// extension, one-dimensional analysis and synthesis, and one level of the separable
// two-dimensional transform over the top-left region of a row-major plane of doubles.
// The shipped kernels (engine/wavelet_97_fast.cpp) are tested against these.
#pragma once

#include "engine/wavelet_97_taps.h"

#include <cstddef>

namespace velanox::engine::wavelet97 {

/// Scratch a line of n samples needs: n + 2 * kExtension doubles.
inline std::size_t scratchSize(int n) {
    return std::size_t(n) + 2 * kExtension;
}

/// One-dimensional analysis of x[0..n-1] into ceil(n/2) low-pass samples followed by
/// floor(n/2) high-pass samples. x and out may be the same array. ext holds scratchSize(n).
void analyseLine(const double* x, int n, double* out, double* ext);

/// One-dimensional synthesis of c[0..n-1] (low band then high band) back into y[0..n-1].
/// c and y may be the same array. lowExt and highExt hold scratchSize((n + 1) / 2) each.
void synthesiseLine(const double* c, int n, double* y, double* lowExt, double* highExt);

/// One forward level over the top-left w x h region of a plane with row stride planeStride:
/// every row, then every column. line and ext hold scratchSize(max(w, h)) each.
void forwardLevel(double* plane, std::size_t planeStride, int w, int h, double* line, double* ext);

/// One inverse level over the top-left w x h region: every column, then every row.
/// line holds scratchSize(max(w, h)); lowExt and highExt scratchSize((max(w, h) + 1) / 2).
void inverseLevel(double* plane, std::size_t planeStride, int w, int h, double* line,
                  double* lowExt, double* highExt);

} // namespace velanox::engine::wavelet97
