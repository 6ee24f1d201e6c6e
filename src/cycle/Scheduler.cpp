#include "cycle/Scheduler.h"
#include "core/layouts/LayoutChain.h"
#include <algorithm>
#include "core/Log.h"
#include "core/Pump.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include <exception>

namespace sf {

namespace {
constexpr double kOneHour = 1.0 / 24.0;
constexpr int kMemWarnLoad = 85;
}

bool IsActiveRecord(const TRadarObj& rec)
{
    return rec.Enabled && rec.Status != "Error invalid name";
}

TScheduler::TScheduler(TShared& shared, std::function<void()> runCycle, std::function<bool()> ridgeReady)
    : m_s(shared), m_runCycle(std::move(runCycle)), m_ridgeReady(std::move(ridgeReady))
{
    m_s.Process.OnTimer = [this] { ProcessTimer(); };
    m_s.MinTimer.OnTimer = [this] { MinTimerTimer(); };
}

TScheduler::~TScheduler()
{
    m_s.Process.OnTimer = nullptr;
    m_s.MinTimer.OnTimer = nullptr;
}

void TScheduler::RefreshUiView()
{
    // A refresh that fails leaves the host state as it was; it never ends a tick.
    try {
        if (m_s.Hooks.RefreshUiViewStatus)
            m_s.Hooks.RefreshUiViewStatus();
    } catch (...) {
    }
}

void TScheduler::MinTimerTimer()
{
    m_s.MinTimer.SetEnabled(false);
    RefreshUiView(); // a failed refresh must not stop the timer
    m_s.MinTimer.SetEnabled(true);
}

void TScheduler::MapChecks(bool& suspended)
{
    suspended = false;
    if (UpperCase(m_s.UiViewMap).find("QUORSERVER") != std::string::npos) {
        m_s.WindowCaption.SetCaption(kVersionText);
    } else {
        m_s.Sbar.SetPanel(0, "QuorServer not selected in UiView,Maps,LoadMap!");
        m_s.Sbar.SetPanel(1, "ERROR");
        m_s.Shape1.BrushColor = clRed;
        m_s.StateLbl.SetCaption("QuorServer NOT selected in UiView!");
        m_s.WindowCaption.SetCaption(m_s.StateLbl.Caption());
        RefreshUiView();
    }
    // A client works only in the underlay folder; without one (the map server's folder
    // has no underlay subfolder) it has nowhere to take files from.
    if (m_s.QuorServerPath.empty() || (m_s.IsClient() && m_s.QuorUnderlayPath.empty())) {
        m_s.Sbar.SetPanel(0, "Cannot find QuorServer directory!");
        m_s.Dialogs.Beep();
        m_s.Sbar.SetPanel(1, "ERROR");
        m_s.Shape1.BrushColor = clRed;
        m_s.StateLbl.SetCaption("Processing suspended, cannot find local QuorServer directory!");
        if (m_s.WindowCaption.Caption() == kVersionText)
            m_s.WindowCaption.SetCaption(m_s.StateLbl.Caption());
        RefreshUiView();
        suspended = true;
    }
}

void TScheduler::ShowHeap()
{
    // The same label rule as the log's memory report, so the two never disagree.
    const int load = m_s.LastMemLoad < 0 ? 0 : m_s.LastMemLoad;
    ShowMemoryLabel(m_s, load);
    if (load < kMemWarnLoad)
        m_s.MemWarning = false;
}

void TScheduler::MemoryWatch()
{
    const TDateTime localNow = m_s.Clock.LocalNow();
    if (localNow > m_s.MemReportTime + kOneHour) {
        m_s.MemReportTime = localNow;
        AppendLog(m_s, MemoryStatusLong(m_s), TLogKind::Note);
        return;
    }
    MemoryStatusLong(m_s); // refreshes the load
    ShowHeap();
    if (m_s.LastMemLoad >= kMemWarnLoad && !m_s.MemWarning) {
        m_s.MemWarning = true;
        m_s.MemReportTime = m_s.Clock.LocalNow();
        AppendLog(m_s, "Mem Warning " + MemoryStatusLong(m_s));
    }
}

void TScheduler::ProcessTimer()
{
    // A loop playing (or another fetch running) holds the flag; this tick gives way and
    // the next one, ten seconds on, finds the folder and the client free again.
    if (m_s.FetchBusy)
        return;
    bool suspended = false;
    MapChecks(suspended);
    if (suspended)
        return;
    try {
        MemoryWatch();
    } catch (...) {
        // a memory reading or log line that fails does not stop the tick
    }
    if (m_s.List.Empty())
        return;
    try {
        TickBody();
    } catch (...) {
        // a failure inside the tick never leaves the scheduler stopped
    }
    ClosingSteps();
}

void TScheduler::TickBody()
{
    m_s.Process.SetEnabled(false);
    Pump();
    if (m_s.Cancel)
        return;
    m_s.Sbar.SetPanel(1, "Scheduler");
    m_s.Shape1.BrushColor = clYellow;
    Pump();
    const TDateTime start = m_s.Clock.UTCNow();
    const TDateTime offset = m_s.Clock.LocalNow() - start;
    m_s.DeleteBtn.Enabled = false;
    m_s.DownloadBtn.Enabled = false;
    m_s.RadarGrid.Enabled = false;

    // Due scan, with the corrections for a clock that was set back. Any layout of the
    // station may have served a record's last image, so the longest lead of them holds.
    TDateTime lead = 0;
    for (TLayout layout : LayoutChainOf(m_s.Layout, m_s.Fallbacks))
        lead = std::max(lead, LayoutSourceLead(layout));
    bool due = false;
    for (int i = 0; i < m_s.List.Count() && !due; ++i) {
        Pump();
        if (m_s.Cancel)
            return;
        if (i >= m_s.List.Count())
            break;
        TRadarObj& rec = m_s.List[i];
        if (!IsActiveRecord(rec))
            continue;
        if (rec.NextAttempt > start + 15 * kOneMinute)
            rec.NextAttempt = start - 36 * kOneSecond;
        // A last image in the future means a clock set back; the layout may date its
        // newest image a few minutes ahead, and that time must stay the newness key.
        if (rec.LastImage > start + lead)
            rec.LastImage = start - 36 * kOneSecond;
        if (rec.NextAttempt <= start)
            due = true;
    }
    Pump();
    if (m_s.Cancel)
        return;
    if (due) {
        const bool client = m_s.IsClient();
        m_s.Sbar.SetPanel(1, client ? "Process" : "DownLoad");
        m_s.Sbar.SetPanel(0, (client ? "Process files at " : "Download files at ") +
                                 FormatDateTime("hh:nn:ss", m_s.Clock.LocalNow()));
        Pump();
        if (m_runCycle)
            m_runCycle();
    }
    m_s.Sbar.SetPanel(1, "NextChk");
    Pump();
    if (m_s.Cancel)
        return;

    // Survey: nothing stays more than 15 minutes ahead of the tick's start.
    TDateTime earliest = start + kOneHour;
    for (int i = 0; i < m_s.List.Count(); ++i) {
        TRadarObj& rec = m_s.List[i];
        if (!IsActiveRecord(rec))
            continue;
        if (rec.NextAttempt > start + 15 * kOneMinute)
            rec.NextAttempt = start + 6 * kOneMinute;
        if (rec.NextAttempt < earliest)
            earliest = rec.NextAttempt;
    }
    Pump();
    const TDateTime now = m_s.Clock.UTCNow();
    if (earliest >= now && earliest <= now + 10 * kOneSecond)
        earliest = now + 10 * kOneSecond;
    const bool client = m_s.IsClient();
    if (earliest < start + kOneHour)
        m_s.Sbar.SetPanel(0, std::string(client ? "Waiting for new files, next scheduled processing attempt "
                                                : "Waiting for new files, next scheduled download attempt ") +
                                 FormatDateTime("hh:nn:ss", earliest + offset));
    else
        m_s.Sbar.SetPanel(0, client ? "No files scheduled for processing" : "No files scheduled for download");
}

void TScheduler::ClosingSteps()
{
    m_s.Sbar.SetPanel(1, "Idle");
    Pump();
    const bool ready = m_ridgeReady ? m_ridgeReady() : true;
    m_s.Shape1.BrushColor = ready ? clLime : clRed;
    ShowHeap();
    m_s.DeleteBtn.Enabled = true;
    m_s.DownloadBtn.Enabled = true;
    m_s.RadarGrid.Enabled = true;
    m_s.Process.SetEnabled(true);
}

void TScheduler::DownloadBtnClick()
{
    if (m_s.MinTimer.Enabled())
        RefreshUiView();
    if (m_s.List.Empty())
        return;
    const int row = m_s.RadarGrid.Row;
    if (row < 0) {
        m_s.Dialogs.ErrorBox("Radar record not selected, aborting!");
        return;
    }
    if (row >= 1 && row - 1 < m_s.List.Count())
        m_s.List[row - 1].NextAttempt = m_s.Clock.UTCNow() - kOneMinute;
    Pump();
    // While a loop plays the record stays due and the first tick after the loop fetches it.
    if (m_s.Process.Enabled() && !m_s.FetchBusy) {
        m_s.Process.SetEnabled(false);
        try {
            if (m_runCycle)
                m_runCycle();
        } catch (...) {
            // the cycle reports its own failures
        }
        m_s.Process.SetEnabled(true);
    }
}

void TScheduler::Downloadcurrentrecord1Click()
{
    if (!m_s.List.Empty() && m_s.DownloadBtn.Enabled)
        DownloadBtnClick();
}

} // namespace sf
