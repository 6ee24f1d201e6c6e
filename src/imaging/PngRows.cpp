#include "imaging/PngRows.h"
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sf {

namespace {

// A pixel of N bytes as one word; N is a constant so the copies become plain moves.
template <unsigned N>
uint32_t Load(const uint8_t* p)
{
    uint32_t v = 0;
    std::memcpy(&v, p, N);
    return v;
}

template <unsigned N>
void Store(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, N);
}

/// Four byte-wise sums modulo 256 in one word.
uint32_t AddBytes(uint32_t x, uint32_t y)
{
    return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}

/// Four byte-wise floor averages in one word.
uint32_t AverageBytes(uint32_t x, uint32_t y)
{
    return (x & y) + (((x ^ y) & 0xFEFEFEFEu) >> 1);
}

uint8_t Paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// Sub, Average and Paeth depend on the pixel to the left, so a row is a chain of pixels;
// pixels of 3 and 4 bytes go a whole pixel a step.
template <unsigned N>
void UnSubWide(uint8_t* row, size_t n)
{
    uint32_t left = 0;
    for (size_t i = 0; i + N <= n; i += N) {
        left = AddBytes(Load<N>(row + i), left);
        Store<N>(row + i, left);
    }
}

void UnSub(uint8_t* row, size_t n, unsigned bpp)
{
    if (bpp == 4)
        return UnSubWide<4>(row, n);
    if (bpp == 3)
        return UnSubWide<3>(row, n);
    for (size_t i = bpp; i < n; ++i)
        row[i] = uint8_t(row[i] + row[i - bpp]);
}

void UnUp(uint8_t* __restrict row, const uint8_t* __restrict prior, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        row[i] = uint8_t(row[i] + prior[i]);
}

template <unsigned N>
void UnAverageWide(uint8_t* row, const uint8_t* prior, size_t n)
{
    uint32_t left = 0;
    for (size_t i = 0; i + N <= n; i += N) {
        left = AddBytes(Load<N>(row + i), AverageBytes(left, Load<N>(prior + i)));
        Store<N>(row + i, left);
    }
}

void UnAverage(uint8_t* row, const uint8_t* prior, size_t n, unsigned bpp)
{
    if (bpp == 4)
        return UnAverageWide<4>(row, prior, n);
    if (bpp == 3)
        return UnAverageWide<3>(row, prior, n);
    for (size_t i = 0; i < n; ++i)
        row[i] = uint8_t(row[i] + ((i >= bpp ? row[i - bpp] : 0) + prior[i]) / 2);
}

#if defined(__SSE2__)
/// Paeth a pixel a step in 16-bit lanes: the three distances, their minimum, and the
/// predictor chosen with libpng's order of preference (left, then up, then up-left).
template <unsigned N>
void UnPaethWide(uint8_t* row, const uint8_t* prior, size_t n)
{
    const __m128i zero = _mm_setzero_si128();
    const auto widen = [&](uint32_t v) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), zero); };
    const auto abs16 = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
    __m128i a = zero, c = zero;
    for (size_t i = 0; i + N <= n; i += N) {
        // Where the row above repeats its left neighbour and nothing is added, Paeth
        // predicts the left pixel: a run of one colour (most of a mosaic) is copied four
        // pixels at a time, off the chain of dependent steps below.
        if (N == 4 && i >= 4 && i + 16 <= n) {
            const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
            const __m128i aboveLeft = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i - 4));
            const __m128i added = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            const __m128i same = _mm_and_si128(_mm_cmpeq_epi8(above, aboveLeft), _mm_cmpeq_epi8(added, zero));
            if (_mm_movemask_epi8(same) == 0xFFFF) {
                const __m128i left = _mm_packus_epi16(a, a);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_shuffle_epi32(left, 0));
                c = widen(Load<N>(prior + i + 12));
                i += 12;
                continue;
            }
        }
        const __m128i b = widen(Load<N>(prior + i));
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
        const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
        const __m128i takeA = _mm_cmpeq_epi16(least, pa), takeB = _mm_cmpeq_epi16(least, pb);
        const __m128i bOrC = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, c));
        const __m128i guess = _mm_or_si128(_mm_and_si128(takeA, a), _mm_andnot_si128(takeA, bOrC));
        const __m128i sum = _mm_add_epi8(_mm_cvtsi32_si128(int(Load<N>(row + i))), _mm_packus_epi16(guess, guess));
        Store<N>(row + i, uint32_t(_mm_cvtsi128_si32(sum)));
        a = _mm_unpacklo_epi8(sum, zero);
        c = b;
    }
}
#endif

void UnPaeth(uint8_t* row, const uint8_t* prior, size_t n, unsigned bpp)
{
#if defined(__SSE2__)
    if (bpp == 4)
        return UnPaethWide<4>(row, prior, n);
    if (bpp == 3)
        return UnPaethWide<3>(row, prior, n);
#endif
    for (size_t i = 0; i < n; ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, c = i >= bpp ? prior[i - bpp] : 0;
        row[i] = uint8_t(row[i] + Paeth(a, prior[i], c));
    }
}

} // namespace

bool UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t rowBytes, unsigned bpp)
{
    switch (filter) {
    case 0: return true;
    case 1: UnSub(row, rowBytes, bpp); return true;
    case 2: UnUp(row, prior, rowBytes); return true;
    case 3: UnAverage(row, prior, rowBytes, bpp); return true;
    case 4: UnPaeth(row, prior, rowBytes, bpp); return true;
    default: return false;
    }
}

unsigned PngBytesPerPixel(int colorType)
{
    switch (colorType) {
    case 0: case 3: return 1;
    case 4: return 2;
    case 2: return 3;
    case 6: return 4;
    default: return 0;
    }
}

void ExpandPngRow(const TPngExpand& how, const uint8_t* row, uint8_t* rgba, size_t width)
{
    switch (how.ColorType) {
    case 6:
        std::memcpy(rgba, row, width * 4);
        break;
    case 3:
        for (size_t i = 0; i < width; ++i)
            std::memcpy(rgba + 4 * i, how.Palette[row[i]], 4);
        break;
    case 2:
        for (size_t i = 0; i < width; ++i, row += 3, rgba += 4) {
            rgba[0] = row[0], rgba[1] = row[1], rgba[2] = row[2];
            const bool key = how.HasKey && row[0] == how.KeyR && row[1] == how.KeyG && row[2] == how.KeyB;
            rgba[3] = key ? 0 : 255;
        }
        break;
    case 4:
        for (size_t i = 0; i < width; ++i, row += 2, rgba += 4)
            rgba[0] = rgba[1] = rgba[2] = row[0], rgba[3] = row[1];
        break;
    default: // grey
        for (size_t i = 0; i < width; ++i, rgba += 4) {
            rgba[0] = rgba[1] = rgba[2] = row[i];
            rgba[3] = how.HasKey && row[i] == how.KeyGrey ? 0 : 255;
        }
        break;
    }
}

} // namespace sf
