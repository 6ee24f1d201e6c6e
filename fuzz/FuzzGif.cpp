// GIF decoding on arbitrary bytes: our image data decoding ends as giflib's does, with
// the same pixels; a decoded GIF re-encoded decodes to the same frames, pixels and
// colour tables, and its first frame renders at the screen size.
#include "FuzzCheck.h"
#include "imaging/GifCodec.h"

using sf::fuzz::Check;

namespace {

constexpr uint64_t kMaxFuzzPixels = 1u << 20;

/// Steps over sub-blocks from p to just past their zero-length terminator.
size_t SkipSubBlocks(const uint8_t* data, size_t size, size_t p)
{
    while (p < size && data[p] != 0)
        p += 1 + size_t(data[p]);
    return p + 1;
}

/// True when a frame, found by walking the records as a decoder does, covers more than
/// kMaxFuzzPixels; the walk stops at the first record it cannot take.
bool HasLargeFrame(const uint8_t* data, size_t size)
{
    if (size < 13)
        return false;
    size_t p = 13;
    if (data[10] & 0x80)
        p += size_t(3) << ((data[10] & 7) + 1);
    while (p < size) {
        const uint8_t record = data[p++];
        if (record == 0x21) {
            p = SkipSubBlocks(data, size, p + 1);
        } else if (record == 0x2C) {
            if (p + 9 > size)
                return false;
            const uint64_t width = data[p + 4] | data[p + 5] << 8, height = data[p + 6] | data[p + 7] << 8;
            if (width * height > kMaxFuzzPixels)
                return true;
            const uint8_t flags = data[p + 8];
            p += 9;
            if (flags & 0x80)
                p += size_t(3) << ((flags & 7) + 1);
            p = SkipSubBlocks(data, size, p + 1); // past the LZW code size
        } else {
            return false;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Screens and frames the loaders accept may still be huge (a frame up to 2731 pixels
    // a byte of its file); large ones take both decoders' time to fill and only slow
    // the search down.
    if (size >= 10 && uint64_t(data[6] | data[7] << 8) * uint64_t(data[8] | data[9] << 8) > kMaxFuzzPixels)
        return 0;
    if (HasLargeFrame(data, size))
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    sf::TGifImage gif, reference;
    std::string error, referenceError;
    const bool ok = sf::DecodeGif(bytes, gif, error);
    // Our image data decoding against giflib's: the same outcome, reason and pixels.
    Check(ok == sf::DecodeGif(bytes, reference, referenceError, sf::TGifRows::Libgif), "giflib agrees on success");
    Check(error == referenceError, "giflib gives the same reason");
    Check(gif.Frames.size() == reference.Frames.size(), "giflib finds the same frames");
    for (size_t i = 0; i < gif.Frames.size(); ++i)
        Check(gif.Frames[i].Pixels == reference.Frames[i].Pixels, "giflib decodes the same pixels");
    if (!ok) {
        Check(!error.empty(), "a refused GIF says why");
        return 0;
    }
    if (!gif.Frames.empty()) {
        const sf::TBitmap8 first = sf::RenderFirstFrame(gif);
        Check(first.Width() == gif.ScreenWidth && first.Height() == gif.ScreenHeight, "rendering has the screen size");
    }
    std::string encoded;
    if (!sf::EncodeGif(gif, encoded, error))
        return 0; // giflib refuses to write some tables it reads (for example an empty one)
    sf::TGifImage again;
    Check(sf::DecodeGif(encoded, again, error), "a re-encoded GIF decodes");
    Check(again.ScreenWidth == gif.ScreenWidth && again.ScreenHeight == gif.ScreenHeight, "screen size kept");
    Check(again.GlobalMap == gif.GlobalMap, "global colour table kept");
    Check(again.Frames.size() == gif.Frames.size(), "frame count kept");
    for (size_t i = 0; i < gif.Frames.size(); ++i) {
        const sf::TGifFrame& a = gif.Frames[i];
        const sf::TGifFrame& b = again.Frames[i];
        Check(a.Left == b.Left && a.Top == b.Top && a.Width == b.Width && a.Height == b.Height, "frame place kept");
        Check(a.LocalMap == b.LocalMap, "local colour table kept");
        Check(a.Pixels == b.Pixels, "pixels kept");
        Check(a.TransparentColor == b.TransparentColor, "transparent index kept");
    }
    return 0;
}
