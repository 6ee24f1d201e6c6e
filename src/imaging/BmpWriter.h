// 8-bit palettised BMP files: BITMAPFILEHEADER, 40-byte BITMAPINFOHEADER, 256 palette
// entries, bottom-up rows padded to 4 bytes, every field written little-endian.
#pragma once
#include "imaging/Bitmap8.h"
#include <string>

namespace sf {

/// The whole BMP file as bytes (for small pictures and tests).
std::string EncodeBmp8(const TBitmap8& bmp);
/// Streams the BMP into a temporary file beside path, then renames it into place
/// (a name differing only in case is replaced). False with error on any failure.
bool SaveBmp8(const std::string& path, const TBitmap8& bmp, std::string& error);
/// Writes bytes to path through a temporary file (a case-variant of path is replaced).
bool SaveBytes(const std::string& path, const std::string& bytes, std::string& error);

} // namespace sf
