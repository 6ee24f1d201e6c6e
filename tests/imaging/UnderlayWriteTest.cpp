// The underlay's write order and naming: a full disk leaves the current underlay and its
// series in place, a delivered raw image enters the series once, and a mosaic written
// under a ".gif" name still gets its loop series.
#include "ImagingTestEnv.h"
#include "core/Text.h"
#include "imaging/Convert.h"
#include "imaging/GifCodec.h"
#include "imaging/Synthetic.h"
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace sf;
using namespace sf::test;

namespace {

constexpr TDateTime kImageTime = 46000.5 + 17.0 / 1440.0; // 12/09/2025 12:17 UTC

/// Makes every file write of this process fail beyond a few kilobytes, as on a full disk,
/// while renames and deletes still work; restored when it goes out of scope.
class TDiskAlmostFull {
public:
    TDiskAlmostFull()
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        rlimit small = m_saved;
        small.rlim_cur = 8192;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~TDiskAlmostFull()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

class UnderlayWriteTest : public ::testing::Test {
protected:
    TImagingEnv Env;
    TRadarObj R = TRadarObj::Create(Env.Clock);

    void SetUp() override
    {
        Env.S.TargetCmb.Items = {Env.Underlays};
        Env.S.LegendChk.Checked = false;
        R.Radar = "LOT Chicago, IL";
        R.RemoteName = "LOT_N0R_0";
        R.LegendName = "LOT_N0R_Legend_0.gif";
        R.LastImage = kImageTime;
        R.Accumulate = true;
    }
    void PutSiteRaw(const std::string& dir, TDateTime time = kImageTime)
    {
        WriteFile(dir + "LOT_N0R_0.gif", SyntheticSiteGif("LOT", "N0R", time));
        WriteFile(dir + "LOT_N0R_0.gfw", SyntheticSiteWorldFile("LOT"));
        R.ReadWorldFile(dir + "LOT_N0R_0.gfw");
    }
    /// A file in the underlay folder matching name ignoring case; "" when none.
    std::string Find(const std::string& name) const
    {
        for (auto& e : std::filesystem::directory_iterator(Env.Underlays))
            if (SameText(e.path().filename().string(), name))
                return e.path().string();
        return {};
    }
    int CountIgnoringCase(const std::string& name) const
    {
        int n = 0;
        for (auto& e : std::filesystem::directory_iterator(Env.Underlays))
            n += SameText(e.path().filename().string(), name) ? 1 : 0;
        return n;
    }
    /// Hidden temporaries left in the underlay folder.
    int Leftovers() const
    {
        int n = 0;
        for (auto& e : std::filesystem::directory_iterator(Env.Underlays))
            n += StartsWith(e.path().filename().string(), ".") ? 1 : 0;
        return n;
    }
    /// The first frame's pixels of a GIF in the underlay folder (empty when unreadable).
    std::vector<uint8_t> Pixels(const std::string& name) const
    {
        TGifImage gif;
        std::string error;
        const std::string path = Find(name);
        if (path.empty() || !LoadGifFile(path, gif, error) || gif.Frames.empty())
            return {};
        return gif.Frames[0].Pixels;
    }
    static std::vector<uint8_t> PixelsOf(const std::string& bytes)
    {
        TGifImage gif;
        std::string error;
        if (!DecodeGif(bytes, gif, error) || gif.Frames.empty())
            return {};
        return gif.Frames[0].Pixels;
    }
    static std::string Blob(const std::string& tag, size_t size = 12000)
    {
        std::string bytes = tag + ":";
        bytes.resize(size, 'x');
        return bytes;
    }
};

} // namespace

TEST_F(UnderlayWriteTest, AFailedWriteLeavesTheCurrentUnderlayAndSeriesInPlace)
{
    struct TCase {
        const char* Label;
        bool Native, Mosaic;
        std::string Underlay, Member;
    };
    const TCase cases[] = {
        {"site bmp", false, false, "lot_n0r_0.bmp", "LOT_N0R_01.bmp"},
        {"site native", true, false, "lot_n0r_0.gif", "lot_n0r_01.gif"},
        {"mosaic", false, true, "N0R_0.bmp", "N0R_01.bmp"},
    };
    const std::string png = SyntheticMosaicPng(kImageTime, 5000, 2000);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        std::filesystem::remove_all(Env.Underlays);
        std::filesystem::create_directories(Env.Underlays);
        Env.S.SaveGifChk.Checked = c.Native;
        WriteFile(Env.Underlays + c.Underlay, Blob("current"));
        WriteFile(Env.Underlays + c.Member, Blob("member"));
        Age(Env.Underlays + c.Member, 600);
        bool ok = true;
        if (c.Mosaic) {
            R.RemoteName = "N0R_0";
            WriteFile(Env.Program + "N0R_0.png", png);
            WriteFile(Env.Program + "N0R_0.wld", SyntheticMosaicWorldFile(5000, 2000));
            R.ReadWorldFile(Env.Program + "N0R_0.wld");
            TDiskAlmostFull full;
            ok = TConverter(Env.S).ConvertMosaicImage(R, Env.Program + "N0R_0.bmp");
        } else {
            R.RemoteName = "LOT_N0R_0";
            PutSiteRaw(Env.Program);
            TDiskAlmostFull full;
            ok = TConverter(Env.S).ConvertSiteImage(R, Env.Program + "LOT_N0R_0.bmp");
        }
        EXPECT_FALSE(ok);
        EXPECT_NE(R.Status.find(c.Mosaic ? "Error saving dest" : "Error saving bmp"), std::string::npos) << R.Status;
        EXPECT_EQ(ReadFile(Env.Underlays + c.Underlay), Blob("current"));
        EXPECT_EQ(ReadFile(Env.Underlays + c.Member), Blob("member"));
        EXPECT_EQ(Find(c.Underlay.substr(0, c.Underlay.find('.')) + "2" + c.Underlay.substr(c.Underlay.find('.'))), "");
        EXPECT_EQ(Leftovers(), 0);
    }
}

TEST_F(UnderlayWriteTest, ASuccessfulWriteShiftsThenTakesTheCurrentName)
{
    Env.S.SaveGifChk.Checked = false;
    WriteFile(Env.Underlays + "lot_n0r_0.bmp", Blob("current"));
    PutSiteRaw(Env.Program);
    ASSERT_TRUE(TConverter(Env.S).ConvertSiteImage(R, Env.Program + "LOT_N0R_0.bmp")) << R.Status;
    EXPECT_EQ(ReadFile(Find("lot_n0r_01.bmp")), Blob("current"));
    EXPECT_EQ(ReadFile(Find("lot_n0r_0.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(Leftovers(), 0);
}

TEST_F(UnderlayWriteTest, ClientNativeDeliveredImageEntersTheSeriesOnce)
{
    // The server's copy of LOT_N0R_0.gif replaced the client's underlay (one file, as on
    // the map program's file system); the older member must stay where it was.
    Env.S.ModeGrp.ItemIndex = 1;
    Env.S.SaveGifChk.Checked = true;
    const std::string older = SyntheticSiteGif("LOT", "N0R", kImageTime - 10.0 / 1440.0);
    WriteFile(Env.Underlays + "lot_n0r_01.gif", older);
    Age(Env.Underlays + "lot_n0r_01.gif", 600);
    PutSiteRaw(Env.Underlays);
    const std::vector<uint8_t> delivered = Pixels("LOT_N0R_0.gif");
    ASSERT_NE(delivered, PixelsOf(older));
    std::filesystem::rename(Env.Underlays + "LOT_N0R_0.gif", Env.Underlays + "lot_n0r_0.gif");
    ASSERT_TRUE(TConverter(Env.S).ConvertSiteImage(R, Env.Underlays + "LOT_N0R_0.gif")) << R.Status;
    EXPECT_EQ(Pixels("lot_n0r_0.gif"), delivered);
    EXPECT_EQ(Pixels("lot_n0r_01.gif"), PixelsOf(older));
    EXPECT_EQ(Find("lot_n0r_02.gif"), "");
}

TEST_F(UnderlayWriteTest, ClientNativeDeliveredBesideThePreviousUnderlay)
{
    // On a case-sensitive folder the delivered LOT_N0R_0.gif sits beside the previous
    // lot_n0r_0.gif: the previous one becomes member 1, the delivered one the underlay.
    Env.S.ModeGrp.ItemIndex = 1;
    Env.S.SaveGifChk.Checked = true;
    const std::string previous = SyntheticSiteGif("LOT", "N0R", kImageTime - 5.0 / 1440.0);
    WriteFile(Env.Underlays + "lot_n0r_0.gif", previous);
    Age(Env.Underlays + "lot_n0r_0.gif", 300);
    PutSiteRaw(Env.Underlays);
    const std::vector<uint8_t> delivered = Pixels("LOT_N0R_0.gif");
    ASSERT_NE(delivered, PixelsOf(previous));
    ASSERT_TRUE(TConverter(Env.S).ConvertSiteImage(R, Env.Underlays + "LOT_N0R_0.gif")) << R.Status;
    EXPECT_EQ(CountIgnoringCase("lot_n0r_0.gif"), 1);
    EXPECT_EQ(Pixels("lot_n0r_0.gif"), delivered);
    EXPECT_EQ(Pixels("lot_n0r_01.gif"), PixelsOf(previous));
    EXPECT_EQ(Find("lot_n0r_02.gif"), "");
}

TEST_F(UnderlayWriteTest, NativeMosaicGetsItsSeries)
{
    Env.S.SaveGifChk.Checked = true;
    R.RemoteName = "N0R_0";
    WriteFile(Env.Program + "N0R_0.png", SyntheticMosaicPng(kImageTime, 5000, 2000));
    WriteFile(Env.Program + "N0R_0.wld", SyntheticMosaicWorldFile(5000, 2000));
    R.ReadWorldFile(Env.Program + "N0R_0.wld");
    int redraws = 0;
    Env.S.Hooks.RedrawMap = [&] { ++redraws; };
    Env.S.RedrawChk.Enabled = true;
    Env.S.RedrawChk.Checked = true;

    // The map shows some other underlay: the ".gif" name written is the one shifted.
    Env.S.UnderlayName = "LOT_N0R_0.bmp";
    WriteFile(Env.Underlays + "N0R_0.gif", Blob("previous"));
    ASSERT_TRUE(TConverter(Env.S).ConvertMosaicImage(R, Env.Program + "N0R_0.gif")) << R.Status;
    EXPECT_EQ(ReadFile(Find("N0R_01.gif")), Blob("previous"));
    EXPECT_EQ(ReadFile(Find("N0R_0.gif")).substr(0, 2), "BM");
    EXPECT_EQ(redraws, 0);

    // The map shows this mosaic under its ".bmp" name: that name is written, shifted and redrawn.
    std::filesystem::remove_all(Env.Underlays);
    std::filesystem::create_directories(Env.Underlays);
    Env.S.UnderlayName = "N0R_0.BMP";
    WriteFile(Env.Underlays + "N0R_0.bmp", Blob("shown"));
    WriteFile(Env.Program + "N0R_0.png", SyntheticMosaicPng(kImageTime, 5000, 2000));
    ASSERT_TRUE(TConverter(Env.S).ConvertMosaicImage(R, Env.Program + "N0R_0.gif")) << R.Status;
    EXPECT_EQ(ReadFile(Find("N0R_01.bmp")), Blob("shown"));
    EXPECT_EQ(ReadFile(Find("N0R_0.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(Find("N0R_0.gif"), "");
    EXPECT_EQ(redraws, 1);
}
