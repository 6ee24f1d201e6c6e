// Text in a named font at a size in points (96 dpi), rasterised by FreeType without
// anti-aliasing, drawn opaque onto an indexed bitmap, with measuring.
#pragma once
#include "imaging/Bitmap8.h"
#include <memory>
#include <string>

namespace sf {

/// File of the font fontconfig chooses for a family name ("Arial" -> Liberation Sans); empty when none.
std::string ResolveFontFile(const std::string& family);

class TFont {
public:
    /// Opens the font; Ok() tells whether it could be loaded, Error() why not.
    TFont(const std::string& family, int points);
    ~TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    bool Ok() const;
    const std::string& Error() const { return m_error; }
    /// Sum of the characters' advances in pixels.
    int TextWidth(const std::string& text);
    /// Height of a text line (ascent + descent) in pixels.
    int TextHeight(const std::string& text);
    /// Draws text with its cell's top-left at (x, y): the cell (width x height) is filled
    /// with bg, the glyphs' set pixels get fg; clipped to the bitmap only. Throws when the font is unusable.
    void TextOut(TBitmap8& bmp, int x, int y, const std::string& text, uint8_t fg, uint8_t bg);

private:
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
    std::string m_error;
};

} // namespace sf
