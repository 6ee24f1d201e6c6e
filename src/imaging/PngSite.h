// Site images of the iem layout arrive as PNG (palette with transparency, or RGBA).
// They are decoded into the same one-frame, at most 256-colour picture a GIF site
// image gives, so the site conversion treats both alike.
#pragma once
#include "imaging/GifCodec.h"
#include <string>

namespace sf {

/// Decodes a PNG into one frame at (0,0): transparent parts composited onto white; up to
/// 256 distinct colours kept exactly (in order of first appearance), more mapped to the
/// halftone palette; white and black are added when missing and there is room (for the
/// caption). No transparent index. False with error on failure.
bool LoadPngSiteImage(const std::string& path, TGifImage& out, std::string& error);
/// The raw site image at path: a PNG when the name ends in ".png" (any case), else a GIF.
bool LoadSiteImage(const std::string& path, TGifImage& out, std::string& error);
/// An 8-bit bitmap as an 8-bit palette PNG of its first paletteCount colours, index
/// transparent (< 0: none) marked in a tRNS chunk, as the iem layout serves sites. Empty on failure.
std::string EncodePalettePng(const TBitmap8& bmp, int paletteCount, int transparent);

} // namespace sf
