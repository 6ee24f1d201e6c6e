// Mosaic conversion: the streamed PNG becomes a halftone BMP with a top caption band.
#include "ImagingTestEnv.h"
#include "core/Text.h"
#include "imaging/Convert.h"
#include "imaging/Font.h"
#include "imaging/PngReader.h"
#include "imaging/Synthetic.h"
#include <gtest/gtest.h>
#include <cstring>
#include <zlib.h>

using namespace sf;
using namespace sf::test;

namespace {

constexpr TDateTime kImageTime = 46000.5;

class MosaicConvertTest : public ::testing::Test {
protected:
    static std::string* Png;
    static void SetUpTestSuite() { Png = new std::string(SyntheticMosaicPng(kImageTime, 5000, 2000)); }
    static void TearDownTestSuite() { delete Png; }

    TImagingEnv Env;
    TRadarObj R = TRadarObj::Create(Env.Clock);
    std::string Other;

    void SetUp() override
    {
        Other = Env.Temp.Path() + "other/";
        std::filesystem::create_directories(Other);
        Env.S.TargetCmb.Items = {Env.Underlays, Other};
        R.Radar = "!!Nat";
        R.RemoteName = "N0R_0";
        R.LocalName = "n0r_0.gif"; // native output mode names it ".gif"
        R.LastImage = kImageTime;
        WriteFile(Raw(), *Png);
        WriteFile(Env.Program + "N0R_0.wld", SyntheticMosaicWorldFile(5000, 2000));
        R.ReadWorldFile(Env.Program + "N0R_0.wld");
    }
    std::string Raw() const { return Env.Program + "N0R_0.png"; }
    bool Convert() { return TConverter(Env.S).ConvertMosaicImage(R, Env.Program + R.LocalName); }
};

std::string* MosaicConvertTest::Png = nullptr;

} // namespace

TEST_F(MosaicConvertTest, BecomesAHalftoneBmpWithBlackMadeWhite)
{
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_EQ(R.Status, "OK");
    const std::string bytes = ReadFile(Env.Underlays + "n0r_0.gif");
    ASSERT_EQ(bytes.substr(0, 2), "BM"); // BMP data under the name the caller gave
    const QImage out = Decode(bytes, "BMP");
    ASSERT_EQ(out.width(), 5000);
    ASSERT_EQ(out.height(), 2000);
    const QImage src = Decode(*Png, "PNG");
    const TPalette& pal = HalftonePalette();
    for (int y : {250, 777, 1000, 1750, 1999}) {
        for (int x = 0; x < 5000; ++x) {
            const QRgb s = src.pixel(x, y);
            TRgb expected{255, 255, 255};
            if (qAlpha(s) != 0) {
                expected = pal[NearestIndex(pal.data(), 256, TRgb{uint8_t(qRed(s)), uint8_t(qGreen(s)), uint8_t(qBlue(s))})];
                if (expected == TRgb{0, 0, 0})
                    expected = TRgb{255, 255, 255};
            }
            ASSERT_EQ(out.pixel(x, y), qRgb(expected.R, expected.G, expected.B)) << x << "," << y;
        }
    }
    // The graticule is pure black in the mosaic and white in the underlay.
    EXPECT_EQ(qAlpha(src.pixel(250, 1000)), 255);
    EXPECT_EQ(src.pixel(250, 1000) & 0xFFFFFF, 0u);
    EXPECT_EQ(out.pixel(250, 1000), qRgb(255, 255, 255));

    // Caption band at the top only, as high as "YyXp" in 10-point Arial.
    TFont font("Arial", 10);
    const int bandBottom = font.TextHeight("YyXp");
    int black = 0;
    for (int y = 0; y < bandBottom; ++y)
        for (int x = 30; x < 4970; ++x) {
            const QRgb c = out.pixel(x, y);
            ASSERT_TRUE(c == qRgb(255, 255, 255) || c == qRgb(0, 0, 0)) << x << "," << y;
            black += c == qRgb(0, 0, 0);
        }
    EXPECT_GT(black, 300);
    EXPECT_EQ(ReadFile(Env.Underlays + "n0r_0.Sat"), R.Bounds + "\r\n");
    EXPECT_TRUE(Exists(Other + "N0R_0.png"));
    EXPECT_TRUE(Exists(Other + "N0R_0.wld"));
    EXPECT_FALSE(Exists(Other + "n0r_0.gif"));
}

TEST_F(MosaicConvertTest, CaptionTextStartsOnRowTwo)
{
    ASSERT_TRUE(Convert()) << R.Status;
    const QImage out = Decode(ReadFile(Env.Underlays + "n0r_0.gif"), "BMP");
    ASSERT_EQ(out.width(), 5000);
    // The band drawn independently: white, the caption centred with its top on row 2.
    TFont font("Arial", 10);
    const int band = font.TextHeight("YyXp");
    const std::string caption = CaptionText(MosaicNames(Env.S, R, Env.Program + R.LocalName).Stem, R);
    TBitmap8 expected;
    expected.Palette = HalftonePalette();
    expected.SetSize(5000, band + 4, 255);
    font.TextOut(expected, 2500 - font.TextWidth(caption) / 2, 2, caption, 0, 255);
    int differing = 0, firstInkRow = -1;
    for (int y = 0; y < band; ++y)
        for (int x = 30; x < 4970; ++x) {
            const TRgb e = expected.PixelColour(x, y);
            const bool ink = out.pixel(x, y) == qRgb(0, 0, 0);
            differing += out.pixel(x, y) != qRgb(e.R, e.G, e.B);
            if (ink && firstInkRow < 0)
                firstInkRow = y;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GE(firstInkRow, 2); // nothing drawn above the text's top row
}

TEST_F(MosaicConvertTest, LegendOptionHasNoEffect)
{
    Env.S.LegendChk.Checked = true;
    R.LegendName = "N0R_Legend_0.gif";
    WriteFile(Env.Program + R.LegendName, SyntheticLegendGif("US", "N0R"));
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_FALSE(Exists(Other + R.LegendName));
    EXPECT_TRUE(Exists(Other + "N0R_0.png"));
}

TEST_F(MosaicConvertTest, NarrowOrLowMosaicIsRefused)
{
    WriteFile(Raw(), SyntheticMosaicPng(kImageTime, 4999, 2000));
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, "Error " + Raw() + " too small ,4999 w by 2000 h.  File not saved");
    WriteFile(Raw(), SyntheticMosaicPng(kImageTime, 5000, 1999));
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(StartsWith(R.Status, "Error ")) << R.Status;
    EXPECT_FALSE(Exists(Env.Underlays + "n0r_0.gif"));
}

TEST_F(MosaicConvertTest, DamagedPngFailsInTheLoadingPhase)
{
    WriteFile(Raw(), Png->substr(0, Png->size() / 2));
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(StartsWith(R.Status, Raw() + "-")) << R.Status;
    EXPECT_TRUE(EndsWith(R.Status, " Error loading Png")) << R.Status;
    EXPECT_FALSE(Exists(Env.Underlays + "n0r_0.gif"));
    EXPECT_TRUE(std::filesystem::is_empty(Env.Underlays)); // no temporary either
}

// An interlaced mosaic arrives pass by pass, each row in seven pieces; the underlay must
// be the plain one's, byte for byte.
TEST_F(MosaicConvertTest, AnInterlacedMosaicGivesTheSameUnderlayAsAPlainOne)
{
    ASSERT_TRUE(Convert()) << R.Status;
    const std::string plain = ReadFile(Env.Underlays + "n0r_0.gif");
    const QImage src = Decode(*Png, "PNG").convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(src.width(), 5000);
    WriteFile(Raw(), EncodePngRgba(5000, 2000,
        [&](int y, uint8_t* out) { std::memcpy(out, src.constScanLine(y), 5000 * 4); }, 1, true));
    ASSERT_TRUE(Convert()) << R.Status;
    const std::string interlaced = ReadFile(Env.Underlays + "n0r_0.gif");
    ASSERT_EQ(plain.size(), interlaced.size());
    EXPECT_TRUE(plain == interlaced);
}

TEST_F(MosaicConvertTest, ForgedHugeHeaderIsRefusedBeforeAnyAllocation)
{
    const auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    std::string ihdr = "IHDR" + be32(30000) + be32(2500) + std::string("\x08\x06\x00\x00\x00", 5);
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), uInt(ihdr.size())));
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc);
    png.resize(400, '\0');
    WriteFile(Raw(), png);
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error loading Png")) << R.Status;
    EXPECT_NE(R.Status.find("30000 x 2500 out of range"), std::string::npos) << R.Status;
}

TEST_F(MosaicConvertTest, PreviousUnderlayBelowThreeThousandBytesIsDeleted)
{
    R.Accumulate = true;
    WriteFile(Env.Underlays + "n0r_0.gif", std::string(2999, 'b'));
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_NE(Env.Log().find("Error - previous n0r_0.gif file size = 2999 accum images process not used."), std::string::npos);
    std::filesystem::remove(Env.Underlays + "n0r_0.gif");
    WriteFile(Env.Underlays + "n0r_0.gif", std::string(3000, 'b'));
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_EQ(Env.Log().find("file size = 3000"), std::string::npos);
    EXPECT_FALSE(Exists(Env.Underlays + "N0R_01.bmp"));
}

TEST_F(MosaicConvertTest, RedrawFailureHasItsOwnPhase)
{
    Env.S.UnderlayName = "N0R_0.GIF";
    Env.S.Hooks.RedrawMap = [] { throw std::runtime_error("no map"); };
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, Raw() + "-no map Error redrawing UiView map");
    std::filesystem::create_directory(Env.Underlays + "x");
    std::filesystem::remove(Env.Underlays + "n0r_0.gif");
    std::filesystem::create_directory(Env.Underlays + "n0r_0.gif");
    Env.S.Hooks.RedrawMap = nullptr;
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error saving dest")) << R.Status;
}
