#include "imaging/Bitmap8.h"
#include <algorithm>
#include <array>
#include <stdexcept>

namespace sf {

bool ImageSizeAllowed(int64_t width, int64_t height)
{
    return width >= 0 && height >= 0 && width <= kMaxImageSide && height <= kMaxImageSide
        && width * height <= kMaxImagePixels;
}

TBitmap8::TBitmap8(const TBitmap8& other) : Palette(other.Palette), PaletteCount(other.PaletteCount)
{
    *this = other;
}

TBitmap8& TBitmap8::operator=(const TBitmap8& other)
{
    if (this == &other)
        return *this;
    Palette = other.Palette;
    PaletteCount = other.PaletteCount;
    SetSizeForOverwrite(other.m_width, other.m_height);
    std::copy_n(other.m_pixels.get(), size_t(m_width) * size_t(m_height), m_pixels.get());
    return *this;
}

void TBitmap8::SetSizeForOverwrite(int width, int height)
{
    if (!ImageSizeAllowed(width, height))
        throw std::length_error("bitmap size out of range");
    m_pixels.reset();
    m_width = m_height = 0;
    m_pixels.reset(new uint8_t[size_t(width) * size_t(height) + 1]);
    m_width = width;
    m_height = height;
}

void TBitmap8::SetSize(int width, int height, uint8_t fill)
{
    SetSizeForOverwrite(width, height);
    std::fill_n(m_pixels.get(), size_t(width) * size_t(height), fill);
}

void TBitmap8::Clear()
{
    m_pixels.reset();
    m_width = m_height = 0;
}

void TBitmap8::FillRect(const TRect& r, uint8_t index)
{
    const int l = std::max(r.Left, 0), t = std::max(r.Top, 0);
    const int rr = std::min(r.Right, m_width), b = std::min(r.Bottom, m_height);
    for (int y = t; y < b; ++y)
        if (l < rr)
            std::fill(Row(y) + l, Row(y) + rr, index);
}

void TBitmap8::CopyRectMapped(const TBitmap8& src, const TRect& r)
{
    std::array<uint8_t, 256> map{};
    for (int i = 0; i < 256; ++i)
        map[i] = Nearest(src.Palette[i]);
    const int l = std::max(r.Left, 0), t = std::max(r.Top, 0);
    const int rr = std::min({r.Right, m_width, src.Width()});
    const int b = std::min({r.Bottom, m_height, src.Height()});
    for (int y = t; y < b; ++y) {
        const uint8_t* s = src.Row(y);
        uint8_t* d = Row(y);
        for (int x = l; x < rr; ++x)
            d[x] = map[s[x]];
    }
}

void TBitmap8::CopyMappedTo(const TBitmap8& src, int x, int y, int bottom)
{
    std::array<uint8_t, 256> map{};
    for (int i = 0; i < 256; ++i)
        map[i] = Nearest(src.Palette[i]);
    const int b = std::min({bottom, m_height, y + src.Height()});
    const int r = std::min(m_width, x + src.Width());
    for (int ty = std::max(y, 0); ty < b; ++ty) {
        const uint8_t* s = src.Row(ty - y);
        uint8_t* d = Row(ty);
        for (int tx = std::max(x, 0); tx < r; ++tx)
            d[tx] = map[s[tx - x]];
    }
}

} // namespace sf
