// An 8-bit indexed bitmap: width, height, a 256-entry palette and one byte per pixel.
#pragma once
#include "imaging/Palette.h"
#include <cstddef>
#include <cstdint>
#include <memory>

namespace sf {

/// Largest picture the loaders accept: per side and in all.
constexpr int64_t kMaxImageSide = 20000;
constexpr int64_t kMaxImagePixels = 200000000;
/// True when width x height is within the loaders' limits (and positive or zero).
bool ImageSizeAllowed(int64_t width, int64_t height);

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0; ///< right and bottom exclusive
};

class TBitmap8 {
public:
    TBitmap8() = default;
    TBitmap8(const TBitmap8& other);
    TBitmap8& operator=(const TBitmap8& other);
    TBitmap8(TBitmap8&&) noexcept = default;
    TBitmap8& operator=(TBitmap8&&) noexcept = default;
    /// Sizes the bitmap (pixels set to index fill); throws std::length_error past the limits.
    void SetSize(int width, int height, uint8_t fill = 0);
    /// Sizes the bitmap leaving the pixels unset, for a caller that writes every one.
    void SetSizeForOverwrite(int width, int height);
    /// Back to 0 x 0, memory released.
    void Clear();
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    uint8_t* Row(int y) { return m_pixels.get() + std::size_t(y) * std::size_t(m_width); }
    const uint8_t* Row(int y) const { return m_pixels.get() + std::size_t(y) * std::size_t(m_width); }
    uint8_t Pixel(int x, int y) const { return Row(y)[x]; }
    TRgb PixelColour(int x, int y) const { return Palette[Pixel(x, y)]; }

    /// Nearest entry among the first PaletteCount palette entries.
    uint8_t Nearest(TRgb colour) const { return NearestIndex(Palette.data(), PaletteCount, colour); }
    /// Fills the rectangle (clipped) with one index.
    void FillRect(const TRect& r, uint8_t index);
    /// Copies the rectangle r of src onto the same rectangle of this bitmap, each source
    /// colour mapped to the nearest colour of this palette; clipped to both, nothing transparent.
    void CopyRectMapped(const TBitmap8& src, const TRect& r);
    /// Copies the whole of src with its top-left corner at (x, y), colours mapped as
    /// CopyRectMapped does; clipped to this bitmap and above row bottom.
    void CopyMappedTo(const TBitmap8& src, int x, int y, int bottom);

    TPalette Palette{};
    int PaletteCount = 256; ///< entries in use (a GIF's colour table may be smaller)

private:
    int m_width = 0, m_height = 0;
    std::unique_ptr<uint8_t[]> m_pixels;
};

} // namespace sf
