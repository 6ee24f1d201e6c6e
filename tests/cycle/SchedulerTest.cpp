// The scheduler tick: host checks, memory watch, due scan with its corrections,
// the cycle hand-off, the survey and the "next scheduled" texts; the forced download.
#include "CycleFixture.h"
#include "core/Log.h"
#include "cycle/Scheduler.h"
#include "imaging/LoopPlayer.h"

namespace sf::test {
namespace {

class SchedulerTick : public CycleFixture {
protected:
    SchedulerTick()
    {
        S.UiViewMap = "C:/UIVIEW/MAPS/QUORSERVER.MAP";
        S.MemReportTime = Clock.LocalNow();
        Sched = std::make_unique<TScheduler>(
            S,
            [this] {
                ++Cycles;
                ProcessEnabledDuringCycle = S.Process.Enabled();
                GridEnabledDuringCycle = S.RadarGrid.Enabled;
                if (CycleBody)
                    CycleBody();
            },
            [this] { return RidgeReady; });
    }
    TRadarObj& Record(const std::string& site, TDateTime next)
    {
        TRadarObj& r = AddRecord("IL,Place," + site);
        r.NextAttempt = next;
        r.LastImage = Clock.UTCNow() - kOneMinute;
        return r;
    }
    int MemWarnings() const
    {
        const std::string log = LogText();
        int n = 0;
        for (size_t at = log.find("Mem Warning "); at != std::string::npos; at = log.find("Mem Warning ", at + 1))
            ++n;
        return n;
    }

    std::unique_ptr<TScheduler> Sched;
    std::function<void()> CycleBody;
    int Cycles = 0;
    bool ProcessEnabledDuringCycle = true, GridEnabledDuringCycle = true, RidgeReady = true;
    const TDateTime Start = At(2010, 5, 10, 14, 21, 0);
};

TEST_F(SchedulerTick, TimersAreWiredToTheHandlers)
{
    Record("LOT", Start - kOneMinute);
    S.Process.Fire();
    EXPECT_EQ(1, Cycles);
    int refreshes = 0;
    S.Hooks.RefreshUiViewStatus = [&] { ++refreshes; };
    S.MinTimer.Fire();
    EXPECT_EQ(1, refreshes);
    EXPECT_TRUE(S.MinTimer.Enabled());
}

TEST_F(SchedulerTick, FailedRefreshStillReenablesTheMinuteTimer)
{
    S.Hooks.RefreshUiViewStatus = [] { throw std::runtime_error("no link"); };
    Sched->MinTimerTimer();
    EXPECT_TRUE(S.MinTimer.Enabled());
}

TEST_F(SchedulerTick, DueRecordRunsTheCycleWithTimerAndGridDisabled)
{
    Record("LOT", Start - kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
    EXPECT_FALSE(ProcessEnabledDuringCycle);
    EXPECT_FALSE(GridEnabledDuringCycle);
    EXPECT_TRUE(WasShown("Sbar", "Download files at 14:21:00"));
    EXPECT_TRUE(S.Process.Enabled());
    EXPECT_TRUE(S.RadarGrid.Enabled && S.DownloadBtn.Enabled && S.DeleteBtn.Enabled);
    EXPECT_EQ("Idle", S.Sbar.Panel(1));
    EXPECT_EQ(clLime, S.Shape1.BrushColor);
}

TEST_F(SchedulerTick, ClientModeAnnouncesProcessing)
{
    S.ModeGrp.ItemIndex = 1;
    Record("LOT", Start - kOneMinute);
    CycleBody = [this] { S.List[0].NextAttempt = Start + 3 * kOneMinute; };
    Sched->ProcessTimer();
    EXPECT_TRUE(WasShown("Sbar", "Process files at 14:21:00"));
    EXPECT_EQ("Waiting for new files, next scheduled processing attempt 14:24:00", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, NextAttemptFarAheadAfterClockSetBackIsMadeDue)
{
    TRadarObj& r = Record("LOT", Start + 2.0 / 24);
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
    ExpectTime(Start - 36 * kOneSecond, r.NextAttempt);
}

TEST_F(SchedulerTick, ARecordJustOverFifteenMinutesAheadRunsInThatTick)
{
    TRadarObj& r = Record("LOT", Start + 16 * kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
    ExpectTime(Start - 36 * kOneSecond, r.NextAttempt);
}

TEST_F(SchedulerTick, ARecordWithinFifteenMinutesWaits)
{
    TRadarObj& r = Record("LOT", Start + 14 * kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    ExpectTime(Start + 14 * kOneMinute, r.NextAttempt);
}

TEST_F(SchedulerTick, PhaseWordWhileTheCycleRuns)
{
    std::string phase;
    CycleBody = [&] { phase = S.Sbar.Panel(1); };
    Record("LOT", Start - kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ("DownLoad", phase);
    S.ModeGrp.ItemIndex = 1;
    S.List[0].NextAttempt = Start - kOneMinute;
    phase.clear();
    Sched->ProcessTimer();
    EXPECT_EQ(2, Cycles);
    EXPECT_EQ("Process", phase);
}

TEST_F(SchedulerTick, SurveyPullsLaterRecordsToSixMinutes)
{
    Record("LOT", Start - kOneMinute);
    TRadarObj& b = Record("MKX", Start + 20 * kOneMinute);
    CycleBody = [this] { S.List[0].NextAttempt = Start + 9 * kOneMinute; };
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
    ExpectTime(Start + 6 * kOneMinute, b.NextAttempt);
    EXPECT_EQ("Waiting for new files, next scheduled download attempt 14:27:00", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, DisabledRecordNeverRunsNorCounts)
{
    TRadarObj& a = Record("LOT", Start - kOneMinute);
    a.Enabled = false;
    Record("MKX", Start + 70 * kOneMinute).Enabled = false;
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_EQ("No files scheduled for download", S.Sbar.Panel(0));
    ExpectTime(Start - kOneMinute, a.NextAttempt);
}

TEST_F(SchedulerTick, EnabledRecordLeftFarAheadIsStillAnnounced)
{
    // The survey pulls it in, so "No files scheduled" is only for lists without enabled records.
    Record("LOT", Start - kOneMinute);
    CycleBody = [this] { S.List[0].NextAttempt = Start + 2.0 / 24; };
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
    ExpectTime(Start + 6 * kOneMinute, S.List[0].NextAttempt);
    EXPECT_EQ("Waiting for new files, next scheduled download attempt 14:27:00", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, FailingHostRefreshOrMemoryReadingDoesNotEndTheTick)
{
    S.UiViewMap = "USA.MAP"; // the map check asks for a refresh
    S.Hooks.RefreshUiViewStatus = [] { throw std::runtime_error("no link"); };
    S.ReadMemory = []() -> TMemoryStatus { throw std::runtime_error("no reading"); };
    Record("LOT", Start - kOneMinute);
    EXPECT_NO_THROW(Sched->ProcessTimer());
    EXPECT_EQ(1, Cycles);
    EXPECT_TRUE(S.Process.Enabled());
    EXPECT_EQ("Idle", S.Sbar.Panel(1));
    S.RadarGrid.Row = 1;
    EXPECT_NO_THROW(Sched->DownloadBtnClick());
    EXPECT_EQ(2, Cycles);
}

TEST_F(SchedulerTick, InvalidNamedRecordCountsAsDisabled)
{
    Record("LOT", Start - kOneMinute).Status = "Error invalid name";
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_EQ("No files scheduled for download", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, ClientModeAnnouncesTheNextProcessingAttempt)
{
    Record("LOT", Start + 14 * kOneMinute);
    S.ModeGrp.ItemIndex = 1;
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_EQ("Waiting for new files, next scheduled processing attempt 14:35:00", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, NoEnabledRecordInClientMode)
{
    Record("LOT", Start - kOneMinute).Enabled = false;
    S.ModeGrp.ItemIndex = 1;
    Sched->ProcessTimer();
    EXPECT_EQ("No files scheduled for processing", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, RecordDueWithinTenSecondsIsAnnouncedTenSecondsOn)
{
    Record("LOT", Start + 5 * kOneSecond);
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_EQ("Waiting for new files, next scheduled download attempt 14:21:10", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, NextScheduledTimeIsShownInLocalTime)
{
    Clock.SetOffset(3.0 / 24); // east of Greenwich
    Record("LOT", Start + 4 * kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ("Waiting for new files, next scheduled download attempt 17:25:00", S.Sbar.Panel(0));
}

TEST_F(SchedulerTick, FutureImageTimeIsPulledBack)
{
    TRadarObj& r = Record("LOT", Start - kOneMinute);
    r.LastImage = Start + 1.0 / 24;
    Sched->ProcessTimer();
    ExpectTime(Start - 36 * kOneSecond, r.LastImage);
}

TEST_F(SchedulerTick, MemoryWarningIsLoggedOncePerEpisode)
{
    S.Logerrors1.Checked = true;
    S.ProgramDir = Prog.Path();
    MemLoad = 90;
    Sched->ProcessTimer();
    EXPECT_EQ("Warning, 10% memory remaining", S.HeapLbl.Caption());
    EXPECT_EQ(clRed, S.HeapLbl.Color);
    Sched->ProcessTimer();
    EXPECT_EQ(1, MemWarnings());
    MemLoad = 80;
    Sched->ProcessTimer();
    EXPECT_EQ("20% memory available", S.HeapLbl.Caption());
    EXPECT_EQ(clBlack, S.HeapLbl.Color);
    EXPECT_FALSE(S.MemWarning);
    MemLoad = 90;
    Sched->ProcessTimer();
    EXPECT_EQ(2, MemWarnings());
}

TEST_F(SchedulerTick, EightyFivePercentLoadIsAlreadyTheWarning)
{
    // The scheduler's label and the log's memory report share one rule.
    MemLoad = 85;
    Sched->ProcessTimer();
    EXPECT_EQ("Warning, 15% memory remaining", S.HeapLbl.Caption());
    EXPECT_EQ(clRed, S.HeapLbl.Color);
    S.HeapLbl.SetCaption("");
    ShowMemoryLabel(S, 85);
    EXPECT_EQ("Warning, 15% memory remaining", S.HeapLbl.Caption());
    EXPECT_EQ(clRed, S.HeapLbl.Color);
    MemLoad = 84;
    Sched->ProcessTimer();
    EXPECT_EQ("16% memory available", S.HeapLbl.Caption());
    EXPECT_EQ(clBlack, S.HeapLbl.Color);
}

TEST_F(SchedulerTick, LoadStayingAtEightyFivePercentIsOneEpisode)
{
    // 85 % is already low memory: the flag must not be cleared at that load, or every
    // tick would log a new warning.
    S.Logerrors1.Checked = true;
    S.ProgramDir = Prog.Path();
    MemLoad = 85;
    for (int tick = 0; tick < 3; ++tick) {
        Sched->ProcessTimer();
        EXPECT_TRUE(S.MemWarning) << "tick " << tick;
    }
    EXPECT_EQ(1, MemWarnings());
    MemLoad = 84;
    Sched->ProcessTimer();
    EXPECT_FALSE(S.MemWarning);
    MemLoad = 85;
    Sched->ProcessTimer();
    EXPECT_EQ(2, MemWarnings());
}

TEST_F(SchedulerTick, HourlyMemoryReportIsWritten)
{
    S.Logerrors1.Checked = true;
    Sched->ProcessTimer();
    Clock.Step(61 * kOneMinute);
    Sched->ProcessTimer();
    ExpectTime(Clock.LocalNow(), S.MemReportTime);
    EXPECT_NE(std::string::npos, LogText().find("Mem load="));
}

TEST_F(SchedulerTick, EmptyListOnlyChecks)
{
    S.Sbar.SetPanel(1, "before");
    Sched->ProcessTimer();
    EXPECT_EQ("before", S.Sbar.Panel(1));
    EXPECT_EQ(0, Cycles);
}

TEST_F(SchedulerTick, MapNotSelectedWarnsAndGoesOn)
{
    int refreshes = 0;
    S.Hooks.RefreshUiViewStatus = [&] { ++refreshes; };
    S.UiViewMap = "C:/UIVIEW/MAPS/USA.MAP";
    Record("LOT", Start - kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ("QuorServer NOT selected in UiView!", S.WindowCaption.Caption());
    EXPECT_EQ("QuorServer NOT selected in UiView!", S.StateLbl.Caption());
    EXPECT_TRUE(WasShown("Sbar", "QuorServer not selected in UiView,Maps,LoadMap!"));
    EXPECT_EQ(1, refreshes);
    EXPECT_EQ(1, Cycles);
    S.UiViewMap = "QuorServer";
    Sched->ProcessTimer();
    EXPECT_EQ(kVersionText, S.WindowCaption.Caption());
}

TEST_F(SchedulerTick, MissingMapServerSuspendsProcessing)
{
    S.QuorServerPath.clear();
    Record("LOT", Start - kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_EQ(1, Dialogs.Beeps);
    EXPECT_EQ("Cannot find QuorServer directory!", S.Sbar.Panel(0));
    EXPECT_EQ("ERROR", S.Sbar.Panel(1));
    EXPECT_EQ(clRed, S.Shape1.BrushColor);
    EXPECT_EQ("Processing suspended, cannot find local QuorServer directory!", S.WindowCaption.Caption());
    EXPECT_TRUE(S.Process.Enabled());

    // When the map check already failed, the caption keeps that warning.
    S.UiViewMap = "USA.MAP";
    Sched->ProcessTimer();
    EXPECT_EQ("QuorServer NOT selected in UiView!", S.WindowCaption.Caption());
}

TEST_F(SchedulerTick, ClientWithoutAnUnderlayFolderIsSuspended)
{
    // The map server's folder exists but holds no underlay folder: a client has nowhere
    // to take its files from, and must not work in the current folder instead.
    S.ModeGrp.ItemIndex = 1;
    S.QuorUnderlayPath.clear();
    Record("LOT", Start - kOneMinute);
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_EQ("Cannot find QuorServer directory!", S.Sbar.Panel(0));
    EXPECT_EQ("Processing suspended, cannot find local QuorServer directory!", S.StateLbl.Caption());
    EXPECT_TRUE(S.Process.Enabled());
    // A server still works in its program folder.
    S.ModeGrp.ItemIndex = 0;
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
}

TEST_F(SchedulerTick, FailureInsideTheTickStillRestoresEverything)
{
    Record("LOT", Start - kOneMinute);
    CycleBody = [] { throw std::runtime_error("boom"); };
    Sched->ProcessTimer();
    EXPECT_TRUE(S.Process.Enabled());
    EXPECT_TRUE(S.RadarGrid.Enabled);
    EXPECT_EQ("Idle", S.Sbar.Panel(1));
}

TEST_F(SchedulerTick, CancelSkipsTheCycleButRunsTheClosingSteps)
{
    Record("LOT", Start - kOneMinute);
    S.Cancel = true;
    RidgeReady = false;
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_TRUE(S.Process.Enabled());
    EXPECT_EQ(clRed, S.Shape1.BrushColor);
}

TEST_F(SchedulerTick, ForcedDownloadMakesTheCurrentRecordDue)
{
    Record("LOT", Start - kOneMinute);
    TRadarObj& b = Record("MKX", Start + 9 * kOneMinute);
    S.RadarGrid.Row = 2;
    Sched->DownloadBtnClick();
    EXPECT_EQ(1, Cycles);
    EXPECT_FALSE(ProcessEnabledDuringCycle);
    EXPECT_TRUE(S.Process.Enabled());
    ExpectTime(Start - kOneMinute, b.NextAttempt);
}

TEST_F(SchedulerTick, ForcedDownloadNeedsARow)
{
    Record("LOT", Start + 9 * kOneMinute);
    S.RadarGrid.Row = -1;
    Sched->DownloadBtnClick();
    EXPECT_EQ(0, Cycles);
    ASSERT_EQ(1u, Dialogs.Errors.size());
    EXPECT_EQ("Radar record not selected, aborting!", Dialogs.Errors[0]);
}

TEST_F(SchedulerTick, ForcedDownloadDuringATickLeavesItToTheTick)
{
    TRadarObj& r = Record("LOT", Start + 9 * kOneMinute);
    S.RadarGrid.Row = 1;
    S.Process.SetEnabled(false);
    Sched->DownloadBtnClick();
    EXPECT_EQ(0, Cycles);
    ExpectTime(Start - kOneMinute, r.NextAttempt);
}

TEST_F(SchedulerTick, PopupItemNeedsRecordsAndAnEnabledButton)
{
    Record("LOT", Start + 9 * kOneMinute);
    S.RadarGrid.Row = 1;
    S.DownloadBtn.Enabled = false;
    Sched->Downloadcurrentrecord1Click();
    EXPECT_EQ(0, Cycles);
    S.DownloadBtn.Enabled = true;
    Sched->Downloadcurrentrecord1Click();
    EXPECT_EQ(1, Cycles);
}

TEST_F(SchedulerTick, TickAndForcedDownloadWaitWhileALoopPlays)
{
    // A loop sets the fetch-busy flag; a tick or a forced download fired from inside its
    // pumps must not start a cycle, and the first tick after the loop runs the due record.
    TRadarObj& r = Record("LOT", Start + 9 * kOneMinute);
    S.RadarGrid.Row = 1;
    S.FetchBusy = true;
    Sched->ProcessTimer();
    EXPECT_EQ(0, Cycles);
    EXPECT_TRUE(S.Process.Enabled());
    Sched->DownloadBtnClick();
    EXPECT_EQ(0, Cycles);
    EXPECT_TRUE(S.Process.Enabled());
    ExpectTime(Start - kOneMinute, r.NextAttempt); // made due, left to the tick
    S.FetchBusy = false;
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
}

TEST_F(SchedulerTick, TicksFiredInsideAPlayingLoopStartNoCycle)
{
    // The real loop: a scheduler tick and a forced download arrive in its pumps (here at
    // each redraw) while a record is due; neither starts a cycle until the loop is over.
    TRadarObj& r = Record("LOT", Start - kOneMinute);
    r.Accumulate = true;
    S.RadarGrid.Row = 1;
    S.UnderlayName = "LOT_N0R_0.bmp";
    const std::string d = S.QuorUnderlayPath;
    for (const char* n : {"LOT_N0R_0", "LOT_N0R_01", "LOT_N0R_02"}) {
        std::ofstream(d + n + ".bmp") << n;
        std::ofstream(d + n + ".sat") << "bounds";
    }
    int redraws = 0;
    S.Hooks.RedrawMap = [&] {
        ++redraws;
        Sched->ProcessTimer();
        Sched->DownloadBtnClick();
    };
    TLoopPlayer loop(S, nullptr);
    loop.LoopRadar1Click();
    loop.Timer1Timer();
    EXPECT_EQ(3, redraws);
    EXPECT_EQ(0, Cycles);
    EXPECT_TRUE(S.Process.Enabled());
    EXPECT_FALSE(S.FetchBusy);
    Sched->ProcessTimer();
    EXPECT_EQ(1, Cycles);
}

} // namespace
} // namespace sf::test
