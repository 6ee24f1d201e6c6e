#include "imaging/GifCodec.h"
#include "imaging/GifLzw.h"
#include "core/Files.h"
#include <cerrno>
#include <gif_lib.h>
#include <algorithm>
#include <cstring>
#include <memory>

namespace sf {

namespace {

constexpr int64_t kGifMaxPixelsPerByte = 2731;


struct TMemReader {
    const unsigned char* Data;
    size_t Size, Pos;
};

int ReadMem(GifFileType* gif, GifByteType* buf, int len)
{
    auto* r = static_cast<TMemReader*>(gif->UserData);
    const size_t n = std::min(size_t(len < 0 ? 0 : len), r->Size - r->Pos);
    std::memcpy(buf, r->Data + r->Pos, n);
    r->Pos += n;
    return int(n);
}

int WriteMem(GifFileType* gif, const GifByteType* buf, int len)
{
    auto* out = static_cast<std::string*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(buf), size_t(len));
    return len;
}

struct TDecoderCloser {
    void operator()(GifFileType* gif) const
    {
        int err = 0;
        DGifCloseFile(gif, &err);
    }
};
using TDecoder = std::unique_ptr<GifFileType, TDecoderCloser>;

struct TEncoderCloser {
    void operator()(GifFileType* gif) const
    {
        int err = 0;
        EGifCloseFile(gif, &err);
    }
};
using TEncoder = std::unique_ptr<GifFileType, TEncoderCloser>;

struct TMapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using TColourMap = std::unique_ptr<ColorMapObject, TMapFreer>;

std::vector<TRgb> CopyMap(const ColorMapObject* map)
{
    std::vector<TRgb> out;
    if (!map || !map->Colors || map->ColorCount <= 0 || map->ColorCount > 256)
        return out;
    for (int i = 0; i < map->ColorCount; ++i)
        out.push_back(TRgb{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    return out;
}

TColourMap MakeMap(const std::vector<TRgb>& colours)
{
    if (colours.empty())
        return nullptr;
    int count = 2;
    while (count < int(colours.size()) && count < 256)
        count *= 2;
    std::vector<GifColorType> c(size_t(count), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size() && i < c.size(); ++i)
        c[i] = GifColorType{colours[i].R, colours[i].G, colours[i].B};
    return TColourMap(GifMakeMapObject(count, c.data()));
}

std::string GifText(int code)
{
    const char* msg = GifErrorString(code);
    return msg ? msg : "GIF error " + std::to_string(code);
}

/// Row numbers in the order a frame stores them.
std::vector<int> StoredRowOrder(int height, bool interlace)
{
    std::vector<int> rows;
    rows.reserve(size_t(height));
    if (!interlace) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            rows.push_back(y);
    return rows;
}

enum class TFrameEnd {
    Complete,
    AtFileEnd, ///< every row there, but the file ends inside the image data: nothing follows
    Failed,
};

/// A frame's rows through DGifGetLine; failure is giflib's error code.
TFrameEnd ReadRowsLibgif(GifFileType* gif, TGifFrame& frame, int& failure)
{
    const std::vector<int> order = StoredRowOrder(frame.Height, frame.Interlace);
    for (size_t k = 0; k < order.size(); ++k) {
        GifPixelType* line = frame.Pixels.data() + size_t(order[k]) * size_t(frame.Width);
        if (DGifGetLine(gif, line, frame.Width) == GIF_ERROR) {
            // The last line fails only while skipping past the image data when the
            // file ends right after the pixels: the picture itself is complete.
            failure = gif->Error;
            return k + 1 == order.size() && failure == D_GIF_ERR_READ_FAILED ? TFrameEnd::AtFileEnd
                                                                             : TFrameEnd::Failed;
        }
    }
    return TFrameEnd::Complete;
}

/// The same rows, and the same ends, through our own LZW decoding of the frame's whole
/// image data at once (giflib's per-pixel walk was most of a site conversion's time).
TFrameEnd ReadRowsOwn(GifFileType* gif, TGifFrame& frame, std::vector<uint8_t>& data, int& failure)
{
    data.clear();
    int codeSize = 0, gathered = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        gathered = gif->Error;
    while (block && !gathered) {
        data.insert(data.end(), block + 1, block + 1 + block[0]);
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            gathered = gif->Error;
    }
    if (gathered && gathered != D_GIF_ERR_READ_FAILED) {
        failure = gathered;
        return TFrameEnd::Failed;
    }
    const size_t width = size_t(frame.Width), count = width * size_t(frame.Height);
    std::vector<uint8_t> stored;
    uint8_t* target = frame.Pixels.data();
    if (frame.Interlace) {
        stored.assign(count, 0);
        target = stored.data();
    }
    const TLzwOutcome o = DecodeGifLzw(codeSize, data.data(), data.size(), gathered == 0, target, count);
    if (frame.Interlace) {
        const std::vector<int> order = StoredRowOrder(frame.Height, true);
        for (size_t k = 0; k < order.size(); ++k)
            std::copy_n(stored.data() + k * width, width, frame.Pixels.data() + size_t(order[k]) * width);
    }
    switch (o.End) {
    case TLzwEnd::Done:
        failure = gathered;
        return gathered ? TFrameEnd::AtFileEnd : TFrameEnd::Complete;
    case TLzwEnd::ReadFailed:
        failure = D_GIF_ERR_READ_FAILED;
        // As giflib: a file ending inside the last row leaves that row short but kept.
        return o.Written / width + 1 == size_t(frame.Height) ? TFrameEnd::AtFileEnd : TFrameEnd::Failed;
    case TLzwEnd::Defect:
        failure = D_GIF_ERR_IMAGE_DEFECT;
        return TFrameEnd::Failed;
    case TLzwEnd::EofTooSoon:
        failure = D_GIF_ERR_EOF_TOO_SOON;
        return TFrameEnd::Failed;
    }
    return TFrameEnd::Failed;
}

} // namespace

const std::vector<TRgb>& TGifImage::FirstColourTable() const
{
    if (!Frames.empty() && !Frames[0].LocalMap.empty())
        return Frames[0].LocalMap;
    return GlobalMap;
}

int TGifImage::TransparentIndex() const
{
    return Frames.empty() ? -1 : Frames[0].TransparentColor;
}

bool DecodeGif(const std::string& bytes, TGifImage& out, std::string& error, TGifRows rows)
{
    std::vector<uint8_t> data; // one frame's image data, its sub-blocks joined
    out = TGifImage{};
    TMemReader reader{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    int err = 0;
    TDecoder gif(DGifOpen(&reader, ReadMem, &err));
    if (!gif) {
        error = "not a GIF: " + GifText(err);
        return false;
    }
    if (!ImageSizeAllowed(gif->SWidth, gif->SHeight)) {
        error = "GIF screen " + std::to_string(gif->SWidth) + " x " + std::to_string(gif->SHeight) + " too large";
        return false;
    }
    out.ScreenWidth = gif->SWidth;
    out.ScreenHeight = gif->SHeight;
    out.ColorResolution = gif->SColorResolution;
    out.BackgroundColor = gif->SBackGroundColor;
    out.AspectByte = gif->AspectByte;
    out.GlobalMap = CopyMap(gif->SColorMap);

    GraphicsControlBlock gcb{};
    bool pendingControl = false;
    int64_t totalPixels = 0;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
            // Some writers omit the trailer: what was decoded in full stays usable.
            if (!out.Frames.empty() && gif->Error == D_GIF_ERR_READ_FAILED)
                return true;
            error = "GIF record: " + GifText(gif->Error);
            return false;
        }
        if (type == TERMINATE_RECORD_TYPE)
            return !out.Frames.empty() || (error = "GIF holds no image", false);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) {
                if (!out.Frames.empty())
                    return true;
                error = "GIF extension: " + GifText(gif->Error);
                return false;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                    pendingControl = true;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) {
                    if (!out.Frames.empty())
                        return true;
                    error = "GIF extension: " + GifText(gif->Error);
                    return false;
                }
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
            if (!out.Frames.empty())
                return true;
            error = "GIF image descriptor: " + GifText(gif->Error);
            return false;
        }
        const GifImageDesc& d = gif->Image;
        if (!ImageSizeAllowed(d.Width, d.Height) || d.Width == 0 || d.Height == 0
            || totalPixels + int64_t(d.Width) * d.Height > kMaxImagePixels) {
            if (!out.Frames.empty())
                return true;
            error = "GIF frame " + std::to_string(d.Width) + " x " + std::to_string(d.Height) + " out of range";
            return false;
        }
        // An LZW code of b bits stands for at most 2^b pixels, so a byte of image data
        // yields at most 4096 / 12 * 8 (2731) pixels. A frame the whole file could not
        // fill is refused before its buffer is taken.
        if (int64_t(d.Width) * d.Height > int64_t(bytes.size()) * kGifMaxPixelsPerByte) {
            if (!out.Frames.empty())
                return true;
            error = "GIF frame " + std::to_string(d.Width) + " x " + std::to_string(d.Height) + " cannot be filled by a "
                + std::to_string(bytes.size()) + "-byte file";
            return false;
        }
        totalPixels += int64_t(d.Width) * d.Height;
        TGifFrame frame;
        frame.Left = d.Left;
        frame.Top = d.Top;
        frame.Width = d.Width;
        frame.Height = d.Height;
        frame.Interlace = d.Interlace;
        frame.LocalMap = CopyMap(d.ColorMap);
        if (pendingControl) {
            frame.HasControl = true;
            frame.DisposalMode = gcb.DisposalMode;
            frame.DelayTime = gcb.DelayTime;
            frame.TransparentColor = gcb.TransparentColor;
            frame.UserInput = gcb.UserInputFlag;
            pendingControl = false;
        }
        frame.Pixels.resize(size_t(d.Width) * size_t(d.Height));
        int failure = 0;
        const TFrameEnd end = rows == TGifRows::Libgif ? ReadRowsLibgif(gif.get(), frame, failure)
                                                       : ReadRowsOwn(gif.get(), frame, data, failure);
        if (end == TFrameEnd::Failed) {
            if (!out.Frames.empty())
                return true;
            error = "GIF image data: " + GifText(failure);
            return false;
        }
        out.Frames.push_back(std::move(frame));
        if (end == TFrameEnd::AtFileEnd)
            return true;
    }
}

bool LoadGifFile(const std::string& path, TGifImage& out, std::string& error)
{
    std::string bytes;
    errno = 0;
    if (!ReadFileBytes(ResolvePath(path), bytes)) {
        error = "cannot read " + path + ": " + (errno ? std::strerror(errno) : "not a file");
        return false;
    }
    return DecodeGif(bytes, out, error);
}

TBitmap8 RenderFirstFrame(const TGifImage& gif)
{
    TBitmap8 bmp;
    const std::vector<TRgb>& table = gif.FirstColourTable();
    for (size_t i = 0; i < table.size() && i < 256; ++i)
        bmp.Palette[i] = table[i];
    bmp.PaletteCount = table.empty() ? 256 : int(std::min<size_t>(table.size(), 256));
    const int bg = gif.BackgroundColor >= 0 && gif.BackgroundColor < bmp.PaletteCount ? gif.BackgroundColor : 0;
    bmp.SetSize(gif.ScreenWidth, gif.ScreenHeight, uint8_t(bg));
    if (gif.Frames.empty())
        return bmp;
    const TGifFrame& f = gif.Frames[0];
    // The part of the frame that lies on the screen, copied row by row.
    const int x0 = std::max(0, f.Left), x1 = std::min(bmp.Width(), f.Left + f.Width);
    const int y0 = std::max(0, f.Top), y1 = std::min(bmp.Height(), f.Top + f.Height);
    for (int ty = y0; ty < y1 && x0 < x1; ++ty) {
        const uint8_t* src = f.Pixels.data() + size_t(ty - f.Top) * size_t(f.Width) + size_t(x0 - f.Left);
        std::copy_n(src, size_t(x1 - x0), bmp.Row(ty) + x0);
    }
    return bmp;
}

bool EncodeGif(const TGifImage& gif, std::string& bytes, std::string& error)
{
    bytes.clear();
    int err = 0;
    GifFileType* raw = EGifOpen(&bytes, WriteMem, &err);
    if (!raw) {
        error = "GIF encoder: " + GifText(err);
        return false;
    }
    TEncoder enc(raw);
    bool anyControl = false;
    for (const TGifFrame& f : gif.Frames)
        anyControl = anyControl || f.HasControl;
    EGifSetGifVersion(enc.get(), anyControl);
    TColourMap global = MakeMap(gif.GlobalMap);
    if (EGifPutScreenDesc(enc.get(), gif.ScreenWidth, gif.ScreenHeight, gif.ColorResolution,
            gif.BackgroundColor, global.get()) == GIF_ERROR) {
        error = "GIF screen: " + GifText(enc->Error);
        return false;
    }
    for (const TGifFrame& f : gif.Frames) {
        if (f.HasControl) {
            GraphicsControlBlock gcb{};
            gcb.DisposalMode = f.DisposalMode;
            gcb.DelayTime = f.DelayTime;
            gcb.TransparentColor = f.TransparentColor;
            gcb.UserInputFlag = f.UserInput;
            GifByteType ext[4];
            const size_t n = EGifGCBToExtension(&gcb, ext);
            if (EGifPutExtension(enc.get(), GRAPHICS_EXT_FUNC_CODE, int(n), ext) == GIF_ERROR) {
                error = "GIF control block: " + GifText(enc->Error);
                return false;
            }
        }
        TColourMap local = MakeMap(f.LocalMap);
        // EGifPutImageDesc keeps a copy of a frame's local table in Image.ColorMap and, for
        // a frame without one, sets that field to NULL without freeing the copy before it
        // (only EGifCloseFile frees it, and only the last). The copy is ours to free here.
        if (!local && enc->Image.ColorMap) {
            GifFreeMapObject(enc->Image.ColorMap);
            enc->Image.ColorMap = nullptr;
        }
        if (EGifPutImageDesc(enc.get(), f.Left, f.Top, f.Width, f.Height, f.Interlace, local.get()) == GIF_ERROR) {
            error = "GIF image descriptor: " + GifText(enc->Error);
            return false;
        }
        for (int y : StoredRowOrder(f.Height, f.Interlace)) {
            auto* line = const_cast<GifPixelType*>(f.Pixels.data() + size_t(y) * size_t(f.Width));
            if (EGifPutLine(enc.get(), line, f.Width) == GIF_ERROR) {
                error = "GIF image data: " + GifText(enc->Error);
                return false;
            }
        }
    }
    int closeErr = 0;
    const int rc = EGifCloseFile(enc.release(), &closeErr);
    if (rc == GIF_ERROR) {
        error = "GIF close: " + GifText(closeErr);
        return false;
    }
    return true;
}

bool EncodeBitmapGif(const TBitmap8& bmp, int paletteCount, int transparent, std::string& bytes, std::string& error)
{
    TGifImage gif;
    gif.ScreenWidth = bmp.Width();
    gif.ScreenHeight = bmp.Height();
    const int count = std::clamp(paletteCount, 2, 256);
    gif.GlobalMap.assign(bmp.Palette.begin(), bmp.Palette.begin() + count);
    TGifFrame f;
    f.Width = bmp.Width();
    f.Height = bmp.Height();
    if (transparent >= 0) {
        f.HasControl = true;
        f.TransparentColor = transparent;
    }
    f.Pixels.resize(size_t(f.Width) * size_t(f.Height));
    for (int y = 0; y < f.Height; ++y)
        std::copy(bmp.Row(y), bmp.Row(y) + f.Width, f.Pixels.begin() + size_t(y) * size_t(f.Width));
    gif.Frames.push_back(std::move(f));
    return EncodeGif(gif, bytes, error);
}

} // namespace sf
