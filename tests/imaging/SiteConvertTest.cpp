// Site image conversion end to end on generated RIDGE files.
#include "ImagingTestEnv.h"
#include "core/Text.h"
#include "imaging/Convert.h"
#include "imaging/Font.h"
#include "imaging/GifCodec.h"
#include "imaging/Synthetic.h"
#include <QTimer>
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

constexpr TDateTime kImageTime = 46000.5 + 17.0 / 1440.0; // 12/09/2025 12:17 UTC

class SiteConvertTest : public ::testing::Test {
protected:
    TImagingEnv Env;
    TRadarObj R = TRadarObj::Create(Env.Clock);
    std::string Other;

    void SetUp() override
    {
        Other = Env.Temp.Path() + "other/";
        std::filesystem::create_directories(Other);
        Env.S.SaveGifChk.Checked = false;
        Env.S.LegendChk.Checked = true;
        Env.S.TargetCmb.Items = {Env.Underlays, Other};
        R.Radar = "LOT Chicago, IL";
        R.RemoteName = "LOT_N0R_0";
        R.LegendName = "LOT_N0R_Legend_0.gif";
        R.LocalName = "LOT_N0R_0.gif";
        R.LastImage = kImageTime;
        PutRawFiles(Env.Program);
    }
    void PutRawFiles(const std::string& dir)
    {
        WriteFile(dir + "LOT_N0R_0.gif", SyntheticSiteGif("LOT", "N0R", kImageTime));
        WriteFile(dir + "LOT_N0R_0.gfw", SyntheticSiteWorldFile("LOT"));
        WriteFile(dir + "LOT_N0R_Legend_0.gif", SyntheticLegendGif("LOT", "N0R"));
        R.ReadWorldFile(dir + "LOT_N0R_0.gfw");
    }
    bool Convert() { return TConverter(Env.S).ConvertSiteImage(R, Env.Program + R.LocalName); }
    std::string Raw() const { return Env.Program + "LOT_N0R_0.gif"; }
};

bool IsWhiteOrBlack(QRgb c) { return c == qRgb(253, 253, 253) || c == qRgb(0, 0, 0); }

} // namespace

TEST_F(SiteConvertTest, BmpUnderlayHasCaptionBandsLegendStripAndBounds)
{
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_EQ(R.Status, "OK");
    EXPECT_TRUE(StartsWith(Env.S.FileLbl.Caption(), "Processed and transferred raw files in "));
    EXPECT_TRUE(EndsWith(Env.S.FileLbl.Caption(), " sec at 12:00:00"));
    const QImage out = Decode(ReadFile(Env.Underlays + "lot_n0r_0.bmp"), "BMP");
    ASSERT_FALSE(out.isNull());
    ASSERT_EQ(out.width(), 600);
    ASSERT_EQ(out.height(), 550);
    EXPECT_EQ(out.colorCount(), 256);
    const QImage src = Decode(SyntheticSiteGif("LOT", "N0R", kImageTime), "GIF");
    const QImage legend = Decode(SyntheticLegendGif("LOT", "N0R"), "GIF");

    const std::string caption = "Stormfetch 2.9.1 - Radar image lot_n0r_0 from LOT Chicago, IL 12/09/2025 12:17 UTC";
    EXPECT_EQ(CaptionText("lot_n0r_0", R), caption);
    TFont font("Arial", 8);
    const int tw = font.TextWidth(caption);
    const int x0 = 300 - tw / 2;
    int blackTop = 0, blackBottom = 0;
    for (int y = 0; y < 550; ++y)
        for (int x = 0; x < 600; ++x) {
            const QRgb c = out.pixel(x, y);
            const bool inStrip = x >= 555 && y >= 200;
            const bool inTop = x >= 30 && x < 570 && y < 15;
            const bool inBottom = x >= 30 && x < 570 && y >= 538;
            const bool inText = x >= x0 && x < x0 + tw && (y >= 2 || y >= 538);
            if (inStrip) {
                // Legend colours mapped to the nearest colour of the site palette.
                const QRgb l = legend.pixel(x, y);
                TRgb table[16] = {{0, 0, 0}};
                for (int i = 0; i < 15; ++i)
                    table[i + 1] = N0RColours()[size_t(i)];
                const TRgb n = table[NearestIndex(table, 16, TRgb{uint8_t(qRed(l)), uint8_t(qGreen(l)), uint8_t(qBlue(l))})];
                ASSERT_EQ(c, qRgb(n.R, n.G, n.B)) << x << "," << y;
            } else if (inTop || inBottom) {
                ASSERT_TRUE(IsWhiteOrBlack(c)) << x << "," << y;
                if (c == qRgb(0, 0, 0)) {
                    ASSERT_TRUE(inText) << x << "," << y;
                    (inTop ? blackTop : blackBottom)++;
                }
            } else {
                const QRgb s = src.pixel(x, y);
                const QRgb expected = qAlpha(s) == 0 ? qRgb(0, 0, 0) : (s | 0xFF000000u);
                ASSERT_EQ(c, expected) << x << "," << y;
            }
        }
    EXPECT_GT(blackTop, 200);
    EXPECT_GT(blackBottom, 100);
    EXPECT_LE(blackBottom, blackTop); // the bottom caption may run off the picture

    R.SetBounds(600, 550);
    EXPECT_GT(R.Bounds.size(), 8u);
    EXPECT_EQ(ReadFile(Env.Underlays + "lot_n0r_0.Sat"), R.Bounds + "\r\n");
    EXPECT_TRUE(StartsWith(R.Bounds, "-91.600")) << R.Bounds; // LOT at -88.08 less 300 pixels
    // The other target receives the raw files, not the underlay.
    EXPECT_TRUE(Exists(Other + "LOT_N0R_0.gif"));
    EXPECT_TRUE(Exists(Other + "LOT_N0R_0.gfw"));
    EXPECT_TRUE(Exists(Other + "LOT_N0R_Legend_0.gif"));
    EXPECT_FALSE(Exists(Other + "lot_n0r_0.bmp"));
    EXPECT_FALSE(Exists(Other + "lot_n0r_0.Sat"));
}

TEST_F(SiteConvertTest, NativeOutputIsTheDecodedPictureWithoutCaption)
{
    Env.S.SaveGifChk.Checked = true;
    ASSERT_TRUE(Convert()) << R.Status;
    const std::string written = ReadFile(Env.Underlays + "lot_n0r_0.gif");
    TGifImage a, b;
    std::string error;
    ASSERT_TRUE(DecodeGif(written, a, error));
    ASSERT_TRUE(DecodeGif(SyntheticSiteGif("LOT", "N0R", kImageTime), b, error));
    EXPECT_EQ(a.Frames[0].Pixels, b.Frames[0].Pixels);
    EXPECT_EQ(a.FirstColourTable(), b.FirstColourTable());
    EXPECT_EQ(a.TransparentIndex(), 0);
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_0.bmp"));
}

TEST_F(SiteConvertTest, TargetsAndModesDecideWhatGoesWhere)
{
    Env.S.TargetCmb.Items.clear();
    ASSERT_TRUE(Convert());
    EXPECT_EQ(R.Status, "OK");
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_0.bmp"));

    Env.S.TargetCmb.Items = {Env.Underlays};
    ASSERT_TRUE(Convert());
    EXPECT_TRUE(StartsWith(Env.S.Sbar.Panel(0), "Saved 1 lot_n0r_0.bmp at ")) << Env.S.Sbar.Panel(0);

    Env.S.TargetCmb.Items = {Env.Underlays + "missing/", Other};
    Env.S.QuorUnderlayPath.clear();
    ASSERT_TRUE(Convert());
    EXPECT_FALSE(Exists(Other + "LOT_N0R_0.gif")); // no underlay folder known: nothing copied
    EXPECT_TRUE(StartsWith(Env.S.FileLbl.Caption(), "Processed and transferred raw files in "));
}

TEST_F(SiteConvertTest, ClientModeReadsBesideTheGivenPathAndCopiesNothing)
{
    Env.S.ModeGrp.ItemIndex = 1;
    PutRawFiles(Env.Underlays);
    ASSERT_TRUE(TConverter(Env.S).ConvertSiteImage(R, Env.Underlays + R.LocalName)) << R.Status;
    EXPECT_TRUE(Exists(Env.Underlays + "lot_n0r_0.bmp"));
    EXPECT_FALSE(Exists(Other + "LOT_N0R_0.gif"));
    EXPECT_TRUE(StartsWith(Env.S.FileLbl.Caption(), "Processed files in "));
}

TEST_F(SiteConvertTest, ClientNativeRawImageIsTheCurrentUnderlay)
{
    // On the map program's file system LOT_N0R_0.gif and lot_n0r_0.gif are one file.
    Env.S.ModeGrp.ItemIndex = 1;
    Env.S.SaveGifChk.Checked = true;
    R.Accumulate = true;
    PutRawFiles(Env.Underlays);
    std::filesystem::rename(Env.Underlays + "LOT_N0R_0.gif", Env.Underlays + "lot_n0r_0.gif");
    const std::string p = Env.Underlays + R.LocalName;
    EXPECT_TRUE(RawIsUnderlay(Env.S, R, p));
    ASSERT_TRUE(TConverter(Env.S).ConvertSiteImage(R, p)) << R.Status;
    TGifImage now;
    std::string error;
    ASSERT_TRUE(LoadGifFile(Env.Underlays + "lot_n0r_0.gif", now, error)) << error;
    // The delivered image is the new underlay itself, not a previous one to keep.
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_01.gif"));
    EXPECT_FALSE(RawIsUnderlay(Env.S, R, Env.Program + R.LocalName));
}

TEST_F(SiteConvertTest, RedrawOnlyForTheMapsCurrentUnderlay)
{
    int redraws = 0;
    Env.S.Hooks.RedrawMap = [&] { ++redraws; };
    Env.S.UnderlayName = "LOT_N0R_0.BMP";
    ASSERT_TRUE(Convert());
    EXPECT_EQ(redraws, 1);
    Env.S.RedrawChk.Enabled = false;
    ASSERT_TRUE(Convert());
    EXPECT_EQ(redraws, 1);
    Env.S.RedrawChk.Enabled = true;
    Env.S.UnderlayName = "dvn_n0r_0.bmp";
    ASSERT_TRUE(Convert());
    EXPECT_EQ(redraws, 1);
}

TEST_F(SiteConvertTest, MissingFilesAreReported)
{
    std::filesystem::remove(Env.Program + "LOT_N0R_0.gfw");
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, "Error File " + Env.Program + "LOT_N0R_0.gfw does not exist, cannot convert");
    std::filesystem::remove(Raw());
    EXPECT_FALSE(Convert());
    EXPECT_EQ(Env.S.FileLbl.Caption(), "File " + Raw() + " does not exist, cannot convert");
    EXPECT_NE(Env.Log().find("File " + Raw() + " does not exist, cannot convert"), std::string::npos);
}

TEST_F(SiteConvertTest, TooSmallRawFileIsDeletedAtTwoHundredFortyNineBytes)
{
    WriteFile(Raw(), std::string(249, 'G'));
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, "Error - " + Raw() + "= 249 bytes, file too small");
    EXPECT_FALSE(Exists(Raw()));
    WriteFile(Raw(), std::string(250, 'G'));
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status.find(Raw() + "-"), 0u);
    EXPECT_TRUE(EndsWith(R.Status, " Error loading gif")) << R.Status;
    EXPECT_TRUE(Exists(Raw()));
}

TEST_F(SiteConvertTest, NarrowPictureIsRefusedAndNothingWritten)
{
    TBitmap8 b;
    b.PaletteCount = 2;
    b.Palette[1] = {255, 255, 255};
    b.SetSize(99, 300);
    std::string bytes, error;
    ASSERT_TRUE(EncodeBitmapGif(b, 2, -1, bytes, error));
    bytes.resize(std::max<size_t>(bytes.size(), 300), '\0');
    WriteFile(Raw(), bytes);
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, Raw() + ",99 w by 300 h.  File not saved");
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_0.bmp"));
    EXPECT_FALSE(Exists(Other + "LOT_N0R_0.gif"));
}

TEST_F(SiteConvertTest, DamagedOrForgedImagesFailInTheLoadingPhase)
{
    const std::string good = SyntheticSiteGif("LOT", "N0R", kImageTime);
    WriteFile(Raw(), good.substr(0, good.size() / 3));
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error loading gif")) << R.Status;
    EXPECT_TRUE(StartsWith(Env.S.FileLbl.Caption(), R.Status + " at ")) << Env.S.FileLbl.Caption();

    std::string forged = "GIF89a" + std::string("\x30\x75\x30\x75\x00\x00\x00", 7);
    forged.resize(400, '\0');
    WriteFile(Raw(), forged);
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error loading gif")) << R.Status;
    EXPECT_NE(R.Status.find("too large"), std::string::npos) << R.Status;

    WriteFile(Raw(), good.substr(0, good.size() - 1)); // only the trailer missing
    EXPECT_TRUE(Convert()) << R.Status;
}

TEST_F(SiteConvertTest, LaterPhasesReportTheirOwnMessages)
{
    WriteFile(Env.Program + "LOT_N0R_Legend_0.gif", std::string(300, 'x'));
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error creating legend gif")) << R.Status;
    Env.S.LegendChk.Checked = false;
    EXPECT_TRUE(Convert()) << R.Status;

    std::filesystem::remove(Env.Underlays + "lot_n0r_0.bmp");
    std::filesystem::create_directory(Env.Underlays + "lot_n0r_0.bmp"); // cannot be replaced
    EXPECT_FALSE(Convert());
    EXPECT_TRUE(EndsWith(R.Status, " Error saving bmp")) << R.Status;
    EXPECT_NE(Env.Log().find(R.Status), std::string::npos);
    std::filesystem::remove(Env.Underlays + "lot_n0r_0.bmp");

    Env.S.UnderlayName = "lot_n0r_0.bmp";
    Env.S.Hooks.RedrawMap = [] { throw std::runtime_error("automation gone"); };
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, Raw() + "-automation gone Error redrawing Map");
}

TEST_F(SiteConvertTest, TinyPreviousUnderlayIsReportedAndReplaced)
{
    R.Accumulate = true;
    WriteFile(Env.Underlays + "lot_n0r_0.bmp", std::string(100, 'b'));
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_NE(Env.Log().find("Error - previous lot_n0r_0.bmp file size = 100 accum images process not used."), std::string::npos);
    EXPECT_GT(ReadFile(Env.Underlays + "lot_n0r_0.bmp").size(), 300000u);
    EXPECT_FALSE(Exists(Env.Underlays + "LOT_N0R_01.bmp"));
    ASSERT_TRUE(Convert());
    EXPECT_TRUE(Exists(Env.Underlays + "LOT_N0R_01.bmp")); // a full previous underlay is shifted
    EXPECT_TRUE(Exists(Env.Underlays + "LOT_N0R_01.sat"));
}

TEST_F(SiteConvertTest, AnUnderlaySaveReplacesTheFileInsteadOfRewritingIt)
{
    // The map server may hold the old underlay open: the new one must be a new file,
    // so a hard link to the old one still reads the old bytes.
    const std::string old(20000, 'o');
    for (bool native : {false, true}) {
        Env.S.SaveGifChk.Checked = native;
        const std::string name = native ? "lot_n0r_0.gif" : "lot_n0r_0.bmp";
        WriteFile(Env.Underlays + name, old);
        std::filesystem::remove(Env.Temp.Path() + "held");
        std::filesystem::create_hard_link(Env.Underlays + name, Env.Temp.Path() + "held");
        PutRawFiles(Env.Program);
        ASSERT_TRUE(Convert()) << R.Status;
        EXPECT_EQ(ReadFile(Env.Temp.Path() + "held"), old) << name;
        const std::string now = ReadFile(Env.Underlays + name);
        EXPECT_NE(now, old) << name;
        EXPECT_EQ(now.substr(0, 2), native ? "GI" : "BM") << name;
    }
}

TEST_F(SiteConvertTest, CancelEndsQuietly)
{
    Env.S.Cancel = true;
    R.Status = "before";
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, "before");
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_0.bmp"));
}

TEST_F(SiteConvertTest, ANewLegendFileIsDecodedAgain)
{
    TConverter converter(Env.S);
    const std::string p = Env.Program + R.LocalName;
    ASSERT_TRUE(converter.ConvertSiteImage(R, p));
    const QImage before = Decode(ReadFile(Env.Underlays + "lot_n0r_0.bmp"), "BMP");
    EXPECT_EQ(before.pixel(570, 215), qRgb(4, 233, 231));

    // Same size, other colours: the strip must follow the file, not an earlier decoding.
    TBitmap8 b;
    b.Palette[0] = {255, 255, 255};
    b.Palette[1] = {253, 0, 0};
    b.PaletteCount = 2;
    b.SetSize(600, 550, 1);
    std::string bytes, error;
    ASSERT_TRUE(EncodeBitmapGif(b, 2, -1, bytes, error));
    WriteFile(Env.Program + "LOT_N0R_Legend_0.gif", bytes);
    Age(Env.Program + "LOT_N0R_Legend_0.gif", 5);
    ASSERT_TRUE(converter.ConvertSiteImage(R, p)) << R.Status;
    const QImage after = Decode(ReadFile(Env.Underlays + "lot_n0r_0.bmp"), "BMP");
    EXPECT_EQ(after.pixel(570, 215), qRgb(253, 0, 0));

    WriteFile(Env.Program + "LOT_N0R_Legend_0.gif", std::string(400, 'z'));
    EXPECT_FALSE(converter.ConvertSiteImage(R, p));
    EXPECT_TRUE(EndsWith(R.Status, " Error creating legend gif")) << R.Status;
}

TEST_F(SiteConvertTest, NoBoundsFileWithoutGeoReference)
{
    R.Left = 0; // no world file was read
    ASSERT_TRUE(Convert());
    EXPECT_TRUE(R.Bounds.empty());
    EXPECT_TRUE(Exists(Env.Underlays + "lot_n0r_0.bmp"));
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_0.Sat"));
}

TEST_F(SiteConvertTest, CancelSeenAfterTheFirstPump)
{
    QTimer::singleShot(0, [this] { Env.S.Cancel = true; });
    R.Status = "before";
    EXPECT_FALSE(Convert());
    EXPECT_EQ(R.Status, "before");
    EXPECT_TRUE(StartsWith(Env.S.FileLbl.Caption(), "Converting " + Raw() + " "));
    EXPECT_FALSE(Exists(Env.Underlays + "lot_n0r_0.bmp"));
}

TEST_F(SiteConvertTest, AFailedRawCopyBeepsAndTheConversionGoesOn)
{
    std::filesystem::create_directory(Other + "LOT_N0R_0.gfw"); // the copy cannot replace a folder
    ASSERT_TRUE(Convert()) << R.Status;
    EXPECT_EQ(Env.Dialogs.Beeps, 1);
    EXPECT_TRUE(Exists(Other + "LOT_N0R_0.gif"));
    EXPECT_TRUE(Exists(Other + "LOT_N0R_Legend_0.gif"));
    EXPECT_TRUE(StartsWith(Env.S.Sbar.Panel(0), "Transferred 2 lot_n0r_0.bmp at ")) << Env.S.Sbar.Panel(0);
}
