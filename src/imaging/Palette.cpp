#include "imaging/Palette.h"
#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

namespace sf {

namespace {

TPalette BuildHalftone()
{
    TPalette p{};
    static const TRgb first[10] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128},
        {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
    static const TRgb last[10] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
        {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    int i = 0;
    for (const TRgb& c : first)
        p[i++] = c;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p[i++] = TRgb{uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)};
    for (int k = 0; k < 20; ++k) {
        const uint8_t v = uint8_t(8 + k * 12);
        p[i++] = TRgb{v, v, v};
    }
    for (const TRgb& c : last)
        p[i++] = c;
    return p;
}

inline int Dist(TRgb a, TRgb b)
{
    const int dr = int(a.R) - b.R, dg = int(a.G) - b.G, db = int(a.B) - b.B;
    return dr * dr + dg * dg + db * db;
}

// Smallest and largest squared distance from value v to the interval [lo, hi].
inline void AxisRange(int v, int lo, int hi, int& dmin, int& dmax)
{
    const int near = v < lo ? lo - v : (v > hi ? v - hi : 0);
    const int far = std::max(std::abs(v - lo), std::abs(v - hi));
    dmin = near * near;
    dmax = far * far;
}

} // namespace

const TPalette& HalftonePalette()
{
    static const TPalette palette = BuildHalftone();
    return palette;
}

uint8_t NearestIndex(const TRgb* palette, int count, TRgb colour)
{
    int best = 0, bestDist = INT_MAX;
    for (int i = 0; i < count; ++i) {
        const int d = Dist(palette[i], colour);
        if (d < bestDist) {
            bestDist = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return uint8_t(best);
}

THalftoneMapper::THalftoneMapper() : m_cells(32768), m_cache(kCacheSize)
{
    const TPalette& pal = HalftonePalette();
    // Per entry and per cell of each axis: smallest and largest squared distance.
    std::vector<std::array<int, 32>> minR(256), maxR(256), minG(256), maxG(256), minB(256), maxB(256);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 32; ++c) {
            AxisRange(pal[i].R, c * 8, c * 8 + 7, minR[i][c], maxR[i][c]);
            AxisRange(pal[i].G, c * 8, c * 8 + 7, minG[i][c], maxG[i][c]);
            AxisRange(pal[i].B, c * 8, c * 8 + 7, minB[i][c], maxB[i][c]);
        }
    std::vector<int> dmin(256);
    m_candidates.reserve(32768 * 4);
    for (int cr = 0; cr < 32; ++cr)
        for (int cg = 0; cg < 32; ++cg)
            for (int cb = 0; cb < 32; ++cb) {
                // An entry can be nearest for some colour of the cell only when its
                // smallest distance to the cell does not exceed the best largest distance.
                int bound = INT_MAX;
                for (int i = 0; i < 256; ++i) {
                    dmin[i] = minR[i][cr] + minG[i][cg] + minB[i][cb];
                    bound = std::min(bound, maxR[i][cr] + maxG[i][cg] + maxB[i][cb]);
                }
                TCell& cell = m_cells[(cr << 10) | (cg << 5) | cb];
                cell.First = uint32_t(m_candidates.size());
                for (int i = 0; i < 256; ++i)
                    if (dmin[i] <= bound)
                        m_candidates.push_back(uint8_t(i));
                cell.Count = uint32_t(m_candidates.size() - cell.First);
            }
}

uint8_t THalftoneMapper::Lookup(uint8_t r, uint8_t g, uint8_t b) const
{
    const TCell& cell = m_cells[((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)];
    const TPalette& pal = HalftonePalette();
    const TRgb c{r, g, b};
    int best = m_candidates[cell.First], bestDist = INT_MAX;
    for (uint32_t k = 0; k < cell.Count; ++k) {
        const int i = m_candidates[cell.First + k];
        const int d = Dist(pal[i], c);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return uint8_t(best);
}

} // namespace sf
