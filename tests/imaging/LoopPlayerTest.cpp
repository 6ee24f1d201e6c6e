// Loop playback, the one-second tick, the zoom and the delete commands on real folders
// with a fake clock and a scripted map-program link; and the undo of a loop cut short
// at any of its steps.
#include "ImagingTestEnv.h"
#include "core/RadarObj.h"
#include "core/Text.h"
#include "imaging/LoopJournal.h"
#include "imaging/LoopPlayer.h"
#include <gtest/gtest.h>
#include <array>
#include <map>

using namespace sf;
using namespace sf::test;

namespace {

using TFolder = std::map<std::string, std::string>; // name -> bytes

class LoopTest : public ::testing::Test {
protected:
    LoopTest()
    {
        Env.S.UiViewMap = "C:\\UIVIEW32\\MAPS\\QUORSERVER.MAP";
        Env.S.UnderlayName = "LOT_N0R_0.bmp";
        Env.S.SaveGifChk.Checked = false; // BMP underlays
        Env.S.Hooks.RedrawMap = [this] {
            // What the map program would load now under the underlay's name.
            Redraws.push_back(Tag(Env.Underlays + "LOT_N0R_0.bmp"));
            Env.Clock.Step(RedrawSeconds * kOneSecond);
        };
        Env.S.Hooks.RefreshUiViewStatus = [this] { ++Refreshes; };
    }
    std::string D() const { return Env.Underlays; }
    void Image(const std::string& name, long secondsAgo, bool bounds = true)
    {
        WriteFile(D() + name, name + ":image");
        Age(D() + name, secondsAgo);
        if (bounds) {
            const std::string sat = name.substr(0, name.find('.')) + ".sat";
            WriteFile(D() + sat, "-90,44,-86,40 " + sat);
        }
    }
    /// The content tag of a file ("" when it does not exist).
    static std::string Tag(const std::string& path)
    {
        const std::string bytes = ReadFile(path);
        return bytes.substr(0, bytes.find(':'));
    }
    /// The series of the demo site: current underlay and three older members.
    void Series()
    {
        Image("LOT_N0R_0.bmp", 10);
        WriteFile(D() + "LOT_N0R_0.Sat", "bounds of current");
        Image("LOT_N0R_01.bmp", 300);
        Image("LOT_N0R_02.bmp", 600);
        Image("LOT_N0R_03.bmp", 900);
        WriteFile(D() + "other.bmp", "other:image");
    }
    TFolder Snapshot() const { return Snapshot(D()); }
    static TFolder Snapshot(const std::string& dir)
    {
        TFolder f;
        for (auto& e : std::filesystem::directory_iterator(dir))
            f[e.path().filename().string()] = ReadFile(e.path().string());
        return f;
    }
    TRadarObj& Record(const std::string& radar, bool accumulate)
    {
        TRadarObj r = TRadarObj::Create(Env.Clock);
        r.SetNames(radar, "Short Range Reflectivity, N0R", Env.S.Naming());
        r.Accumulate = accumulate;
        return *Env.S.List.Add(radar + "\t" + std::to_string(Env.S.List.Count()), r);
    }

    TImagingEnv Env;
    std::vector<std::string> Redraws;
    std::vector<std::array<double, 4>> Zooms;
    int Refreshes = 0;
    double RedrawSeconds = 0;
    TLoopPlayer Player{Env.S, [this](double l, double t, double r, double b) {
                           Zooms.push_back({l, t, r, b});
                           return true;
                       }};
};

TEST_F(LoopTest, ThreeShownImagesOldestFirstAndTheRestoredUnderlayCountFour)
{
    Series();
    const TFolder before = Snapshot();
    std::vector<std::string> loopTexts;
    Env.S.Hub.Listeners.push_back([&](const std::string& c, const std::string& t) {
        if (c == "LoopLbl")
            loopTexts.push_back(t);
    });
    Env.S.FetchBusy = true;
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 4) << Env.Log();
    const std::vector<std::string> shown = {"LOT_N0R_03.bmp", "LOT_N0R_02.bmp", "LOT_N0R_01.bmp", "LOT_N0R_0.bmp"};
    EXPECT_EQ(Redraws, shown);
    const std::vector<std::string> texts = {"Loop Start lot_n0r_0.bmp", "Loop LOT_N0R_03.bmp", "Loop LOT_N0R_02.bmp",
                                            "Loop LOT_N0R_01.bmp", "Looped 4 images in 0.000 secs"};
    EXPECT_EQ(loopTexts, texts);
    EXPECT_EQ(Snapshot(), before); // names, bytes, no record or parked file left
    EXPECT_FALSE(Env.S.FetchBusy);
    EXPECT_TRUE(Env.S.Timer1.Enabled());
}

TEST_F(LoopTest, MemberWithoutBoundsIsSkippedButTheUnderlayIsRestoredAndCounted)
{
    Series();
    std::filesystem::remove(D() + "LOT_N0R_02.sat");
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 3);
    EXPECT_EQ(Redraws, (std::vector<std::string>{"LOT_N0R_03.bmp", "LOT_N0R_01.bmp", "LOT_N0R_0.bmp"}));
    EXPECT_EQ(Env.S.LoopLbl.Caption(), "Looped 3 images in 0.000 secs");
    EXPECT_EQ(Tag(D() + "LOT_N0R_0.bmp"), "LOT_N0R_0.bmp");
    EXPECT_EQ(Tag(D() + "LOT_N0R_02.bmp"), "LOT_N0R_02.bmp");
}

TEST_F(LoopTest, ElapsedTimeIsTheWholeTimeWithMilliseconds)
{
    Series();
    RedrawSeconds = 18.75; // four redraws
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    EXPECT_EQ(Env.S.LoopLbl.Caption(), "Looped 4 images in 75.000 secs");
    RedrawSeconds = 0.0421;
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    EXPECT_EQ(Env.S.LoopLbl.Caption(), "Looped 4 images in 0.168 secs");
}

TEST_F(LoopTest, CancelEndsTheWalkRestoresTheUnderlayWithoutARedraw)
{
    Series();
    const TFolder before = Snapshot();
    Env.S.Hooks.RedrawMap = [this] {
        Redraws.push_back(Tag(D() + "LOT_N0R_0.bmp"));
        Env.S.Cancel = true; // the close request arrives during the first image's pump
    };
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 1);
    EXPECT_EQ(Redraws, std::vector<std::string>{"LOT_N0R_03.bmp"});
    EXPECT_EQ(Env.S.LoopLbl.Caption(), "Looped 1 images in 0.000 secs");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(LoopTest, NativeOutputLoopsTheGifSeries)
{
    Env.S.SaveGifChk.Checked = true;
    Env.S.UnderlayName = "lot_n0r_0.gif";
    Image("lot_n0r_0.gif", 10);
    Image("lot_n0r_01.gif", 300);
    Image("LOT_N0R_01.bmp", 300); // the BMP series is not part of a GIF loop
    Env.S.Hooks.RedrawMap = [this] { Redraws.push_back(Tag(D() + "lot_n0r_0.gif")); };
    EXPECT_EQ(Player.LoopImages(D() + "lot_n0r_0.gif"), 2);
    EXPECT_EQ(Redraws, (std::vector<std::string>{"lot_n0r_01.gif", "lot_n0r_0.gif"}));
}

TEST_F(LoopTest, MemoryLabelPerImageWithThe85PercentRule)
{
    Series();
    Env.S.ReadMemory = [] { return TMemoryStatus{85, 1 << 30, 1 << 28, 0, 0, 0, 0}; };
    Env.S.MemWarning = true;
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    EXPECT_EQ(Env.S.HeapLbl.Caption(), "Warning, 15% memory remaining");
    EXPECT_EQ(Env.S.HeapLbl.Color, clRed);
    EXPECT_TRUE(Env.S.MemWarning);
    Env.S.ReadMemory = [] { return TMemoryStatus{84, 1 << 30, 1 << 28, 0, 0, 0, 0}; };
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    EXPECT_EQ(Env.S.HeapLbl.Caption(), "16% memory available");
    EXPECT_EQ(Env.S.HeapLbl.Color, clBlack);
    EXPECT_FALSE(Env.S.MemWarning);
}

TEST_F(LoopTest, StaleParkingFileIsReplacedAndNoUnderlayStillPlaysTheSeries)
{
    Series();
    WriteFile(D() + "lot_n0r_0.tmp", "left over");
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    EXPECT_FALSE(Exists(D() + "lot_n0r_0.tmp"));
    EXPECT_EQ(Tag(D() + "LOT_N0R_0.bmp"), "LOT_N0R_0.bmp");

    std::filesystem::remove(D() + "LOT_N0R_0.bmp");
    Redraws.clear();
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 3); // nothing parked, nothing restored
    EXPECT_FALSE(Exists(D() + "LOT_N0R_0.bmp"));
    EXPECT_EQ(Tag(D() + "LOT_N0R_01.bmp"), "LOT_N0R_01.bmp");
    EXPECT_FALSE(Exists(D() + kLoopJournalName));
}

// --- the tick -----------------------------------------------------------------------

TEST_F(LoopTest, TickShowsClocksAndTheMatchingItems)
{
    Env.Clock.Set(46000.5 + 3723 * kOneSecond);
    Env.Clock.SetOffset(-5.0 / 24);
    Record("IL,Chicago,LOT", false);
    Record("WI,Milwaukee,MKX", true);
    Player.Timer1Timer();
    EXPECT_EQ(Env.S.TimeLbl.Caption(), "08:02:03");
    EXPECT_EQ(Env.S.UTCLbl.Caption(), "13:02:03");
    EXPECT_EQ(Env.S.RadarZoom1.Caption(), "Zoom to LOT_N0R_0");
    EXPECT_TRUE(Env.S.RadarZoom1.Enabled);
    EXPECT_FALSE(Env.S.LoopRadar1.Enabled); // LOT does not accumulate
    EXPECT_EQ(Env.S.LoopRadar1.Caption(), "&Loop Radar");
    EXPECT_TRUE(Env.S.Timer1.Enabled());

    Env.S.List[0].Accumulate = true;
    Player.Timer1Timer();
    EXPECT_TRUE(Env.S.LoopRadar1.Enabled);
    EXPECT_EQ(Env.S.LoopRadar1.Caption(), "Loop LOT_N0R_0 Radar");
}

TEST_F(LoopTest, TickMatchesMosaicsAsNatAndLaterMatchesWin)
{
    TRadarObj& a = Record("IL,Chicago,LOT", true);
    a.RemoteName = "latest_radaronly";
    TRadarObj& b = Record("WI,Milwaukee,MKX", true);
    b.RemoteName = "USNat"; // also found in the underlay name, later in the list
    Env.S.UnderlayName = "usnat.gif";
    Player.Timer1Timer();
    EXPECT_EQ(Env.S.RadarZoom1.Caption(), "Zoom to USNat");
    EXPECT_EQ(Env.S.LoopRadar1.Caption(), "Loop USNat Radar");
    b.RemoteName = "MKX_N0R_0";
    Player.Timer1Timer();
    EXPECT_EQ(Env.S.RadarZoom1.Caption(), "Zoom to Nat");
    EXPECT_EQ(Env.S.LoopRadar1.Caption(), "Loop Nat Radar");
    EXPECT_TRUE(Env.S.LoopRadar1.Enabled);
}

TEST_F(LoopTest, TickWithoutTheMapServerMapOrRecordsLeavesTheLoopItemAlone)
{
    Record("IL,Chicago,LOT", true);
    Env.S.LoopRadar1.Enabled = true;
    Env.S.RadarZoom1.Enabled = true;
    Env.S.UiViewMap = "C:\\UIVIEW32\\MAPS\\QuorServe.map"; // the test is in exact case
    Player.Timer1Timer();
    EXPECT_FALSE(Env.S.RadarZoom1.Enabled);
    EXPECT_TRUE(Env.S.LoopRadar1.Enabled);
    EXPECT_EQ(Env.S.LoopRadar1.Caption(), "&Loop Radar");

    Env.S.UiViewMap = "QUORSERVER";
    Env.S.List.Clear();
    Env.S.RadarZoom1.Enabled = true;
    Player.Timer1Timer();
    EXPECT_FALSE(Env.S.RadarZoom1.Enabled);
    EXPECT_TRUE(Env.S.LoopRadar1.Enabled);
}

TEST_F(LoopTest, LoopRequestWaitsForAFreeTickAndRunsOnce)
{
    Series();
    Record("IL,Chicago,LOT", true);
    Env.S.List.Clear();
    Player.LoopRadar1Click(); // empty list: nothing requested
    EXPECT_EQ(Refreshes, 1);
    EXPECT_FALSE(Player.LoopRequested());

    Record("IL,Chicago,LOT", true);
    Player.LoopRadar1Click();
    EXPECT_TRUE(Player.LoopRequested());
    Env.S.FetchBusy = true; // a fetch runs
    Player.Timer1Timer();
    Env.S.FetchBusy = false;
    Env.S.Process.SetEnabled(false); // a cycle runs
    Player.Timer1Timer();
    Env.S.Process.SetEnabled(true);
    EXPECT_TRUE(Redraws.empty());
    EXPECT_TRUE(Player.LoopRequested());

    bool busyDuringLoop = false, timerDuringLoop = true;
    Env.S.Hooks.RedrawMap = [&] {
        busyDuringLoop = Env.S.FetchBusy;
        timerDuringLoop = Env.S.Timer1.Enabled();
        Redraws.push_back(Tag(D() + "LOT_N0R_0.bmp"));
    };
    Player.Timer1Timer();
    EXPECT_EQ(Redraws.size(), 4u);
    EXPECT_TRUE(busyDuringLoop);
    EXPECT_FALSE(timerDuringLoop);
    EXPECT_FALSE(Env.S.FetchBusy);
    EXPECT_TRUE(Env.S.Timer1.Enabled());
    EXPECT_FALSE(Player.LoopRequested());
    Player.Timer1Timer();
    EXPECT_EQ(Redraws.size(), 4u);
}

TEST_F(LoopTest, TrayMenuOpeningRunsOneTickOnlyWhileACycleRuns)
{
    Record("IL,Chicago,LOT", true);
    Env.S.LoopLbl.SetCaption("Looped 4 images in 1.000 secs");
    Player.TrayMenuPopup();
    EXPECT_EQ(Env.S.LoopLbl.Caption(), "....");
    EXPECT_EQ(Refreshes, 1);
    EXPECT_EQ(Env.S.TimeLbl.Caption(), ""); // the timer's own tick will come

    Env.S.Process.SetEnabled(false);
    Player.TrayMenuPopup();
    EXPECT_EQ(Env.S.TimeLbl.Caption(), "12:00:00");
    EXPECT_TRUE(Env.S.Timer1.Enabled());
}

// --- zoom and the delete commands ---------------------------------------------------

TEST_F(LoopTest, ZoomSkipsARecordWithoutTopAndSendsTheNextOnesBounds)
{
    TRadarObj& a = Record("IL,Chicago,LOT", false);
    a.Top = 0;
    a.Left = -91.5f;
    TRadarObj& b = Record("IL,Chicago,LOT", false);
    b.Left = -91.0171f, b.Top = 44.25f, b.Right = -86.3f, b.Bottom = 39.9f;
    Env.S.List.Add("other", b); // a third, later match is not used
    Env.S.List[2].Left = 1;
    Player.RadarZoom1Click();
    ASSERT_EQ(Zooms.size(), 1u);
    // Full precision: the record's single values widened, nothing rounded on the way.
    const std::array<double, 4> want = {double(-91.0171f), 44.25, double(-86.3f), double(39.9f)};
    EXPECT_EQ(Zooms[0], want);

    Env.S.SaveGifChk.Checked = true; // native output looks for the ".gif" name
    Player.RadarZoom1Click();
    EXPECT_EQ(Zooms.size(), 1u);
    Env.S.UnderlayName = "lot_n0r_0.gif";
    Player.RadarZoom1Click();
    EXPECT_EQ(Zooms.size(), 2u);
}

TEST_F(LoopTest, ZoomMatchesTheRadarOnlyMosaicAsNatAndAFailureEndsQuietly)
{
    TRadarObj& a = Record("IL,Chicago,LOT", false);
    a.RemoteName = "latest_radaronly";
    a.Top = 50, a.Left = -127, a.Right = -66, a.Bottom = 21;
    Env.S.UnderlayName = "NAT.BMP";
    EXPECT_EQ(ZoomRecordIndex(Env.S.List, Env.S.UnderlayName, false), 0);
    a.RemoteName = "latest"; // only "latest_radaronly" is the mosaic's zoom name
    EXPECT_EQ(ZoomRecordIndex(Env.S.List, Env.S.UnderlayName, false), -1);

    a.RemoteName = "latest_radaronly";
    TLoopPlayer failing(Env.S, [](double, double, double, double) -> bool { throw std::runtime_error("gone"); });
    EXPECT_NO_THROW(failing.RadarZoom1Click());
}

TEST_F(LoopTest, DeleteSelectedRemovesTheSeriesOfTheChosenImage)
{
    for (auto n : {"lot_n0r_0.bmp", "lot_n0r_01.bmp", "lot_n0r_03.bmp", "LOT_N0R_X.BMP", "lot_n0r_0.Sat",
                   "lot_n0r_03.sat", "lot_n0r_0.gif", "mkx_n0r_0.bmp", "mkx_n0r_0.sat"})
        WriteFile(D() + n, "x");
    Env.Dialogs.Files.push_back(D() + "lot_n0r_03.bmp");
    Player.Deleteselectedunderlayimages1Click();
    ASSERT_EQ(Env.Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Env.Dialogs.Calls[0], std::string("picture: Delete underlay images @ ") + D() + " [" + kPictureFilter +
                                        "] .bmp");
    TFolder left = Snapshot();
    std::vector<std::string> names;
    for (auto& [n, bytes] : left)
        names.push_back(n);
    EXPECT_EQ(names, (std::vector<std::string>{"lot_n0r_0.gif", "mkx_n0r_0.bmp", "mkx_n0r_0.sat"}));

    Player.Deleteselectedunderlayimages1Click(); // cancelled: nothing happens
    EXPECT_EQ(Snapshot(), left);
}

TEST_F(LoopTest, DeleteSelectedMasksAndTheSingleFileCase)
{
    TDeleteMasks m = DeleteSelectedMasks("/u/lot_n0r_03.bmp");
    EXPECT_EQ(m.Folder, "/u/");
    EXPECT_EQ(m.Stem, "lot_n0r_");
    EXPECT_EQ(m.Mask, "lot_n0r_*.bmp");
    EXPECT_EQ(DeleteSelectedMasks("/u/ab12.gif").Mask, "ab12*.gif"); // four characters: no digit dropped
    EXPECT_EQ(DeleteSelectedMasks("/u/radar7.jpeg").Mask, "radar*.jpe");
    EXPECT_EQ(DeleteSelectedMasks("/u/lot_n0r_03").Mask, "");

    // Nothing matches the mask (another extension case is still matched): the file and its ".sat" go.
    WriteFile(D() + "lot_n0r_03", "x");
    WriteFile(D() + "lot_n0r_.sat", "x");
    WriteFile(D() + "lot_n0r_01.bmp", "x");
    DeleteSelectedUnderlayImages(D() + "lot_n0r_03");
    EXPECT_FALSE(Exists(D() + "lot_n0r_03"));
    EXPECT_FALSE(Exists(D() + "lot_n0r_.sat"));
    EXPECT_TRUE(Exists(D() + "lot_n0r_01.bmp"));
}

TEST_F(LoopTest, DeleteStaleNeedsAKnownUnderlay)
{
    TSystemClock sys; // file times are the machine's
    Env.Clock.Set(sys.UTCNow());
    Env.Clock.SetOffset(sys.LocalNow() - sys.UTCNow());
    Image("LOT_N0R_0.bmp", 7200);
    Image("other.bmp", 7200);
    Env.S.UnderlayName.clear();
    Player.Deletestaleimages1Click();
    EXPECT_TRUE(Exists(D() + "other.bmp"));
    EXPECT_TRUE(Exists(D() + "LOT_N0R_0.bmp"));
    Env.S.UnderlayName = "LOT_N0R_0.bmp";
    Player.Deletestaleimages1Click();
    EXPECT_FALSE(Exists(D() + "LOT_N0R_0.bmp"));
    EXPECT_TRUE(Exists(D() + "other.bmp"));
}

// --- a loop cut short ---------------------------------------------------------------

TEST_F(LoopTest, ALoopKilledAtAnyStepIsUndoneExactly)
{
    Series();
    std::filesystem::remove(D() + "LOT_N0R_02.sat"); // one member is skipped
    const TFolder before = Snapshot();
    std::vector<std::pair<std::string, TFolder>> states;
    Player.OnStep = [&](const std::string& step) { states.emplace_back(step, Snapshot()); };
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    ASSERT_GE(states.size(), 12u);
    EXPECT_EQ(states.front().first, "record");
    EXPECT_EQ(states.back().first, "done");

    int restored = 0;
    for (size_t i = 0; i < states.size(); ++i) {
        // The program dies right after this step: the next start finds the folder so.
        TTempDir fresh;
        for (auto& [name, bytes] : states[i].second)
            WriteFile(fresh.Path() + name, bytes);
        const TLoopRecovery r = RecoverLoop(fresh.Path());
        EXPECT_NE(r, TLoopRecovery::Unresolved) << "step " << i << " " << states[i].first;
        restored += r == TLoopRecovery::Restored;
        EXPECT_EQ(Snapshot(fresh.Path()), before) << "step " << i << " " << states[i].first;
    }
    EXPECT_GE(restored, 6);
}

TEST_F(LoopTest, ANewLoopFirstUndoesOneCutShort)
{
    Series();
    const TFolder before = Snapshot();
    // Killed while the oldest member was on show.
    std::filesystem::rename(D() + "LOT_N0R_0.bmp", D() + "lot_n0r_0.tmp");
    std::filesystem::rename(D() + "LOT_N0R_03.bmp", D() + "LOT_N0R_0.bmp");
    WriteLoopJournal(D(), {"LOT_N0R_0.bmp", "lot_n0r_0.tmp", "LOT_N0R_03.bmp"});
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 4);
    EXPECT_EQ(Redraws, (std::vector<std::string>{"LOT_N0R_03.bmp", "LOT_N0R_02.bmp", "LOT_N0R_01.bmp", "LOT_N0R_0.bmp"}));
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(LoopTest, RecoveryUndoesRenamesCutHalfWayAndKeepsDifferentImages)
{
    Series();
    const TFolder before = Snapshot();
    // A no-replace rename done as link + unlink, killed between the two: both names hold the file.
    std::filesystem::copy_file(D() + "LOT_N0R_0.bmp", D() + "lot_n0r_0.tmp");
    WriteLoopJournal(D(), {"LOT_N0R_0.bmp", "lot_n0r_0.tmp", ""});
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::Restored);
    EXPECT_EQ(Snapshot(), before);

    std::filesystem::rename(D() + "LOT_N0R_0.bmp", D() + "lot_n0r_0.tmp");
    std::filesystem::copy_file(D() + "LOT_N0R_01.bmp", D() + "LOT_N0R_0.bmp");
    WriteLoopJournal(D(), {"LOT_N0R_0.bmp", "lot_n0r_0.tmp", "LOT_N0R_01.bmp"});
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::Restored);
    EXPECT_EQ(Snapshot(), before);

    // Two different images under the underlay's name and its parking name: nothing is
    // overwritten, the record stays, and a loop will not start over it.
    WriteFile(D() + "lot_n0r_0.tmp", "parked:image");
    WriteLoopJournal(D(), {"LOT_N0R_0.bmp", "lot_n0r_0.tmp", ""});
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::Unresolved);
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 0);
    EXPECT_TRUE(Redraws.empty());
    EXPECT_EQ(Tag(D() + "lot_n0r_0.tmp"), "parked");
    EXPECT_EQ(Tag(D() + "LOT_N0R_0.bmp"), "LOT_N0R_0.bmp");
    EXPECT_TRUE(Exists(D() + kLoopJournalName));

    // A record that names nothing usable is dropped.
    WriteFile(D() + kLoopJournalName, "underlay=../x\nparked=y\n");
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::NothingToDo);
    EXPECT_FALSE(Exists(D() + kLoopJournalName));
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::NothingToDo);
}

TEST(LoopJournalText, RoundTripAndRejections)
{
    TLoopJournal j{"LOT_N0R_0.bmp", "lot_n0r_0.tmp", "LOT_N0R_01.bmp"}, back;
    ASSERT_TRUE(ParseLoopJournal(LoopJournalText(j), back));
    EXPECT_EQ(back.Underlay, j.Underlay);
    EXPECT_EQ(back.Parked, j.Parked);
    EXPECT_EQ(back.Shown, j.Shown);
    EXPECT_TRUE(ParseLoopJournal("underlay=a.bmp\r\nparked=a.tmp\r\nshown=\r\n", back));
    EXPECT_EQ(back.Shown, "");
    EXPECT_FALSE(ParseLoopJournal("underlay=a.bmp\n", back));
    EXPECT_FALSE(ParseLoopJournal("underlay=a.bmp\nparked=A.BMP\n", back));
    EXPECT_FALSE(ParseLoopJournal("underlay=a.bmp\nparked=a.tmp\nshown=a.tmp\n", back));
    EXPECT_FALSE(ParseLoopJournal("underlay=d/a.bmp\nparked=a.tmp\n", back));
    // A control character in a name would not read back the same after the next write.
    EXPECT_FALSE(ParseLoopJournal("underlay=a.bmp\nparked=a.tmp\r\r\n", back));
}

} // namespace
