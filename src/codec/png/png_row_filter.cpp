#include "codec/png/png_row_filter.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace velanox::codec::png {
namespace {

constexpr std::size_t kPixel = 3;

// The predictions, from the byte to the left (a), above (b) and above-left (c); the first pixel
// of a row has zeros for a and c.
struct Sub {
    static uint8_t predict(int a, int, int) { return uint8_t(a); }
};
struct Up {
    static uint8_t predict(int, int b, int) { return uint8_t(b); }
};
struct Average {
    static uint8_t predict(int a, int b, int) { return uint8_t((a + b) >> 1); }
};
struct Paeth {
    static uint8_t predict(int a, int b, int c) {
        const int pa = b > c ? b - c : c - b;
        const int pb = a > c ? a - c : c - a;
        const int abc = a + b - 2 * c;
        const int pc = abc < 0 ? -abc : abc;
        if (pa <= pb && pa <= pc) return uint8_t(a);
        return uint8_t(pb <= pc ? b : c);
    }
};

// The cost of a filtered byte: its magnitude as a signed value.
inline uint32_t magnitude(uint8_t v) {
    return v < 128 ? v : 256u - v;
}

// Each loop reads only the unfiltered rows, so the compiler can run it over whole vectors.
template <class Filter> uint32_t cost(const uint8_t* row, const uint8_t* prior, std::size_t n) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < kPixel && i < n; ++i)
        sum += magnitude(uint8_t(row[i] - Filter::predict(0, prior[i], 0)));
    for (std::size_t i = kPixel; i < n; ++i)
        sum += magnitude(
            uint8_t(row[i] - Filter::predict(row[i - kPixel], prior[i], prior[i - kPixel])));
    return sum;
}

template <class Filter>
void apply(const uint8_t* row, const uint8_t* prior, std::size_t n, uint8_t* out) {
    for (std::size_t i = 0; i < kPixel && i < n; ++i)
        out[i] = uint8_t(row[i] - Filter::predict(0, prior[i], 0));
    for (std::size_t i = kPixel; i < n; ++i)
        out[i] = uint8_t(row[i] - Filter::predict(row[i - kPixel], prior[i], prior[i - kPixel]));
}

#ifdef __SSE2__
// The costs of the five filters in one pass over the rows, 16 bytes at a time from the second
// pixel on (the first and the last few bytes as single bytes).
void filterCosts(const uint8_t* row, const uint8_t* prior, std::size_t n, uint32_t out[5]) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    __m128i sums[5] = {zero, zero, zero, zero, zero};
    // Magnitudes of 16 signed bytes, added in pairs of 8 into the two 64-bit halves of sum.
    auto add = [&](__m128i& sum, __m128i v) {
        const __m128i m = _mm_min_epu8(v, _mm_sub_epi8(zero, v));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(m, zero));
    };
    std::size_t i = kPixel;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i - kPixel));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i - kPixel));
        add(sums[0], x);
        add(sums[1], _mm_sub_epi8(x, a));
        add(sums[2], _mm_sub_epi8(x, b));
        // The rounded-up mean of a and b, less the bit rounding added.
        const __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        add(sums[3], _mm_sub_epi8(x, mean));
        // Paeth in 16 bits: pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|; the first of a, b, c
        // with the smallest distance wins.
        __m128i predictions[2];
        for (int half = 0; half < 2; ++half) {
            const __m128i a16 = half ? _mm_unpackhi_epi8(a, zero) : _mm_unpacklo_epi8(a, zero);
            const __m128i b16 = half ? _mm_unpackhi_epi8(b, zero) : _mm_unpacklo_epi8(b, zero);
            const __m128i c16 = half ? _mm_unpackhi_epi8(c, zero) : _mm_unpacklo_epi8(c, zero);
            const __m128i bc = _mm_sub_epi16(b16, c16);
            const __m128i ac = _mm_sub_epi16(a16, c16);
            const __m128i abc = _mm_add_epi16(bc, ac);
            const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(_mm_setzero_si128(), bc));
            const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(_mm_setzero_si128(), ac));
            const __m128i pc = _mm_max_epi16(abc, _mm_sub_epi16(_mm_setzero_si128(), abc));
            const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
            const __m128i takeA = _mm_cmpeq_epi16(least, pa);
            const __m128i takeB = _mm_andnot_si128(takeA, _mm_cmpeq_epi16(least, pb));
            const __m128i takeC = _mm_andnot_si128(_mm_or_si128(takeA, takeB), _mm_set1_epi16(-1));
            predictions[half] =
                _mm_or_si128(_mm_or_si128(_mm_and_si128(takeA, a16), _mm_and_si128(takeB, b16)),
                             _mm_and_si128(takeC, c16));
        }
        add(sums[4], _mm_sub_epi8(x, _mm_packus_epi16(predictions[0], predictions[1])));
    }
    for (int f = 0; f < 5; ++f)
        out[f] = uint32_t(_mm_cvtsi128_si32(sums[f]) +
                          _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums[f], sums[f])));
    auto single = [&](std::size_t j, int a, int b, int c) {
        const int x = row[j];
        out[0] += magnitude(uint8_t(x));
        out[1] += magnitude(uint8_t(x - Sub::predict(a, b, c)));
        out[2] += magnitude(uint8_t(x - Up::predict(a, b, c)));
        out[3] += magnitude(uint8_t(x - Average::predict(a, b, c)));
        out[4] += magnitude(uint8_t(x - Paeth::predict(a, b, c)));
    };
    for (std::size_t j = 0; j < kPixel && j < n; ++j)
        single(j, 0, prior[j], 0);
    for (; i < n; ++i)
        single(i, row[i - kPixel], prior[i], prior[i - kPixel]);
}
#else
void filterCosts(const uint8_t* row, const uint8_t* prior, std::size_t n, uint32_t out[5]) {
    uint32_t none = 0;
    for (std::size_t i = 0; i < n; ++i)
        none += magnitude(row[i]);
    out[0] = none;
    out[1] = cost<Sub>(row, prior, n);
    out[2] = cost<Up>(row, prior, n);
    out[3] = cost<Average>(row, prior, n);
    out[4] = cost<Paeth>(row, prior, n);
}
#endif

} // namespace

uint8_t filterRgbRow(const uint8_t* row, const uint8_t* prior, std::size_t rowBytes, uint8_t* out) {
    // Sums stay below 2^32 for rows up to 33 million bytes, past any width a picture may have.
    uint32_t costs[5];
    filterCosts(row, prior, rowBytes, costs);
    uint8_t best = 0;
    for (uint8_t type = 1; type < 5; ++type)
        if (costs[type] < costs[best]) best = type;
    out[0] = best;
    uint8_t* filtered = out + 1;
    switch (best) {
    case 0:
        std::memcpy(filtered, row, rowBytes);
        break;
    case 1:
        apply<Sub>(row, prior, rowBytes, filtered);
        break;
    case 2:
        apply<Up>(row, prior, rowBytes, filtered);
        break;
    case 3:
        apply<Average>(row, prior, rowBytes, filtered);
        break;
    default:
        apply<Paeth>(row, prior, rowBytes, filtered);
        break;
    }
    return best;
}

} // namespace velanox::codec::png
