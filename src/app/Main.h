// The main object: owns the shared state and every subsystem object, runs the
// creation steps, the first show, the mode switch and the close path. It is not a
// widget; a window or the console view shows the state it keeps.
#pragma once
#include "core/Shared.h"
#include <functional>
#include <cstdint>
#include <memory>
#include <ostream>
#include <utility>
#include <string>

namespace sf {

class TclsUIV;

/// The operations of the creation, first-show and closing steps that other layers
/// provide. The wiring fills them from the real subsystems; tests replace them.
/// A missing entry is skipped.
struct TMainSteps {
    std::function<void()> CreateTrayIcon;
    std::function<void()> HostDiscovery;
    /// Puts back the underlay folder of a loop that was cut short (runs before anything
    /// at start removes temporary files or stale underlays).
    std::function<void()> RecoverLoop;
    std::function<void()> LoadSourceLists;     ///< Products.txt, then Radars.txt
    std::function<void()> LoadDownloadList;    ///< DownLoadList.txt when it exists, then the grid
    std::function<void()> LoadTargetList;      ///< TargetDirList.txt when it exists
    std::function<void()> CreateWorkingImages;
    std::function<void()> FreeWorkingImages;
    std::function<void()> ConnectUiView;
    /// First show: seeds the target list when empty; false when UI-View32 is missing
    /// (the error has been shown).
    std::function<bool()> SeedTargetList;
    std::function<void(const std::string& path)> DeleteStaleImages;
    /// First show: removes this program's temporary files left by an interrupted save from
    /// the program folder and the local underlay folder (never from other target folders).
    std::function<void()> RemoveStaleTempFiles;
    std::function<bool()> FetchBusy;           ///< the radar or the shapefile client is not idle
    std::function<void()> AbortFetch;          ///< aborts the running transfers
    /// Bytes received and announced length (-1: unknown) of the radar client's transfer.
    std::function<std::pair<int64_t, int64_t>()> TransferProgress;
};

/// How the program was started (from the command line).
struct TMainOptions {
    std::string ProgramDir;   ///< ends in "/"
    std::string WinePrefix;   ///< ends in "/"; empty: $WINEPREFIX, else ~/.wine
    bool Headless = true;
    std::ostream* Err = nullptr; ///< where failures without a dialog are printed; null: standard error
};

class TMain {
public:
    TMain(const IClock& clock, IDialogs& dialogs, TMainOptions options);
    ~TMain();
    TMain(const TMain&) = delete;
    TMain& operator=(const TMain&) = delete;

    TShared& Shared() { return m_s; }
    TMainSteps& Steps() { return m_steps; }

    /// Replaces the link to the map program (before Create; the demo attaches its own).
    void UseLink(std::unique_ptr<TclsUIV> link);
    /// The link to the map program (nullptr before Wire).
    TclsUIV* Link() const;

    /// Builds the subsystem objects and fills Steps(), the hooks and the timers' handlers.
    void Wire();
    /// The creation steps in order; an error in a step is shown and the rest are skipped.
    /// False when a step failed.
    bool Create();
    /// The first-show steps (only the first call does anything).
    void FirstShow();
    /// Runs one scheduler tick now, as if the Process timer had elapsed.
    void TickOnce();

    /// Starts the close path: the cancel and timed-out flags at once, the running fetch
    /// aborted; the close itself runs when the event loop is back at its top (OnCloseRequested).
    void RequestClose();
    bool CloseRequested() const { return m_closeRequested; }
    /// Called once by RequestClose (the runner quits its event loop there).
    std::function<void()> OnCloseRequested;

    /// The close request: flags, abort, the two 4-second waits for a running cycle.
    /// True when the close is allowed.
    bool CloseQuery();
    /// The closing steps: list freed, settings saved, shutdown line, working images freed.
    /// Stops every timer. Runs once.
    void Closing();
    bool Closed() const { return m_closed; }

    /// True when the first show found UI-View32 missing and started the close path.
    bool HostMissing() const { return m_hostMissing; }
    /// The tray tip as the icon shows it (at most 63 characters).
    const std::string& TrayTipShown() const { return m_trayTipShown; }
    /// The main window's help file.
    const std::string& HelpFile() const { return m_helpFile; }

    /// Fetches the cycles attempted so far, and how many of them failed.
    int FetchAttempts() const { return m_fetchAttempts; }
    int FetchFailures() const { return m_fetchFailures; }

    /// The mode selector's click.
    void ModeGrpClick(int itemIndex);
    /// Optional handler of the Shp timer (the warning shapefile run).
    std::function<void()> ShpTimerHook;

private:
    struct TParts;
    void WireHooks();
    /// Points the controls' clicks at their handlers (views and commands call Click()).
    void WireClicks();
    void WireLoop();
    void SetTrayTip();
    /// A failed creation step: error box, status bar and error log name the file and the reason.
    void ReportCreateFailure(const std::string& what);
    /// A failure while closing: beep, error log and standard error, never a box that waits.
    void ReportCloseFailure(const std::string& what);
    /// Waits up to seconds while the Process timer stays disabled, pumping.
    void WaitForCycle(double seconds);

    TShared m_s;
    TMainOptions m_options;
    TMainSteps m_steps;
    std::unique_ptr<TParts> m_parts;
    std::string m_helpFile;
    std::string m_trayTipShown;
    bool m_created = false;
    bool m_closeRequested = false;
    bool m_closed = false;
    bool m_hostMissing = false;
    int m_fetchAttempts = 0;
    int m_fetchFailures = 0;
};

/// The server-mode hint text of the mode selector ("\r" are line breaks).
extern const char* const kModeHint;
/// "<ProgramDir> Stormfetch 2.9.1 initialized in server mode." (or client mode), without the memory status.
std::string StartLine(const std::string& programDir, bool client);
/// "Stormfetch 2.9.1 Shut down while in server mode. " (or client mode), without the memory status.
std::string ShutdownLine(bool client);
/// The first 63 characters of a tip text (whole UTF-8 characters).
std::string TrayTipText(const std::string& tip);

} // namespace sf
