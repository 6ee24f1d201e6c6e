// The fixed 256-colour halftone palette and nearest-colour mapping (no dithering).
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace sf {

struct TRgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRgb&) const = default;
};

using TPalette = std::array<TRgb, 256>;

/// The halftone palette: the 20 static system colours, a 6x6x6 cube and 20 greys.
/// Index 0 is pure black and index 255 pure white.
const TPalette& HalftonePalette();

/// Exact nearest entry of the first count entries (squared RGB distance, lowest index on ties).
uint8_t NearestIndex(const TRgb* palette, int count, TRgb colour);

/// Nearest-colour mapping into the halftone palette: a 32x32x32 cube of candidate
/// lists refined to the exact nearest entry, with a small cache of recent colours.
class THalftoneMapper {
public:
    THalftoneMapper();
    uint8_t Map(uint8_t r, uint8_t g, uint8_t b)
    {
        const uint32_t key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
        TCacheSlot& slot = m_cache[(key ^ (key >> 11) ^ (key >> 17)) & (kCacheSize - 1)];
        if (slot.Key == key)
            return slot.Index;
        slot.Key = key;
        slot.Index = Lookup(r, g, b);
        return slot.Index;
    }

private:
    uint8_t Lookup(uint8_t r, uint8_t g, uint8_t b) const;
    static constexpr uint32_t kCacheSize = 4096;
    struct TCacheSlot {
        uint32_t Key = 0xFFFFFFFFu;
        uint8_t Index = 0;
    };
    struct TCell {
        uint32_t First = 0; ///< into m_candidates
        uint32_t Count = 0;
    };
    std::vector<TCell> m_cells;          ///< 32768 cells
    std::vector<uint8_t> m_candidates;
    std::vector<TCacheSlot> m_cache;
};

} // namespace sf
