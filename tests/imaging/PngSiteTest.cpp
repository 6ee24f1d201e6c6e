// Site images of the iem layout: PNG with a palette and a transparent index, or RGBA,
// decoded to the 256-colour picture the site conversion draws on, and converted end
// to end with the same caption bands, bounds and series as a GIF site image.
#include "ImagingTestEnv.h"
#include "core/Files.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include "imaging/Convert.h"
#include "imaging/GifCodec.h"
#include "imaging/PngReader.h"
#include "imaging/PngSite.h"
#include "imaging/Synthetic.h"
#include "support/IemFixtures.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

constexpr TDateTime kImageTime = 46000.5 + 17.0 / 1440.0; // 12/09/2025 12:17 UTC

/// A 200 x 150 palette picture: index 0 transparent, a red block and a green stripe.
std::string PalettePng()
{
    TBitmap8 bmp;
    bmp.SetSize(200, 150, 0);
    bmp.Palette[0] = TRgb{0, 0, 0};
    bmp.Palette[1] = TRgb{255, 0, 0};
    bmp.Palette[2] = TRgb{0, 160, 0};
    bmp.FillRect(TRect{20, 20, 60, 60}, 1);
    bmp.FillRect(TRect{0, 100, 200, 110}, 2);
    return EncodePalettePng(bmp, 3, 0);
}

/// A 300 x 120 RGBA picture with far more than 256 colours and a half-transparent band.
std::string RgbaPng()
{
    return EncodePngRgba(300, 120, [](int y, uint8_t* row) {
        for (int x = 0; x < 300; ++x) {
            row[x * 4 + 0] = uint8_t(x * 255 / 299);
            row[x * 4 + 1] = uint8_t(y * 2);
            row[x * 4 + 2] = 90;
            row[x * 4 + 3] = y < 10 ? 0 : (y < 20 ? 128 : 255);
        }
    });
}

TRgb ColourAt(const TGifImage& gif, int x, int y)
{
    const TGifFrame& f = gif.Frames.at(0);
    return gif.GlobalMap.at(f.Pixels.at(size_t(y) * size_t(f.Width) + size_t(x)));
}

} // namespace

TEST(PngSiteImage, PaletteWithTransparencyKeepsItsColoursAndTurnsClearToWhite)
{
    TTempDir dir;
    const std::string path = dir.Write("LOT_N0B_0.png", PalettePng());
    TGifImage gif;
    std::string error;
    ASSERT_TRUE(LoadSiteImage(path, gif, error)) << error;
    EXPECT_EQ(200, gif.ScreenWidth);
    EXPECT_EQ(150, gif.ScreenHeight);
    ASSERT_EQ(1u, gif.Frames.size());
    EXPECT_EQ(-1, gif.TransparentIndex());
    // White (was clear), red, green, and black added for the caption text.
    EXPECT_EQ((std::vector<TRgb>{{255, 255, 255}, {255, 0, 0}, {0, 160, 0}, {0, 0, 0}}), gif.GlobalMap);
    EXPECT_EQ((TRgb{255, 255, 255}), ColourAt(gif, 0, 0));
    EXPECT_EQ((TRgb{255, 0, 0}), ColourAt(gif, 30, 30));
    EXPECT_EQ((TRgb{0, 160, 0}), ColourAt(gif, 199, 105));
    // Re-encoded for native output it is a GIF of the same picture.
    std::string bytes;
    ASSERT_TRUE(EncodeGif(gif, bytes, error)) << error;
    TGifImage again;
    ASSERT_TRUE(DecodeGif(bytes, again, error)) << error;
    EXPECT_EQ((TRgb{255, 0, 0}), ColourAt(again, 30, 30));
}

TEST(PngSiteImage, RgbaWithManyColoursIsMappedToTheHalftonePalette)
{
    TTempDir dir;
    const std::string path = dir.Write("x.PNG", RgbaPng());
    TGifImage gif;
    std::string error;
    ASSERT_TRUE(LoadSiteImage(path, gif, error)) << error;
    ASSERT_EQ(256u, gif.GlobalMap.size());
    EXPECT_EQ(HalftonePalette()[0], gif.GlobalMap[0]);
    // Clear rows are white; half-clear rows lie between the colour and white.
    EXPECT_EQ((TRgb{255, 255, 255}), ColourAt(gif, 150, 5));
    const TRgb half = ColourAt(gif, 0, 15), full = ColourAt(gif, 0, 60);
    EXPECT_GT(int(half.R) + half.G + half.B, int(full.R) + full.G + full.B);
    // The palette overflows in row 10; the pixels written before that were remapped too.
    const TPalette& pal = HalftonePalette();
    EXPECT_EQ(pal[NearestIndex(pal.data(), 256, TRgb{127, 137, 172})], ColourAt(gif, 0, 10)); // (0,20,90) half clear
    EXPECT_EQ(pal[NearestIndex(pal.data(), 256, TRgb{0, 60, 90})], ColourAt(gif, 0, 30));
}

TEST(PngSiteImage, DamagedPngAndGifByNameAreTold)
{
    TTempDir dir;
    TGifImage gif;
    std::string error;
    EXPECT_FALSE(LoadSiteImage(dir.Write("bad.png", "\x89PNG\r\n\x1a\n-not-a-png"), gif, error));
    EXPECT_FALSE(error.empty());
    // A name without ".png" is read as a GIF.
    EXPECT_TRUE(LoadSiteImage(dir.Write("a.gif", SyntheticSiteGif("LOT", "N0R", kImageTime)), gif, error)) << error;
    EXPECT_EQ(kSiteWidth, gif.ScreenWidth);
}

namespace {

class IemSiteConvert : public ::testing::Test {
protected:
    TImagingEnv Env;
    TRadarObj R = TRadarObj::Create(Env.Clock);
    std::string Other;

    void SetUp() override
    {
        Other = Env.Temp.Path() + "other/";
        std::filesystem::create_directories(Other);
        Env.S.Layout = TLayout::Iem;
        Env.S.SaveGifChk.Checked = false;
        Env.S.LegendChk.Checked = true; // no legend file in this layout: the strip is left out
        Env.S.TargetCmb.Items = {Env.Underlays, Other};
        R.Radar = "IL,Chicago,LOT";
        R.RemoteName = "LOT_N0R_0";
        R.LegendName = "LOT_N0R_Legend_0.gif";
        R.LocalName = "LOT_N0R_0.bmp";
        R.LastImage = kImageTime;
        R.Accumulate = true;
        TGifImage gif;
        std::string error;
        ASSERT_TRUE(DecodeGif(SyntheticSiteGif("LOT", "N0B", kImageTime), gif, error)) << error;
        const TBitmap8 picture = RenderFirstFrame(gif);
        WriteFile(Env.Program + "LOT_N0R_0.png", EncodePalettePng(picture, picture.PaletteCount, gif.TransparentIndex()));
        WriteFile(Env.Program + "LOT_N0R_0.wld", kIemSiteWorld);
        R.ReadWorldFile(Env.Program + "LOT_N0R_0.wld");
    }
    bool Convert() { return TConverter(Env.S).ConvertSiteImage(R, Env.Program + R.LocalName); }
};

} // namespace

TEST_F(IemSiteConvert, PngBecomesACaptionedBmpWithBoundsAndTheRawFilesGoOnward)
{
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_EQ("OK", R.Status);
    const QImage out = Decode(ReadFile(Env.Underlays + "lot_n0r_0.bmp"), "BMP");
    ASSERT_FALSE(out.isNull());
    EXPECT_EQ(kSiteWidth, out.width());
    EXPECT_EQ(kSiteHeight, out.height());
    // Caption bands: white with black text; outside them the clear parts are white.
    int black = 0;
    for (int x = 30; x < kSiteWidth - 30; ++x)
        black += out.pixel(x, 6) == qRgb(0, 0, 0);
    EXPECT_GT(black, 20);
    EXPECT_EQ(qRgb(255, 255, 255), out.pixel(31, 1));
    EXPECT_EQ(qRgb(255, 255, 255), out.pixel(2, 100)); // no echo at the image's edge
    // Bounds from the ".wld" and the picture size: 600 x 0.005 wide, 550 x 0.005 high.
    EXPECT_EQ("-91.7525024414062,43.6525001525879,-88.7525024414062,40.9025001525879", R.Bounds);
    EXPECT_EQ(R.Bounds + "\r\n", ReadFile(Env.Underlays + "lot_n0r_0.Sat"));
    // A Server hands the PNG and its world file to the other target for its Clients.
    EXPECT_TRUE(Exists(Other + "LOT_N0R_0.png"));
    EXPECT_TRUE(Exists(Other + "LOT_N0R_0.wld"));
    EXPECT_FALSE(Exists(Other + "LOT_N0R_0.gif"));

    // The next image shifts the series.
    Age(Env.Underlays + "lot_n0r_0.bmp", 300);
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_TRUE(FileExists(Env.Underlays + "lot_n0r_01.bmp")); // the map program's names ignore case
}

TEST_F(IemSiteConvert, NativeOutputOfAPngIsAGifUnderlay)
{
    Env.S.SaveGifChk.Checked = true;
    R.LocalName = "LOT_N0R_0.gif";
    ASSERT_TRUE(Convert()) << R.Status;
    TGifImage gif;
    std::string error;
    ASSERT_TRUE(DecodeGif(ReadFile(Env.Underlays + "lot_n0r_0.gif"), gif, error)) << error;
    EXPECT_EQ(kSiteWidth, gif.ScreenWidth);
    EXPECT_LE(gif.FirstColourTable().size(), 256u);
    EXPECT_EQ((TRgb{255, 255, 255}), ColourAt(gif, 2, 100));
}

TEST_F(IemSiteConvert, DamagedPngIsToldAsAPngNotAGif)
{
    std::string png = ReadFile(Env.Program + "LOT_N0R_0.png");
    WriteFile(Env.Program + "LOT_N0R_0.png", png.substr(0, png.size() / 2));
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error loading png")) << R.Status;
    EXPECT_EQ(std::string::npos, R.Status.find("gif")) << R.Status;
}

TEST(PngSiteImage, InterlacedFileGivesThePictureOfAPlainOne)
{
    // Few colours first (exact palette), then more than 256 (halftone): both paths must
    // place every pass's pixels where the plain file has them.
    for (const int colours : {40, 700}) {
        const auto pattern = [colours](int y, uint8_t* out) {
            for (int x = 0; x < 61; ++x, out += 4) {
                const int c = (x * 7 + y * 13) % colours;
                out[0] = uint8_t(c * 5);
                out[1] = uint8_t(c / 3);
                out[2] = uint8_t(255 - c % 256);
                out[3] = (x + y) % 11 == 0 ? 0 : 255; // some clear pixels: white
            }
        };
        TTempDir dir;
        const std::string plainPath = dir.Write("plain.png", EncodePngRgba(61, 29, pattern));
        const std::string passPath = dir.Write("passes.png", EncodePngRgba(61, 29, pattern, 6, true));
        TGifImage plain, passes;
        std::string error;
        ASSERT_TRUE(LoadPngSiteImage(plainPath, plain, error)) << error;
        ASSERT_TRUE(LoadPngSiteImage(passPath, passes, error)) << error;
        ASSERT_EQ(plain.Frames.size(), 1u);
        ASSERT_EQ(passes.Frames.size(), 1u);
        const auto& a = plain.Frames[0].Pixels;
        const auto& b = passes.Frames[0].Pixels;
        ASSERT_EQ(a.size(), b.size());
        // The palettes may list the colours in another order; the colours must agree.
        for (size_t i = 0; i < a.size(); ++i) {
            const TRgb ca = plain.GlobalMap.at(a[i]), cb = passes.GlobalMap.at(b[i]);
            ASSERT_TRUE(ca.R == cb.R && ca.G == cb.G && ca.B == cb.B) << colours << " colours, pixel " << i;
        }
    }
}
