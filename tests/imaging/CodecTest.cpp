// GIF and PNG decoding: limits, damaged files, native re-encoding.
#include "ImagingTestEnv.h"
#include "imaging/GifCodec.h"
#include "imaging/PngReader.h"
#include "imaging/Synthetic.h"
#include <gtest/gtest.h>
#include <zlib.h>

using namespace sf;
using namespace sf::test;

namespace {

TBitmap8 Checker(int w, int h)
{
    TBitmap8 b;
    b.Palette[0] = {0, 0, 0};
    b.Palette[1] = {255, 0, 0};
    b.Palette[2] = {0, 255, 0};
    b.Palette[3] = {0, 0, 255};
    b.PaletteCount = 4;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.Row(y)[x] = uint8_t((x / 3 + y) % 4);
    return b;
}

std::string Be32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

/// A PNG signature and IHDR claiming the given size (no pixel data follows).
std::string PngHeader(uint32_t w, uint32_t h)
{
    std::string ihdr = "IHDR" + Be32(w) + Be32(h) + std::string("\x08\x06\x00\x00\x00", 5);
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), uInt(ihdr.size())));
    return std::string("\x89PNG\r\n\x1a\n", 8) + Be32(13) + ihdr + Be32(crc);
}

} // namespace

TEST(GifCodec, DecodesScreenTableTransparencyAndPixels)
{
    const std::string bytes = SyntheticSiteGif("LOT", "N0R", 46000.5);
    TGifImage gif;
    std::string error;
    ASSERT_TRUE(DecodeGif(bytes, gif, error)) << error;
    EXPECT_EQ(gif.ScreenWidth, 600);
    EXPECT_EQ(gif.ScreenHeight, 550);
    EXPECT_EQ(gif.TransparentIndex(), 0);
    ASSERT_EQ(gif.FirstColourTable().size(), 16u);
    EXPECT_EQ(gif.FirstColourTable()[10], (TRgb{253, 0, 0}));
    const QImage q = Decode(bytes, "GIF");
    ASSERT_FALSE(q.isNull());
    const TBitmap8 r = RenderFirstFrame(gif);
    int echoes = 0;
    for (int y = 0; y < 550; y += 3)
        for (int x = 0; x < 600; x += 3) {
            const uint8_t i = r.Pixel(x, y);
            if (i == 0)
                continue;
            ++echoes;
            const TRgb c = r.Palette[i];
            ASSERT_EQ(q.pixel(x, y), qRgb(c.R, c.G, c.B)) << x << "," << y;
        }
    EXPECT_GT(echoes, 100);
}

TEST(GifCodec, NativeReencodingKeepsFramesAndTable)
{
    const TBitmap8 b = Checker(37, 21);
    std::string bytes, error;
    ASSERT_TRUE(EncodeBitmapGif(b, 4, 2, bytes, error)) << error;
    TGifImage first, second;
    ASSERT_TRUE(DecodeGif(bytes, first, error));
    std::string again;
    ASSERT_TRUE(EncodeGif(first, again, error));
    ASSERT_TRUE(DecodeGif(again, second, error));
    EXPECT_EQ(second.GlobalMap, first.GlobalMap);
    ASSERT_EQ(second.Frames.size(), 1u);
    EXPECT_EQ(second.Frames[0].Pixels, first.Frames[0].Pixels);
    EXPECT_EQ(second.TransparentIndex(), 2);
    const QImage q = Decode(again, "GIF");
    ASSERT_FALSE(q.isNull());
    EXPECT_EQ(q.pixel(3, 0), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(q.pixel(0, 2)), 0); // index 2 is the transparent one
}

TEST(GifCodec, FramesWithAndWithoutTheirOwnTableAlternate)
{
    // The encoder's copy of a frame's own table was lost (never freed) when the next frame
    // had none: the sanitizer build's leak check fails here without the fix.
    TGifImage g;
    g.ScreenWidth = 2;
    g.ScreenHeight = 2;
    g.GlobalMap = {{0, 0, 0}, {255, 255, 255}};
    TGifFrame own;
    own.Width = own.Height = 2;
    own.LocalMap = {{255, 0, 0}, {0, 0, 255}};
    own.Pixels = {0, 1, 1, 0};
    TGifFrame shared = own;
    shared.LocalMap.clear();
    shared.Pixels = {1, 0, 0, 1};
    g.Frames = {own, shared, own, shared};
    std::string bytes, error;
    ASSERT_TRUE(EncodeGif(g, bytes, error)) << error;
    TGifImage back;
    ASSERT_TRUE(DecodeGif(bytes, back, error)) << error;
    ASSERT_EQ(back.Frames.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(back.Frames[i].LocalMap, g.Frames[i].LocalMap) << i;
        EXPECT_EQ(back.Frames[i].Pixels, g.Frames[i].Pixels) << i;
    }
}

TEST(GifCodec, InterlacedFramesComeOutInPictureOrder)
{
    TGifImage gif;
    std::string error, bytes;
    ASSERT_TRUE(DecodeGif(SyntheticSiteGif("DVN", "N0R", 46000.0), gif, error));
    gif.Frames[0].Interlace = true;
    ASSERT_TRUE(EncodeGif(gif, bytes, error));
    TGifImage back;
    ASSERT_TRUE(DecodeGif(bytes, back, error));
    EXPECT_TRUE(back.Frames[0].Interlace);
    EXPECT_EQ(back.Frames[0].Pixels, gif.Frames[0].Pixels);
}

TEST(GifCodec, FrameIsDrawnAtItsOffsetOverTheBackground)
{
    TGifImage gif;
    gif.ScreenWidth = 10;
    gif.ScreenHeight = 8;
    gif.BackgroundColor = 1;
    gif.GlobalMap = {{0, 0, 0}, {9, 9, 9}, {200, 0, 0}, {0, 0, 200}};
    TGifFrame f;
    f.Left = 6;
    f.Top = 5;
    f.Width = 6; // runs past the screen: clipped
    f.Height = 2;
    f.Pixels.assign(12, 2);
    gif.Frames.push_back(f);
    std::string bytes, error;
    ASSERT_TRUE(EncodeGif(gif, bytes, error));
    TGifImage back;
    ASSERT_TRUE(DecodeGif(bytes, back, error)) << error;
    const TBitmap8 r = RenderFirstFrame(back);
    EXPECT_EQ(r.Pixel(5, 5), 1);
    EXPECT_EQ(r.Pixel(6, 5), 2);
    EXPECT_EQ(r.Pixel(9, 6), 2);
    EXPECT_EQ(r.Pixel(9, 7), 1);
    EXPECT_EQ(r.PaletteCount, 4);
}

TEST(GifCodec, AcceptsAMissingTrailerButNotTruncatedData)
{
    const std::string bytes = SyntheticSiteGif("MKX", "N0R", 46000.25);
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.back(), ';');
    TGifImage full, gif;
    std::string error;
    ASSERT_TRUE(DecodeGif(bytes, full, error));
    ASSERT_TRUE(DecodeGif(bytes.substr(0, bytes.size() - 1), gif, error)) << error;
    EXPECT_EQ(gif.Frames[0].Pixels, full.Frames[0].Pixels);
    // Without the block terminator of the image data as well.
    ASSERT_TRUE(DecodeGif(bytes.substr(0, bytes.size() - 2), gif, error)) << error;
    EXPECT_EQ(gif.Frames[0].Pixels, full.Frames[0].Pixels);
    EXPECT_FALSE(DecodeGif(bytes.substr(0, bytes.size() / 2), gif, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DecodeGif("GIF89a", gif, error));
    EXPECT_FALSE(DecodeGif("not a gif at all", gif, error));
}

TEST(GifCodec, RefusesOversizedScreensBeforeDecoding)
{
    // Logical screen 30000 x 10: one side past 20000.
    std::string head = "GIF89a";
    head += std::string("\x30\x75\x0a\x00\x00\x00\x00", 7);
    TGifImage gif;
    std::string error;
    EXPECT_FALSE(DecodeGif(head, gif, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    // 15000 x 15000 passes each side but not the total.
    head = "GIF89a" + std::string("\x98\x3a\x98\x3a\x00\x00\x00", 7);
    EXPECT_FALSE(DecodeGif(head, gif, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST(PngReader, DecodesRowsLikeAnIndependentDecoder)
{
    const std::string bytes = EncodePngRgba(50, 20, [](int y, uint8_t* out) {
        for (int x = 0; x < 50; ++x, out += 4) {
            out[0] = uint8_t(x * 5);
            out[1] = uint8_t(y * 12);
            out[2] = 77;
            out[3] = uint8_t(x < 25 ? 255 : x * 3);
        }
    });
    TTempDir dir;
    const std::string path = dir.Write("m.png", bytes);
    TPngReader png;
    std::string error;
    ASSERT_TRUE(png.Open(path, error)) << error;
    ASSERT_EQ(png.Width(), 50);
    ASSERT_EQ(png.Height(), 20);
    const QImage q = Decode(bytes, "PNG").convertToFormat(QImage::Format_RGBA8888);
    std::vector<uint8_t> row(200);
    for (int y = 0; y < 20; ++y) {
        ASSERT_TRUE(png.ReadRow(row.data(), error)) << error;
        ASSERT_EQ(0, std::memcmp(row.data(), q.constScanLine(y), 200)) << "row " << y;
    }
    EXPECT_FALSE(png.ReadRow(row.data(), error));
}

TEST(PngReader, RefusesOversizedHeadersAndDamagedFiles)
{
    TTempDir dir;
    TPngReader png;
    std::string error;
    EXPECT_FALSE(png.Open(dir.Write("wide.png", PngHeader(20001, 100)), error));
    EXPECT_FALSE(png.Open(dir.Write("huge.png", PngHeader(15000, 15000)), error));
    EXPECT_NE(error.find("out of range"), std::string::npos) << error;
    EXPECT_FALSE(png.Open(dir.Write("junk.png", "junk"), error));
    EXPECT_FALSE(png.Open(dir.Path() + "absent.png", error));
    // A missing file is named with the system's reason.
    EXPECT_EQ(error, "cannot open " + dir.Path() + "absent.png: No such file or directory");
    TGifImage gif;
    EXPECT_FALSE(LoadGifFile(dir.Path() + "absent.gif", gif, error));
    EXPECT_EQ(error, "cannot read " + dir.Path() + "absent.gif: No such file or directory");

    const std::string good = EncodePngRgba(40, 40, [](int, uint8_t* out) { std::memset(out, 0x5A, 160); }, 0);
    ASSERT_TRUE(png.Open(dir.Write("cut.png", good.substr(0, good.size() / 2)), error));
    std::vector<uint8_t> row(160);
    bool failed = false;
    for (int y = 0; y < 40 && !failed; ++y)
        failed = !png.ReadRow(row.data(), error);
    EXPECT_TRUE(failed);

    // The stream's own checksum is not asked for; the chunk's CRC still refuses a byte
    // changed inside the compressed rows.
    std::string flipped = good;
    const size_t idat = flipped.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    flipped[idat + 4 + 20] = char(flipped[idat + 4 + 20] ^ 0x10);
    failed = !png.Open(dir.Write("flipped.png", flipped), error);
    for (int y = 0; y < 40 && !failed; ++y)
        failed = !png.ReadRow(row.data(), error);
    EXPECT_TRUE(failed);
    EXPECT_NE(error.find("CRC"), std::string::npos) << error;
}

TEST(PngReader, InterlacedPassesPlaceEveryPixelOnce)
{
    const auto pattern = [](int y, uint8_t* out) {
        for (int x = 0; x < 53; ++x, out += 4) {
            out[0] = uint8_t(x * 4);
            out[1] = uint8_t(y * 9);
            out[2] = uint8_t(x ^ y);
            out[3] = 255;
        }
    };
    TTempDir dir;
    const std::string plainPath = dir.Write("plain.png", EncodePngRgba(53, 21, pattern));
    const std::string passPath = dir.Write("passes.png", EncodePngRgba(53, 21, pattern, 6, true));
    std::string error;
    TPngReader plain, passes;
    ASSERT_TRUE(plain.Open(plainPath, error)) << error;
    ASSERT_TRUE(passes.Open(passPath, error)) << error;
    EXPECT_FALSE(plain.Interlaced());
    ASSERT_TRUE(passes.Interlaced());
    EXPECT_EQ(plain.StoredRows(), 21);

    std::vector<uint8_t> expected(53 * 21 * 4), got(53 * 21 * 4, 0), row(53 * 4);
    std::vector<int> writes(53 * 21, 0);
    for (int y = 0; y < 21; ++y)
        ASSERT_TRUE(plain.ReadRow(expected.data() + y * 53 * 4, error)) << error;
    TPngRowSpan span;
    int64_t stored = 0;
    while (passes.ReadSpan(row.data(), span, error)) {
        ++stored;
        ASSERT_GE(span.Y, 0);
        ASSERT_LT(span.Y, 21);
        for (int i = 0; i < span.Count; ++i) {
            const int x = span.First + i * span.Step;
            ASSERT_LT(x, 53);
            ++writes[size_t(span.Y * 53 + x)];
            std::memcpy(got.data() + (span.Y * 53 + x) * 4, row.data() + i * 4, 4);
        }
    }
    EXPECT_EQ(stored, passes.StoredRows());
    EXPECT_EQ(std::count(writes.begin(), writes.end(), 1), 53 * 21);
    EXPECT_EQ(got, expected);

    // Whole rows of the same file still come out in picture order.
    TPngReader again;
    ASSERT_TRUE(again.Open(passPath, error)) << error;
    for (int y = 0; y < 21; ++y) {
        ASSERT_TRUE(again.ReadRow(row.data(), error)) << error;
        ASSERT_EQ(0, std::memcmp(row.data(), expected.data() + y * 53 * 4, 53 * 4)) << "row " << y;
    }
}

TEST(GifCodec, AFrameTheFileCannotFillIsRefusedBeforeItsBuffer)
{
    // 14000 x 14000 declared by a file of under a kilobyte: no LZW data that short can
    // fill it, so the frame is refused from its descriptor.
    auto le16 = [](int v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    std::string gif = "GIF89a" + le16(14000) + le16(14000) + std::string("\x00\x00\x00", 3);
    gif += "," + le16(0) + le16(0) + le16(14000) + le16(14000) + std::string("\x00", 1);
    gif += std::string("\x08", 1);
    for (int block = 0; block < 3; ++block)
        gif += std::string(1, char(255)) + std::string(255, char(0x55));
    gif += std::string("\x00;", 2);
    ASSERT_LT(gif.size(), 1000u);
    TGifImage out;
    std::string error;
    EXPECT_FALSE(DecodeGif(gif, out, error));
    EXPECT_NE(error.find("cannot be filled"), std::string::npos) << error;

    // A real picture of the same file size class still decodes.
    EXPECT_TRUE(DecodeGif(SyntheticSiteGif("LOT", "N0R", 46000.5), out, error)) << error;
}
