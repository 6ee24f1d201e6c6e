// GIF decoding and native re-encoding through giflib, on byte buffers; the image data
// of a frame is decoded here (GifLzw).
#pragma once
#include "imaging/Bitmap8.h"
#include <string>
#include <vector>

namespace sf {

struct TGifFrame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Interlace = false;
    std::vector<TRgb> LocalMap;   ///< empty when the frame uses the global table
    bool HasControl = false;      ///< a graphics control block precedes the frame
    int DisposalMode = 0, DelayTime = 0, TransparentColor = -1;
    bool UserInput = false;
    std::vector<uint8_t> Pixels;  ///< Width x Height indices, rows top to bottom
};

struct TGifImage {
    int ScreenWidth = 0, ScreenHeight = 0;
    int ColorResolution = 8;
    int BackgroundColor = 0;
    int AspectByte = 0;
    std::vector<TRgb> GlobalMap;  ///< empty when the file has no global table
    std::vector<TGifFrame> Frames;
    /// The colour table of the first frame (its local one, else the global one).
    const std::vector<TRgb>& FirstColourTable() const;
    /// The transparent index of the first frame, -1 when none.
    int TransparentIndex() const;
};

/// Who turns a frame's image data into rows: our decoding, or giflib's line by line (the
/// reference the first is held to: the same pixels and the same ends on any input).
enum class TGifRows { Fastest, Libgif };

/// Decodes every frame of a GIF. Refuses screens or frames beyond the size limits before
/// allocating. A file that ends without its trailer after a complete frame is accepted.
bool DecodeGif(const std::string& bytes, TGifImage& out, std::string& error, TGifRows rows = TGifRows::Fastest);
/// Reads and decodes a GIF file.
bool LoadGifFile(const std::string& path, TGifImage& out, std::string& error);
/// 8-bit rendering of the first frame: logical screen in the background index, the frame
/// drawn at its offset (clipped), palette = the frame's colour table.
TBitmap8 RenderFirstFrame(const TGifImage& gif);
/// Re-encodes the decoded frames and colour tables unchanged.
bool EncodeGif(const TGifImage& gif, std::string& bytes, std::string& error);
/// An 8-bit bitmap (its first paletteCount colours, rounded up to a power of two) as a
/// one-frame GIF; transparent < 0 for none.
bool EncodeBitmapGif(const TBitmap8& bmp, int paletteCount, int transparent, std::string& bytes, std::string& error);

} // namespace sf
