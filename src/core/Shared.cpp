#include "core/Shared.h"

namespace sf {

TShared::TShared(const IClock& clock, IDialogs& dialogs) : Clock(clock), Dialogs(dialogs)
{
    WindowCaption.SetCaption(kVersionText);
    ModeGrp.Items = {"Server", "Client"};
    SaveGifChk.SetCaption("Save radar in native format");
    SaveGifChk.Checked = true;
    RedrawChk.Checked = true;
    ShutDownwhenUiViewterminates1.Checked = true;
    AddBtn.SetCaption("Add selected Radar and Product");
    DeleteBtn.SetCaption("Delete");
    DownloadBtn.SetCaption("Download");
    DownloadBtn.Hint = "Download selected radar images";
    TorChk.SetCaption("Tornado");
    SVRChk.SetCaption("Severe");
    FFWChk.SetCaption("Flood");
    SMWChk.SetCaption("Marine");
    LSRChk.SetCaption("Local Storm Reports");
    LSRChk.Visible = false;
    Minimizeonstartup1.SetCaption("&Minimize on startup");
    Removestaleunderlaysatstartup1.SetCaption("Remove stale underlays at startup");
    ShutDownwhenUiViewterminates1.SetCaption("Shut Down when UiView terminates");
    Logerrors1.SetCaption("Log errors");
    LoopRadar1.SetCaption("&Loop Radar");
    LoopRadar1.Enabled = false;
    RadarZoom1.SetCaption("Radar &Zoom");
    Deletestaleimages1.SetCaption("&Delete stale images");
    Deleteselectedunderlayimages1.SetCaption("Delete selected &underlay images");
    Accumulateimages1.SetCaption("&Accumulate images");
    Disabledownload1.SetCaption("&Disable download");
    DeleteRecord1.SetCaption("Delete &Record");
    Downloadcurrentrecord1.SetCaption("Download current record");
    Browseto1.SetCaption("&Browse to");
    ViewUnderlay1.SetCaption("&View Underlay");
    Cancel2.SetCaption("&Cancel");
    TargetED.SetCaption("C:\\Peak Systems\\QuorServer9\\ShpFiles\\");
    RadarGrid.Hint = "Right click, or double click for options";
}

} // namespace sf
