#include "app/Main.h"
#include "core/layouts/Layout.h"
#include "app/MainParts.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Pump.h"
#include "core/Settings.h"
#include "core/Text.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace sf {

const char* const kModeHint =
    "Server mode accesses Internet, can supply radar files to clients or to local UiView session.\r"
    "Client mode never accesses Internet, receives radar files from server, displays in local UiView session.\r"
    "Server and client must be on same Local Area Network.";

std::string StartLine(const std::string& programDir, bool client)
{
    return programDir + " " + kVersionText + (client ? " initialized in client mode." : " initialized in server mode.");
}

std::string ShutdownLine(bool client)
{
    return std::string(kVersionText) + (client ? " Shut down while in client mode. " : " Shut down while in server mode. ");
}

std::string TrayTipText(const std::string& tip)
{
    // Texts are UTF-8 here: count characters, and never cut one in half.
    size_t end = 0;
    for (int chars = 0; end < tip.size() && chars < 63; ++chars) {
        ++end;
        while (end < tip.size() && (static_cast<unsigned char>(tip[end]) & 0xC0) == 0x80)
            ++end;
    }
    return tip.substr(0, end);
}

TMain::TMain(const IClock& clock, IDialogs& dialogs, TMainOptions options)
    : m_s(clock, dialogs), m_options(std::move(options))
{
    m_s.ReadMemory = TMemoryReadingCache();
    m_s.WinePrefix = m_options.WinePrefix;
    // Known before the creation steps, so the wiring can read the settings file's link section.
    m_s.ProgramDir = IncludeTrailingSlash(m_options.ProgramDir);
    m_trayTipShown = TrayTipText(m_s.TrayTip);
    WireHooks();
}

TMain::~TMain()
{
    // The subsystem objects go first: they hold references into the shared state.
    m_parts.reset();
}

void TMain::WireHooks()
{
    m_s.Hooks.SaveSettings = [this] {
        std::string error;
        if (!SaveSettings(m_s, &error))
            m_s.Dialogs.ErrorBox(error);
    };
    m_s.Hooks.SetTrayTip = [this] { SetTrayTip(); };
    m_s.Hooks.Close = [this] { RequestClose(); };
    m_s.Shp.OnTimer = [this] {
        if (ShpTimerHook)
            ShpTimerHook();
    };
}

void TMain::SetTrayTip()
{
    // The icon's tip holds at most 63 characters; a failure here never matters.
    m_trayTipShown = TrayTipText(m_s.TrayTip);
}

bool TMain::Create()
{
    if (m_created)
        return true;
    m_created = true;
    auto run = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    // Until its creation step has read it, a stored file that exists is not written over:
    // a step that fails or is skipped leaves it as the user keeps it.
    m_s.Stored.SettingsHeld = m_s.Stored.ListHeld = m_s.Stored.TargetsHeld = true;
    const std::vector<std::function<void()>> steps = {
        [&] { run(m_steps.CreateTrayIcon); },
        [&] { m_s.WindowCaption.SetCaption(kVersionText); },
        [&] {
            m_s.ProgramDir = IncludeTrailingSlash(m_options.ProgramDir);
            m_helpFile = m_s.ProgramDir + "Stormfetch2.hlp";
        },
        [&] { run(m_steps.HostDiscovery); },
        // Must stay ahead of every removal of temporary files: a loop cut short left the
        // current underlay parked under a temporary name.
        [&] { run(m_steps.RecoverLoop); },
        [&] {
            std::string error;
            if (!LoadSettings(m_s, &error))
                throw std::runtime_error(error);
        },
        [&] {
            m_s.MemReportTime = m_s.Clock.LocalNow();
            m_s.MemWarning = false;
        },
        [&] { run(m_steps.LoadSourceLists); },
        [&] { run(m_steps.LoadDownloadList); },
        [&] { run(m_steps.LoadTargetList); },
        [&] { run(m_steps.CreateWorkingImages); },
        [&] { run(m_steps.ConnectUiView); },
        [&] { m_s.Cancel = false; },
    };
    for (const auto& step : steps) {
        try {
            step();
        } catch (const std::exception& e) {
            // The steps after a failed one are skipped; the program runs on with what exists.
            ReportCreateFailure(e.what());
            return false;
        } catch (...) {
            ReportCreateFailure("Unknown error while starting");
            return false;
        }
    }
    return true;
}

void TMain::ReportCreateFailure(const std::string& what)
{
    m_s.Sbar.SetPanel(0, what);
    m_s.Sbar.SetPanel(1, "ERROR");
    AppendLog(m_s, what);
    m_s.Dialogs.ErrorBox(what);
}

void TMain::ReportCloseFailure(const std::string& what)
{
    try {
        m_s.Dialogs.Beep();
        AppendLog(m_s, "Error while closing: " + what);
        (m_options.Err ? *m_options.Err : std::cerr) << "stormfetch: error while closing: " << what << std::endl;
    } catch (...) {
        // the close goes on whatever the report does
    }
}

void TMain::FirstShow()
{
    if (m_s.FirstShowDone)
        return;
    if (m_s.Hooks.RefreshUiViewStatus)
        m_s.Hooks.RefreshUiViewStatus();
    m_s.FirstShowDone = true;
    m_s.ModeGrp.Hint = kModeHint;
    if (m_steps.SeedTargetList && !m_steps.SeedTargetList()) {
        // UI-View32 is missing: the close path starts, the remaining steps still run.
        m_hostMissing = true;
        RequestClose();
    }
    AppendLog(m_s, StartLine(m_s.ProgramDir, m_s.IsClient()) + MemoryStatusLong(m_s), TLogKind::Note);
    // A line of its own: the start line is folded into a new log file's first line.
    if (const std::string note = LayoutStartNote(m_s.Layout, LayoutOf(m_s.Layout).Base(m_s.Naming())); !note.empty())
        AppendLog(m_s, Trim(note), TLogKind::Note);
    for (TLayout later : m_s.Fallbacks) // the layouts asked when the first fails or stalls
        AppendLog(m_s, std::string("Then source layout ") + LayoutName(later) + " at " + LayoutOf(later).Base(m_s.Naming())
                           + ".", TLogKind::Note);
    if (m_parts && m_parts->LogPruner)
        m_parts->LogPruner->Tick();
    // Recovery of work an interrupted run left half done comes first (once the first
    // show's refresh knows the underlay folder), then the temporary files and the stale
    // underlays go, so a parked underlay is back under its name and judged by its own age.
    if (m_steps.RecoverLoop)
        m_steps.RecoverLoop();
    if (m_steps.RemoveStaleTempFiles)
        m_steps.RemoveStaleTempFiles();
    if (m_s.Removestaleunderlaysatstartup1.Checked && !m_s.UnderlayName.empty()
        && FileExists(m_s.QuorUnderlayPath + m_s.UnderlayName) && m_steps.DeleteStaleImages)
        m_steps.DeleteStaleImages(m_s.QuorUnderlayPath + m_s.UnderlayName);
}

void TMain::TickOnce()
{
    // A tick that is already running (timer disabled) is not started twice.
    if (m_s.Process.Enabled())
        m_s.Process.Fire();
}

void TMain::ModeGrpClick(int itemIndex)
{
    if (itemIndex == m_s.ModeGrp.ItemIndex)
        return;
    m_s.ModeGrp.ItemIndex = itemIndex;
    ModeSwitch(m_s);
}

void TMain::RequestClose()
{
    // The flags stop a running cycle at its next check and make a pending fetch give up;
    // the rest of the close runs once the event loop is back at its top, so nothing is
    // freed under a cycle that is suspended in a pump.
    m_s.Cancel = true;
    m_s.TimedOut = true;
    try {
        if (m_steps.FetchBusy && m_steps.FetchBusy() && m_steps.AbortFetch)
            m_steps.AbortFetch();
    } catch (...) {
    }
    if (m_closeRequested)
        return;
    m_closeRequested = true;
    if (OnCloseRequested)
        OnCloseRequested();
}

void TMain::WaitForCycle(double seconds)
{
    const TDateTime end = m_s.Clock.LocalNow() + seconds * kOneSecond;
    while (!m_s.Process.Enabled() && m_s.Clock.LocalNow() < end) {
        if (!QCoreApplication::instance())
            break;
        PumpWait(10);
    }
}

bool TMain::CloseQuery()
{
    auto busy = [this] { return m_steps.FetchBusy && m_steps.FetchBusy(); };
    auto abortFetch = [this] {
        if (m_steps.AbortFetch)
            m_steps.AbortFetch();
    };
    try {
        m_s.Cancel = true;
        m_s.TimedOut = true;
        Pump();
        if (busy())
            abortFetch();
        Pump();
        if (!m_s.Process.Enabled()) {
            m_s.Cancel = true;
            m_s.TimedOut = true;
            Pump();
            if (busy() && !m_s.Process.Enabled())
                abortFetch();
            if (!m_s.Process.Enabled())
                WaitForCycle(4);
            m_s.Cancel = true;
            m_s.TimedOut = true;
            if (busy() && !m_s.Process.Enabled())
                abortFetch();
            m_s.TimedOut = true;
            Pump();
            if (!m_s.Process.Enabled())
                WaitForCycle(4);
            m_s.TimedOut = true;
            Pump();
            if (!m_s.Process.Enabled())
                m_s.Process.SetEnabled(true);
        }
        return m_s.Process.Enabled();
    } catch (...) {
        m_s.Dialogs.Beep();
        return m_s.Process.Enabled();
    }
}

void TMain::Closing()
{
    if (m_closed)
        return;
    m_closed = true;
    try {
        if (!m_s.Process.Enabled()) {
            m_s.Cancel = true;
            m_s.Timer1.SetEnabled(false);
            Pump();
            m_s.Process.SetEnabled(true);
            Delay(m_s.Clock, 1);
        }
        // No timer may start work while the program winds down.
        for (TTimer* t : {&m_s.Process, &m_s.MinTimer, &m_s.Shp, &m_s.Timer1, &m_s.RidgeTimer})
            t->SetEnabled(false);
        m_s.List.Clear();
        // A start that did not find the host (a mistyped --wineprefix) found no paths: the
        // save keeps the stored ones, so the next start still uses them.
        if (m_hostMissing) {
            const TIniFile stored(SettingsPath(m_s));
            m_s.QuorServerPath = stored.Ini().ReadString("User", "QuorServerPath", m_s.QuorServerPath);
            m_s.QuorUnderlayPath = stored.Ini().ReadString("User", "QuorUnderlayPath", m_s.QuorUnderlayPath);
            m_s.TargetED.SetCaption(stored.Ini().ReadString("Shp", "Dir", m_s.TargetED.Caption()));
        }
        std::string error;
        if (!SaveSettings(m_s, &error))
            throw std::runtime_error(error);
        AppendLog(m_s, ShutdownLine(m_s.IsClient()) + MemoryStatusLong(m_s), TLogKind::Note);
        if (m_steps.FreeWorkingImages)
            m_steps.FreeWorkingImages();
    } catch (const std::exception& e) {
        // An unattended close must not wait for a person: no box here.
        ReportCloseFailure(e.what());
    } catch (...) {
        ReportCloseFailure("unknown error");
    }
}

} // namespace sf
