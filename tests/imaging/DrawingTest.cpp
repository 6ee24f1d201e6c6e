// The drawing layer: palette and mapping, bitmap operations, text, and the BMP writer
// checked against an independent decoder.
#include "ImagingTestEnv.h"
#include "imaging/Bitmap8.h"
#include "imaging/BmpWriter.h"
#include "imaging/Font.h"
#include "imaging/Palette.h"
#include "support/Sanitizers.h"
#include <gtest/gtest.h>
#include <random>

using namespace sf;
using namespace sf::test;

TEST(HalftonePalette, HoldsPureBlackAndWhiteAtTheEnds)
{
    const TPalette& p = HalftonePalette();
    EXPECT_EQ(p[0], (TRgb{0, 0, 0}));
    EXPECT_EQ(p[255], (TRgb{255, 255, 255}));
    THalftoneMapper m;
    EXPECT_EQ(p[m.Map(0, 0, 0)], (TRgb{0, 0, 0}));
    EXPECT_EQ(p[m.Map(255, 255, 255)], (TRgb{255, 255, 255}));
}

TEST(HalftonePalette, CubeLookupAgreesWithExhaustiveSearch)
{
    const TPalette& p = HalftonePalette();
    THalftoneMapper m;
    std::mt19937 rnd(7);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t v = rnd();
        const TRgb c{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
        const uint8_t exact = NearestIndex(p.data(), 256, c);
        const uint8_t fast = m.Map(c.R, c.G, c.B);
        // Ties may pick a different entry, but never a farther one.
        const auto dist = [&](uint8_t k) {
            return (p[k].R - c.R) * (p[k].R - c.R) + (p[k].G - c.G) * (p[k].G - c.G) + (p[k].B - c.B) * (p[k].B - c.B);
        };
        ASSERT_EQ(dist(fast), dist(exact)) << int(c.R) << "," << int(c.G) << "," << int(c.B);
    }
    // Cell borders (multiples of 8 and their neighbours) are where a coarse cube goes wrong.
    for (int r = 0; r < 256; r += 7)
        for (int g = 0; g < 256; g += 8)
            for (int b = 7; b < 256; b += 8)
                ASSERT_EQ(m.Map(uint8_t(r), uint8_t(g), uint8_t(b)), NearestIndex(p.data(), 256, TRgb{uint8_t(r), uint8_t(g), uint8_t(b)}));
}

namespace {

/// The cube lookup against exhaustive search for every colour with all channels >= lo.
void ExpectCubeAgreesFrom(int lo)
{
    const TPalette& p = HalftonePalette();
    THalftoneMapper m;
    for (int r = lo; r < 256; ++r)
        for (int g = lo; g < 256; ++g)
            for (int b = lo; b < 256; ++b)
                ASSERT_EQ(m.Map(uint8_t(r), uint8_t(g), uint8_t(b)), NearestIndex(p.data(), 256, TRgb{uint8_t(r), uint8_t(g), uint8_t(b)}))
                    << r << "," << g << "," << b;
}

} // namespace

// Why the cube's candidate lists are exact: for a colour c in a cell and the entry n
// nearest to c, dist(n, c) <= dist(j, c) <= dmax(j, cell) for every j, so dist(n, c) is
// at most the cell's bound (the least dmax); and dmin(n, cell) <= dist(n, c). So n passes
// "dmin <= bound" and is a candidate, also when it ties with the bound exactly. A bound
// taken from the wrong side (the least dmin) or a strict "<" drops such entries; the
// colours below sit where that happens for the halftone palette.
TEST(HalftonePalette, CubeLookupKeepsEntriesAtTheBound)
{
    const TPalette& p = HalftonePalette();
    THalftoneMapper m;
    const TRgb colours[] = {{200, 215, 200}, {208, 208, 208}, {200, 200, 200}, {215, 215, 215}, {192, 192, 192},
                            {160, 164, 160}, {240, 251, 255}, {128, 128, 128}, {255, 251, 240}, {166, 202, 240}};
    for (const TRgb c : colours)
        EXPECT_EQ(m.Map(c.R, c.G, c.B), NearestIndex(p.data(), 256, c)) << int(c.R) << "," << int(c.G) << "," << int(c.B);
    // Every grey, then every colour of the light corner, where the static colours crowd.
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(m.Map(uint8_t(v), uint8_t(v), uint8_t(v)), NearestIndex(p.data(), 256, TRgb{uint8_t(v), uint8_t(v), uint8_t(v)})) << v;
    ExpectCubeAgreesFrom(184);
}

TEST(HalftonePalette, CubeLookupAgreesOnEveryColour)
{
    if (kSanitized)
        GTEST_SKIP() << "all 16.7 M colours take minutes under the sanitizers; the plain build runs them";
    ExpectCubeAgreesFrom(0);
}

TEST(NearestIndex, OnlyLooksAtTheEntriesInUse)
{
    TPalette p{};
    p[0] = {10, 10, 10};
    p[1] = {200, 200, 200};
    p[2] = {255, 255, 255}; // beyond the count: must be ignored
    EXPECT_EQ(NearestIndex(p.data(), 2, TRgb{255, 255, 255}), 1);
    EXPECT_EQ(NearestIndex(p.data(), 3, TRgb{255, 255, 255}), 2);
}

TEST(Bitmap8, FillRectIsClippedAndRightBottomExclusive)
{
    TBitmap8 b;
    b.SetSize(10, 6, 1);
    b.FillRect(TRect{-5, 4, 3, 100}, 9);
    EXPECT_EQ(b.Pixel(0, 4), 9);
    EXPECT_EQ(b.Pixel(2, 5), 9);
    EXPECT_EQ(b.Pixel(3, 5), 1);
    EXPECT_EQ(b.Pixel(0, 3), 1);
}

TEST(Bitmap8, RefusesSizesBeyondTheLimits)
{
    TBitmap8 b;
    EXPECT_THROW(b.SetSize(20001, 10), std::length_error);
    EXPECT_THROW(b.SetSize(15000, 15000), std::length_error);
    EXPECT_TRUE(ImageSizeAllowed(20000, 10000));
    EXPECT_FALSE(ImageSizeAllowed(20000, 10001));
}

TEST(Bitmap8, CopyRectMapsColoursToTheNearestOfTheTarget)
{
    TBitmap8 src, dst;
    src.Palette[0] = {250, 0, 0};
    src.Palette[1] = {0, 0, 250};
    src.SetSize(8, 8, 0);
    src.FillRect(TRect{4, 0, 8, 8}, 1);
    dst.Palette[0] = {0, 0, 255};
    dst.Palette[1] = {255, 0, 0};
    dst.Palette[2] = {0, 255, 0};
    dst.PaletteCount = 3;
    dst.SetSize(6, 6, 2);
    dst.CopyRectMapped(src, TRect{2, 1, 100, 100});
    EXPECT_EQ(dst.Pixel(1, 1), 2); // outside the rectangle
    EXPECT_EQ(dst.Pixel(2, 0), 2);
    EXPECT_EQ(dst.Pixel(2, 1), 1); // red -> red
    EXPECT_EQ(dst.Pixel(5, 5), 0); // blue -> blue, clipped to the target
}

TEST(Font, ArialResolvesAndMeasures)
{
    EXPECT_FALSE(ResolveFontFile("Arial").empty());
    TFont f("Arial", 8);
    ASSERT_TRUE(f.Ok()) << f.Error();
    const int h = f.TextHeight("YyXp");
    EXPECT_GE(h, 11); // 8 pt at 96 dpi is 10.7 px; the line adds the descent
    EXPECT_LE(h, 15);
    EXPECT_GT(f.TextWidth("WWW"), f.TextWidth("iii"));
    EXPECT_EQ(f.TextWidth(""), 0);
    TFont big("Arial", 10);
    EXPECT_GT(big.TextWidth("Radar"), f.TextWidth("Radar"));
}

TEST(Font, TextIsOpaqueMonochromeAndUnclipped)
{
    TFont f("Arial", 8);
    ASSERT_TRUE(f.Ok());
    TBitmap8 b;
    b.SetSize(120, 30, 7);
    const std::string text = "Hex 42";
    const int w = f.TextWidth(text), h = f.TextHeight(text);
    f.TextOut(b, 10, 20, text, 1, 2);
    int fg = 0, bg = 0, other = 0;
    for (int y = 20; y < 30; ++y)
        for (int x = 10; x < 10 + w; ++x)
            (b.Pixel(x, y) == 1 ? fg : b.Pixel(x, y) == 2 ? bg : other)++;
    EXPECT_GT(fg, 10);
    EXPECT_GT(bg, fg);
    EXPECT_EQ(other, 0); // no anti-aliasing shades, the whole cell painted
    EXPECT_EQ(b.Pixel(9, 25), 7);
    EXPECT_EQ(b.Pixel(10 + w, 25), 7);
    EXPECT_GT(20 + h, 30); // the cell runs past the bottom and is cut by the bitmap only
}

TEST(BmpWriter, RoundTripThroughAnIndependentDecoder)
{
    TBitmap8 b;
    b.Palette = HalftonePalette();
    b.SetSize(13, 5, 255); // odd width: rows are padded to 4 bytes
    b.FillRect(TRect{0, 0, 1, 1}, 0);
    b.FillRect(TRect{12, 4, 13, 5}, 1);  // bottom-right, dark red
    b.FillRect(TRect{5, 2, 6, 3}, 249); // red
    const std::string bytes = EncodeBmp8(b);
    ASSERT_EQ(bytes.size(), size_t(14 + 40 + 1024 + 16 * 5));
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(uint8_t(bytes[2]) | (uint8_t(bytes[3]) << 8), int(bytes.size()));
    EXPECT_EQ(uint8_t(bytes[28]), 8);   // bits per pixel
    EXPECT_EQ(uint8_t(bytes[46]) | (uint8_t(bytes[47]) << 8), 256); // colours used
    const QImage q = Decode(bytes, "BMP");
    ASSERT_FALSE(q.isNull());
    EXPECT_EQ(q.width(), 13);
    EXPECT_EQ(q.height(), 5);
    EXPECT_EQ(q.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(q.pixel(12, 4), qRgb(128, 0, 0));
    EXPECT_EQ(q.pixel(5, 2), qRgb(255, 0, 0));
    EXPECT_EQ(q.pixel(6, 2), qRgb(255, 255, 255));
}

TEST(BmpWriter, SaveReplacesACaseVariantAndLeavesNoTemporary)
{
    TTempDir dir;
    WriteFile(dir.Path() + "LOT_N0R_0.BMP", "old");
    TBitmap8 b;
    b.Palette = HalftonePalette();
    b.SetSize(3, 3, 255);
    std::string error;
    ASSERT_TRUE(SaveBmp8(dir.Path() + "lot_n0r_0.bmp", b, error)) << error;
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
        EXPECT_EQ(e.path().filename().string(), "LOT_N0R_0.BMP");
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(ReadFile(dir.Path() + "LOT_N0R_0.BMP"), EncodeBmp8(b));
    EXPECT_FALSE(SaveBmp8(dir.Path() + "missing/x.bmp", b, error));
    // The message names the underlay (not its hidden temporary name) and the system's reason.
    EXPECT_EQ(error, "cannot create " + dir.Path() + "missing/x.bmp: No such file or directory");
    EXPECT_FALSE(SaveBytes(dir.Path() + "missing/x.gif", "GIF89a", error));
    EXPECT_EQ(error, "cannot write " + dir.Path() + "missing/x.gif: No such file or directory");
}
