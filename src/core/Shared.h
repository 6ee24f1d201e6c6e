// The state every subsystem shares: the main window's shared values and flags,
// the view-model of its controls, its timers, and the services it is given
// (clock, dialogs, memory reading). The main object owns one TShared and hands
// it to each subsystem class.
#pragma once
#include "core/Clock.h"
#include "core/Controls.h"
#include "core/Dialogs.h"
#include "core/DownloadList.h"
#include "core/Timer.h"
#include "core/layouts/WmsNames.h"
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sf {

inline constexpr const char* kVersionText = "Stormfetch 2.9.1";

/// One reading of the machine's memory status (bytes; load in percent).
struct TMemoryStatus {
    uint32_t Load = 0;
    uint64_t TotalPhys = 0, AvailPhys = 0;
    uint64_t TotalPageFile = 0, AvailPageFile = 0;
    uint64_t TotalVirtual = 0, AvailVirtual = 0;
};

/// Operations one subsystem offers another above or beside it; the main object wires
/// them so that no library needs the one that implements them.
struct THooks {
    std::function<void()> SaveSettings;       ///< settings file (reports failures itself)
    std::function<void()> SaveList;           ///< DownLoadList.txt
    std::function<void()> RebuildGrid;        ///< the status grid from the list
    std::function<void()> RedrawMap;          ///< ask the map program to redraw
    std::function<void()> RefreshUiViewStatus;
    std::function<void()> SetTrayTip;         ///< the icon shows TrayTip
    std::function<void()> Close;              ///< start the close path
    std::function<void()> TrayMenuPopup;      ///< the tray menu is about to open
};

/// What the start-up learnt about the files the user keeps. A file that exists but was not
/// loaded (it could not be read, or its creation step was skipped) is held: it is never
/// written over until it has been loaded, so nothing in it is lost.
struct TStoredFiles {
    bool SettingsHeld = false;
    bool ListHeld = false;    ///< DownLoadList.txt
    bool TargetsHeld = false; ///< TargetDirList.txt
    std::string ListName;     ///< the spelling of DownLoadList.txt that load and save use (empty: not chosen yet)
};

/// How the latest redraw of the map ended. A redraw asked for while a link call runs is
/// made when that call ends; only then is it counted here.
struct TRedrawOutcome {
    unsigned Serial = 0; ///< redraws that reached an end, made or failed
    bool Ok = false;
    std::string Text; ///< why the latest one failed
};

struct TShared {
    explicit TShared(const IClock& clock, IDialogs& dialogs);
    TShared(const TShared&) = delete;
    TShared& operator=(const TShared&) = delete;

    const IClock& Clock;
    IDialogs& Dialogs;
    /// Reads the memory status; tests replace it with a stub.
    std::function<TMemoryStatus()> ReadMemory;
    THooks Hooks;

    // Shared values (folders end with "/").
    std::string ProgramDir;
    std::string ExeName = "stormfetch"; ///< executable name; the settings file is its part before the first "." + ".ini"
    std::string WinePrefix;             ///< where the Windows host programs live
    std::string RidgeBase;
    std::string RidgeNatBase;
    int SelectRidge = 0;
    TLayout Layout = TLayout::Ridge; ///< settings key Layout (section URL), its first name
    /// The layouts Layout names after the first, asked in order when it fails or stalls.
    std::vector<TLayout> Fallbacks;
    std::string IemBase = kDefaultIemBase; ///< settings key IEM (section URL)
    std::string WmsBase = kDefaultWmsBase; ///< settings key WMS (section URL)
    std::string ProxyHost;
    std::string ProxyPort = "80";
    std::string TrayTip = kVersionText;
    std::string QuorServerPath;
    std::string QuorUnderlayPath;
    std::string UiViewFolder;
    std::string UiViewMap;
    std::string UnderlayName;
    std::string LastMap;
    int HintPauseMS = 6000;
    int KeepLogDays = 30;               ///< daily error logs older than this go; 0 keeps them all
    int WindowLeft = 50, WindowTop = 50, WindowWidth = 594, WindowHeight = 395;

    // Shared flags.
    bool Cancel = false;      ///< set only by the close request
    bool TimedOut = false;    ///< fetch time-out (also set by the close request)
    bool FetchBusy = false;
    bool FetchResult = false;
    bool SocketError = false;
    bool MemWarning = false;
    TDateTime MemReportTime = 0;
    int LastMemLoad = -1;     ///< load of the latest memory reading, -1 before the first
    bool LoadingSettings = false;
    bool FirstShowDone = false;
    bool CaptionShown = false; ///< a boxed caption is drawn over the grid
    TRedrawOutcome LastRedraw; ///< announced as "Redraw" ("done" or the reason)

    bool IsClient() const { return ModeGrp.ItemIndex == 1; }
    TNaming Naming() const { return {RidgeBase, RidgeNatBase, SaveGifChk.Checked, Layout, IemBase, WmsBase}; }

    DownloadList List;
    TStoredFiles Stored;

    // View-model of the controls.
    TViewHub Hub;
    TTextControl WindowCaption{Hub, "Caption"};
    TStatusBar Sbar{Hub, "Sbar"};
    TShape Shape1{Hub, "Shape1"};
    TLabel RidgeLbl{Hub, "RidgeLbl"}, FileLbl{Hub, "FileLbl"}, StateLbl{Hub, "StateLbl"}, StatLbl{Hub, "StatLbl"};
    TLabel HeapLbl{Hub, "HeapLbl"}, UvULbl{Hub, "UvULbl"}, LoopLbl{Hub, "LoopLbl"}, ShpLbl{Hub, "ShpLbl"};
    TLabel TimeLbl{Hub, "TimeLbl"}, UTCLbl{Hub, "UTCLbl"};
    TRadioGroup ModeGrp{Hub, "ModeGrp"};
    TCheckBox SaveGifChk{Hub, "SaveGifChk"}, LegendChk{Hub, "LegendChk"}, AccumChk{Hub, "AccumChk"}, RedrawChk{Hub, "RedrawChk"};
    TCheckBox TorChk{Hub, "TorChk"}, SVRChk{Hub, "SVRChk"}, FFWChk{Hub, "FFWChk"}, SMWChk{Hub, "SMWChk"}, LSRChk{Hub, "LSRChk"};
    TButton AddBtn{Hub, "AddBtn"}, DeleteBtn{Hub, "DeleteBtn"}, DownloadBtn{Hub, "DownloadBtn"}, RedrawBtn{Hub, "RedrawBtn"};
    TButton AddTargetBtn{Hub, "AddTargetBtn"}, TargetDelBtn{Hub, "TargetDelBtn"};
    TButton ShpDownloadBtn{Hub, "ShpDownloadBtn"}, BrowseBtn{Hub, "BrowseBtn"};
    TComboBox TargetCmb{Hub, "TargetCmb"}, RadarCmb{Hub, "RadarCmb"}, ProductCmb{Hub, "ProductCmb"};
    TEdit ShpURLEd{Hub, "ShpURLEd"}, TargetED{Hub, "TargetED"};
    TStringGrid RadarGrid{Hub, "RadarGrid"};
    // File menu.
    TMenuItem Minimizeonstartup1{Hub, "Minimizeonstartup1"}, Removestaleunderlaysatstartup1{Hub, "Removestaleunderlaysatstartup1"};
    TMenuItem ShutDownwhenUiViewterminates1{Hub, "ShutDownwhenUiViewterminates1"}, Logerrors1{Hub, "Logerrors1"};
    // Tray menu.
    TMenuItem LoopRadar1{Hub, "LoopRadar1"}, RadarZoom1{Hub, "RadarZoom1"}, Deletestaleimages1{Hub, "Deletestaleimages1"};
    TMenuItem Deleteselectedunderlayimages1{Hub, "Deleteselectedunderlayimages1"};
    // Grid pop-up menu.
    TMenuItem Accumulateimages1{Hub, "Accumulateimages1"}, Disabledownload1{Hub, "Disabledownload1"};
    TMenuItem DeleteRecord1{Hub, "DeleteRecord1"}, Downloadcurrentrecord1{Hub, "Downloadcurrentrecord1"};
    TMenuItem Browseto1{Hub, "Browseto1"}, ViewUnderlay1{Hub, "ViewUnderlay1"}, Cancel2{Hub, "Cancel2"};
    std::string BrowseToURL;   ///< what "&Browse to" opens
    std::string ViewUnderlayFile; ///< what "&View Underlay" opens

    // Timers (intervals in ms).
    TTimer Process{"Process", 10000};
    TTimer MinTimer{"MinTimer", 60000};
    TTimer Shp{"Shp", 61000};
    TTimer RidgeTimer{"RidgeTimer", 7000, false};
    TTimer Timer1{"Timer1", 1000};
};

} // namespace sf
