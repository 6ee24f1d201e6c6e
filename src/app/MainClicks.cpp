// The click handlers of the buttons and menu items: every view (the window, remote
// commands, tests) runs a control's action through its Click().
#include "app/Commands.h"
#include "app/Main.h"
#include "app/MainParts.h"
#include "core/ListHandlers.h"
#include "core/Log.h"
#include "host/TargetDirs.h"

namespace sf {

void TMain::WireClicks()
{
    TParts& p = *m_parts;
    TShared& s = m_s;
    s.RadarCmb.Hint = "Select an Internet source for underlay radar images";
    s.ProductCmb.Hint = "Select a radar product to download from source";
    s.AccumChk.SetCaption("Accumulate radar image underlays");
    if (s.LegendChk.Caption().empty())
        s.LegendChk.SetCaption("Add radar legend");
    WireListClicks(s); // the list's clicks, shared with the commands run on the files alone
    s.DownloadBtn.OnClick = [&p] { p.Scheduler->DownloadBtnClick(); };
    s.Downloadcurrentrecord1.OnClick = [&p] { p.Scheduler->Downloadcurrentrecord1Click(); };
    s.RedrawBtn.OnClick = [&p] { p.HostLink->RedrawBtnClick(); };
    s.AddTargetBtn.OnClick = [&s] { AddTargetBtnClick(s); };
    s.TargetDelBtn.OnClick = [&s] { TargetDelBtnClick(s); };
    s.ShpDownloadBtn.OnClick = [&p] { p.ShpRun->ShpDownloadBtnClick(); };
    s.BrowseBtn.OnClick = [&p] { p.ShpRun->BrowseBtnClick(); };
    s.Browseto1.OnClick = [&s] { Browseto1Click(s); };
    s.ViewUnderlay1.OnClick = [&s] { ViewUnderlay1Click(s); };
    s.Cancel2.OnClick = [] {};
    s.Logerrors1.OnClick = [&s] { Logerrors1Click(s); };
    s.ShutDownwhenUiViewterminates1.OnClick = [&p] { p.HostLink->ShutDownwhenUiViewterminates1Click(); };
    s.Minimizeonstartup1.OnClick = [&s] {
        s.Minimizeonstartup1.Checked = !s.Minimizeonstartup1.Checked;
        SaveSettingsForUser(s);
    };
    // This one reaches the file with the next save, like the other options at close.
    s.Removestaleunderlaysatstartup1.OnClick = [&s] {
        s.Removestaleunderlaysatstartup1.Checked = !s.Removestaleunderlaysatstartup1.Checked;
    };
}

} // namespace sf
