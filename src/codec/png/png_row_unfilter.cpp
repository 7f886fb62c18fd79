#include "codec/png/png_row_unfilter.h"

#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace velanox::codec::png {
namespace {

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

#ifdef __SSE2__
// One pixel of Bytes bytes in the low bytes of a register, and back; memcpy of a constant size
// reads and writes exactly the pixel's bytes.
template <int Bytes> __m128i loadPixel(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, Bytes);
    return _mm_cvtsi32_si128(int(v));
}

template <int Bytes> void storePixel(uint8_t* p, __m128i v) {
    const uint32_t x = uint32_t(_mm_cvtsi128_si32(v));
    std::memcpy(p, &x, Bytes);
}

// Each loop carries the pixel to the left (a) in a register: the rows are undone one pixel at a
// time, every byte of the pixel at once.
template <int Bytes> void undoSub(const uint8_t* in, std::size_t n, uint8_t* out) {
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i < n; i += Bytes) {
        a = _mm_add_epi8(a, loadPixel<Bytes>(in + i));
        storePixel<Bytes>(out + i, a);
    }
}

template <int Bytes>
void undoAverage(const uint8_t* in, const uint8_t* prior, std::size_t n, uint8_t* out) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i < n; i += Bytes) {
        const __m128i b = loadPixel<Bytes>(prior + i);
        // (a + b) / 2 rounded down: the rounded-up mean less the bit rounding added.
        const __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(loadPixel<Bytes>(in + i), mean);
        storePixel<Bytes>(out + i, a);
    }
}

template <int Bytes>
void undoPaeth(const uint8_t* in, const uint8_t* prior, std::size_t n, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    // a and c in 16-bit lanes: the pixel to the left, now and in the row above.
    __m128i a = zero, c = zero;
    auto magnitude = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
    for (std::size_t i = 0; i < n; i += Bytes) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bytes>(prior + i), zero);
        // pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|; the first of a, b, c with the smallest
        // distance is the prediction.
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = magnitude(bc), pb = magnitude(ac), pc = magnitude(_mm_add_epi16(bc, ac));
        const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i takeA = _mm_cmpeq_epi16(least, pa);
        const __m128i takeB = _mm_andnot_si128(takeA, _mm_cmpeq_epi16(least, pb));
        const __m128i takeC = _mm_andnot_si128(_mm_or_si128(takeA, takeB), _mm_set1_epi16(-1));
        const __m128i prediction =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(takeA, a), _mm_and_si128(takeB, b)),
                         _mm_and_si128(takeC, c));
        const __m128i x =
            _mm_add_epi8(loadPixel<Bytes>(in + i), _mm_packus_epi16(prediction, zero));
        storePixel<Bytes>(out + i, x);
        a = _mm_unpacklo_epi8(x, zero);
        c = b;
    }
}

template <int Bytes>
void undoPixelwise(uint8_t type, const uint8_t* in, const uint8_t* prior, std::size_t n,
                   uint8_t* out) {
    if (type == 1)
        undoSub<Bytes>(in, n, out);
    else if (type == 3)
        undoAverage<Bytes>(in, prior, n, out);
    else
        undoPaeth<Bytes>(in, prior, n, out);
}
#endif

} // namespace

bool unfilterRowPlain(uint8_t type, const uint8_t* filtered, const uint8_t* prior,
                      std::size_t rowBytes, int pixelBytes, uint8_t* out) {
    if (type > 4) return false;
    const std::size_t bpp = std::size_t(pixelBytes);
    for (std::size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= bpp ? out[i - bpp] : 0;
        const int b = prior[i];
        const int c = i >= bpp ? prior[i - bpp] : 0;
        int prediction = 0;
        switch (type) {
        case 1:
            prediction = a;
            break;
        case 2:
            prediction = b;
            break;
        case 3:
            prediction = (a + b) / 2;
            break;
        case 4:
            prediction = paethPredictor(a, b, c);
            break;
        default:
            break;
        }
        out[i] = uint8_t(filtered[i] + prediction);
    }
    return true;
}

bool unfilterRow(uint8_t type, const uint8_t* filtered, const uint8_t* prior, std::size_t rowBytes,
                 int pixelBytes, uint8_t* out) {
    switch (type) {
    case 0:
        std::memcpy(out, filtered, rowBytes);
        return true;
    case 2:
        for (std::size_t i = 0; i < rowBytes; ++i)
            out[i] = uint8_t(filtered[i] + prior[i]);
        return true;
    case 1:
    case 3:
    case 4:
        break;
    default:
        return false;
    }
#ifdef __SSE2__
    // Whole pixels only: a row of 3- or 4-byte pixels always is one.
    if (pixelBytes == 3 && rowBytes % 3 == 0) {
        undoPixelwise<3>(type, filtered, prior, rowBytes, out);
        return true;
    }
    if (pixelBytes == 4 && rowBytes % 4 == 0) {
        undoPixelwise<4>(type, filtered, prior, rowBytes, out);
        return true;
    }
#endif
    return unfilterRowPlain(type, filtered, prior, rowBytes, pixelBytes, out);
}

} // namespace velanox::codec::png
