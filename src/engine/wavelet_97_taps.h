// The 9/7 biorthogonal (Cohen-Daubechies-Feauveau) filter bank, the pair used by the irreversible
// transform of JPEG 2000. Tap j runs left to right; the centre is tap 4 of nine, tap 3 of seven.
#pragma once

namespace velanox::engine::wavelet97 {

/// Samples added on each side of a line before convolving.
inline constexpr int kExtension = 9;

/// Analysis low-pass h (9 taps) and high-pass g (7 taps); synthesis low-pass f (7 taps) and
/// high-pass s (9 taps). Both low-pass filters sum to sqrt(2). The six-digit tables are kept as
/// published: synthesis reproduces the analysed line to about 0.0002.
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
inline int reflectIndex(int i, int n, bool wholeAtStart, bool wholeAtEnd) {
    if (n <= 1) return 0;
    while (i < 0 || i >= n) {
        if (i < 0) i = wholeAtStart ? -i : -1 - i;
        if (i >= n) i = wholeAtEnd ? 2 * (n - 1) - i : 2 * n - 1 - i;
    }
    return i;
}

} // namespace velanox::engine::wavelet97
