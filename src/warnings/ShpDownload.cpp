#include "warnings/ShpDownload.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "net/Fetch.h"
#include <cctype>
#include <exception>

namespace sf {

const std::array<TShpType, 4>& ShpTypes()
{
    // The NWS folder spells the severe set "Svr"/"svr" and the flood set "FFW";
    // the names are used unchanged for the URL and for the local file.
    static const std::array<TShpType, 4> types{{
        {&TShared::TorChk, {"tor.shp", "tor.shx", "tor.dbf"}, "Tornado "},
        {&TShared::SVRChk, {"Svr.shp", "svr.shx", "Svr.dbf"}, "Severe "},
        {&TShared::FFWChk, {"FFW.shp", "FFW.shx", "FFW.dbf"}, "Flood "},
        {&TShared::SMWChk, {"smw.shp", "smw.shx", "smw.dbf"}, "Marine "},
    }};
    return types;
}

std::string ShpSummaryText(int32_t count, int32_t bytes, TDateTime elapsed)
{
    // A clock set back during the run would give a negative span; show none.
    if (elapsed < 0)
        elapsed = 0;
    return std::to_string(count) + " Files downloaded/" + std::to_string(bytes) + " bytes in " +
           FormatDateTime("nn:ss", elapsed);
}

bool IsWindowsFolder(const std::string& folder)
{
    const bool drive = folder.size() >= 2 && std::isalpha((unsigned char)folder[0]) && folder[1] == ':';
    return drive || StartsWith(folder, "\\\\");
}

TShpDownload::TShpDownload(TShared& s, TWebFetch& web) : m_s(s), m_web(web)
{
    s.ShpDownloadBtn.SetCaption("Download");
    s.ShpDownloadBtn.Hint = "Manually download selected warning shp files";
    s.BrowseBtn.SetCaption("Browse");
    s.BrowseBtn.Hint = "Select Shp file directory";
    s.ShpURLEd.Hint = "NWS URL for warning shp files";
    s.TargetED.Hint = "Folder for storing and recalling warning shp files, must have R/W access";
    s.TorChk.Hint = "tor.shp, tor.shx, tor.dbf";
    s.SVRChk.Hint = "svr.shp, svr.shx, svr.dbf";
    s.FFWChk.Hint = "ffw.shp, ffw.shx, ffw.dbf";
    s.SMWChk.Hint = "smw.shp, smw.shx, smw.dbf";
    s.LSRChk.Hint = "lsr.shp, lsr.shx, lsr.dbf";
    s.Shp.OnTimer = [this] { ShpTimer(); };
}

void TShpDownload::ShpTimer()
{
    if (m_s.ShpDownloadBtn.Enabled)
        ShpDownloadBtnClick();
}

void TShpDownload::ShpDownloadBtnClick()
{
    TShared& s = m_s;
    s.ShpDownloadBtn.Enabled = false;
    const TDateTime start = s.Clock.UTCNow();
    m_web.ResetShapeCounters();
    s.Shp.SetEnabled(false);
    try {
        FetchSelected();
    } catch (const std::exception& e) {
        // Any failure ends the sequence; the closing steps below always run.
        AppendLog(s, std::string("Shp download error ") + e.what());
    } catch (...) {
        AppendLog(s, "Shp download error");
    }
    s.ShpLbl.SetCaption(ShpSummaryText(m_web.ShapeCount(), m_web.ShapeBytes(), s.Clock.UTCNow() - start));
    s.Shp.SetEnabled(true);
    s.ShpDownloadBtn.Enabled = true;
    if (s.Hooks.RedrawMap)
        s.Hooks.RedrawMap();
}

void TShpDownload::FetchSelected()
{
    TShared& s = m_s;
    const std::string target = Trim(s.TargetED.Caption());
    if (IsWindowsFolder(target)) {
        // The settings load maps a Windows folder into the Wine prefix; one still written
        // that way lies on no drive of this machine, so nothing is fetched into it. Said
        // once per folder value, not at every run.
        if (target != m_unreachableReported) {
            m_unreachableReported = target;
            const std::string text = "Shp file folder " + target + " cannot be reached on this machine";
            s.Sbar.SetPanel(0, text);
            AppendLog(s, text);
        }
        return;
    }
    m_unreachableReported.clear();
    if (!target.empty() && !EndsWith(target, "/") && !EndsWith(target, "\\"))
        s.TargetED.SetCaption(target + "/");

    for (const TShpType& type : ShpTypes()) {
        TCheckBox& check = s.*type.Check;
        for (size_t i = 0; i < type.Files.size(); ++i) {
            // A file whose turn comes while another fetch runs (a radar fetch pumping
            // messages) is skipped in this run; so is its .dbf result.
            // The close request ends the run: a stalled server must not hold up the
            // closing with a full time-out for every remaining file.
            if (s.Cancel)
                return;
            if (s.FetchBusy || !check.Checked)
                continue;
            const std::string name = type.Files[i];
            // The texts are read afresh for every file: the user may edit them meanwhile.
            const std::string local = s.TargetED.Caption() + name;
            const bool fetched = m_web.FetchShapefile(s.ShpURLEd.Caption() + name, local);
            if (i + 1 == type.Files.size()) {
                // A failed fetch leaves the previous file: its size says nothing of this run.
                const int32_t size = fetched ? FileSizeOf(local) : -1;
                if (size > 90)
                    check.SetCaption(type.ResultName + std::to_string(size) + " bytes @ " +
                                     FormatDateTime("hh:nn", s.Clock.LocalNow()));
                else
                    check.SetCaption(std::string(type.ResultName) + "dbf error");
            }
        }
    }
}

void TShpDownload::BrowseBtnClick()
{
    TShared& s = m_s;
    auto folder = s.Dialogs.BrowseFolder(std::string("Stormfetch") + " Shp File Target Directory", s.QuorServerPath);
    if (!folder)
        return;
    std::string chosen = *folder;
    if (!EndsWith(chosen, "/"))
        chosen += "/";
    s.TargetED.SetCaption(chosen);
    if (s.Hooks.SaveSettings) {
        s.Hooks.SaveSettings();
    } else {
        std::string error;
        if (!SaveSettings(s, &error))
            s.Dialogs.ErrorBox(error);
    }
}

} // namespace sf
