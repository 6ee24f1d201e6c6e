// The per-row work of decoding an 8-bit PNG that we do ourselves rather than leave to
// libpng: undoing a row's filter, and widening its samples to RGBA. Pure functions.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sf {

/// Reverses the filter of one row in place. filter is the row's filter-type byte; row
/// and prior hold rowBytes bytes (prior all zero for a picture's first row); bpp is the
/// bytes a pixel (1 to 4). False for a filter type other than 0 to 4.
bool UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t rowBytes, unsigned bpp);

/// How the 8-bit samples of one colour type become RGBA, as libpng's expansion does it.
struct TPngExpand {
    int ColorType = 6;           ///< PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    uint8_t Palette[256][4] = {}; ///< palette entries with their alpha; missing entries opaque black
    bool HasKey = false;         ///< grey and RGB: a tRNS colour that becomes transparent
    uint8_t KeyGrey = 0, KeyR = 0, KeyG = 0, KeyB = 0;
};

/// Bytes a pixel of colour type at 8 bits; 0 for a type PNG does not define.
unsigned PngBytesPerPixel(int colorType);

/// Widens width pixels of an unfiltered row into rgba (width * 4 bytes).
void ExpandPngRow(const TPngExpand& how, const uint8_t* row, uint8_t* rgba, size_t width);

} // namespace sf
