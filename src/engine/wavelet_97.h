// The 9/7 biorthogonal (Cohen-Daubechies-Feauveau) filter bank applied by direct convolution with
// symmetric extension: one-dimensional analysis and synthesis, and one level of the separable
// two-dimensional transform over the top-left region of a row-major plane of doubles.
//
// These are the plain loops; the run's bookkeeping (progress, sizes, allocation) lives in
// WaveletFilter so that a faster schedule can replace the loops and be tested against them.
#pragma once

#include <cstddef>

namespace velanox::engine::wavelet97 {

/// Samples added on each side of a line before convolving.
inline constexpr int kExtension = 9;

/// Analysis low-pass h (9 taps, centre 4) and high-pass g (7 taps, centre 3); synthesis
/// low-pass f (7 taps, centre 3) and high-pass s (9 taps, centre 4). The six-digit tables are
/// kept as published: synthesis reproduces the analysed line to about 0.0002.
inline constexpr double kAnalysisLow[9] = {
    0.037828455506995, -0.02384946501938,  -0.110624404418423, 0.377402855612654, 0.852698679009403,
    0.377402855612654, -0.110624404418423, -0.02384946501938,  0.037828455506995};
inline constexpr double kAnalysisHigh[7] = {-0.0645389, 0.0406894, 0.418092,  -0.788486,
                                            0.418092,   0.0406894, -0.0645389};
inline constexpr double kSynthesisLow[7] = {
    -0.064538882628938, -0.040689417609558, 0.418092273222212, 0.788485616405664,
    0.418092273222212,  -0.040689417609558, -0.064538882628938};
inline constexpr double kSynthesisHigh[9] = {-0.0378285, -0.0238495, 0.110624,
                                             0.377403,   -0.852699,  0.377403,
                                             0.110624,   -0.0238495, -0.0378285};

/// Symmetric extension of a line of n samples: index i (any integer) mapped into 0..n-1.
/// Whole-sample symmetry repeats no sample at that end (x[-1] = x[1]); half-sample symmetry
/// repeats the edge sample (x[-1] = x[0]). Beyond the mirrored range the line reflects again,
/// which is periodic extension with the period of the symmetric extension.
int reflectIndex(int i, int n, bool wholeAtStart, bool wholeAtEnd);

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
