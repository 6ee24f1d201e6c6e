#include "host/HostLink.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "host/HostDiscovery.h"
#include "host/WineLink.h"

namespace sf {

namespace {
const char* const kRestartText =
    "Shut down this application, and restart to establish connection to a running session of UiView";
const char* const kNotConnectedText = "Not connected to UIView, cannot redraw map, disabling redraw capability.";
} // namespace

void SaveSettingsNow(TShared& s)
{
    if (s.Hooks.SaveSettings)
        s.Hooks.SaveSettings();
    else
        SaveSettings(s);
}

THostLink::THostLink(TShared& s, std::unique_ptr<TclsUIV> client)
    : m_s(s), m_client(client ? std::move(client) : std::make_unique<TNoLink>()), m_registry(s.WinePrefix)
{
    m_client->OnClosing = [this]() { UIView32IsClosing(); };
    m_client->OnSlow = [this](const std::string& text) { m_s.Sbar.SetPanel(0, text); };
    m_client->OnNotice = [this](const std::string& text) {
        m_s.Sbar.SetPanel(0, text);
        AppendLog(m_s, text);
    };
}

void THostLink::Wire()
{
    m_s.Hooks.RedrawMap = [this]() { RedrawMap(); };
    m_s.Hooks.RefreshUiViewStatus = [this]() { RefreshUiViewStatus(); };
}

void THostLink::InitControls()
{
    m_s.RedrawBtn.SetCaption("Redraw map");
    m_s.RedrawBtn.Hint = "Redraw UiView map now";
    m_s.RedrawBtn.Enabled = m_client->Connected();
    m_s.RedrawChk.SetCaption("Redraw");
    m_s.RedrawChk.Hint = "Forces UiView to redraw map when new image is downloaded";
    m_s.UvULbl.Hint = "Current UIView settings";
    m_s.ShutDownwhenUiViewterminates1.SetCaption("Shut Down when UiView terminates");
}

bool THostLink::ConnectUiView()
{
    bool up = false;
    m_connectError.clear();
    try {
        up = m_client->Connect(&m_connectError);
    } catch (...) {
        up = false;
    }
    m_s.RedrawBtn.Enabled = up;
    RunPendingRedraw();
    return up;
}

void THostLink::RunPendingRedraw()
{
    if (!m_redrawPending || m_client->Busy())
        return;
    m_redrawPending = false;
    RedrawMap();
}

void THostLink::RedrawMap()
{
    if (m_client->Busy()) {
        // A link call is running (its wait runs timers, so a new underlay can arrive
        // meanwhile): the redraw is made when that call ends, not dropped.
        m_redrawPending = true;
        return;
    }
    if (!m_s.RedrawChk.Checked) {
        m_s.Sbar.SetPanel(0, "Redrawing disabled, cannot redraw map");
        if (!ConnectUiView()) {
            RedrawEnded(false, "Redrawing disabled, cannot redraw map" +
                                   (m_connectError.empty() ? std::string() : " (" + m_connectError + ")"));
            return;
        }
    }
    m_s.Sbar.SetPanel(0, "Redrawing map");
    if (ConnectUiView()) {
        m_s.RedrawChk.Checked = true;
        std::string error;
        if (!m_client->Redraw(&error)) {
            m_s.RidgeLbl.SetCaption(kRestartText);
            m_s.FileLbl.SetCaption("Error attempting to redraw UiView");
            // The link's reason, so that the status line and the log say why.
            const std::string text = "Error attempting to redraw UiView" + (error.empty() ? "" : ": " + error);
            m_s.Sbar.SetPanel(0, text);
            AppendLog(m_s, text);
            RedrawEnded(false, text);
        } else {
            RedrawEnded(true, std::string());
        }
        RunPendingRedraw();
        return;
    }
    const std::string text = std::string(kNotConnectedText) + (m_connectError.empty() ? "" : " (" + m_connectError + ")");
    m_s.RidgeLbl.SetCaption(kRestartText);
    m_s.FileLbl.SetCaption(kNotConnectedText);
    m_s.Sbar.SetPanel(0, text);
    AppendLog(m_s, text);
    m_s.RedrawChk.Checked = false;
    m_s.Dialogs.Beep();
    RedrawEnded(false, text);
}

void THostLink::RedrawEnded(bool ok, const std::string& text)
{
    ++m_s.LastRedraw.Serial;
    m_s.LastRedraw.Ok = ok;
    m_s.LastRedraw.Text = text;
    m_s.Hub.Changed("Redraw", ok ? "done" : text);
}

void THostLink::RefreshUiViewStatus()
{
    HostDiscovery(m_s, m_registry, &m_serverIni);
    std::string label = m_s.UiViewMap.empty() ? "Unable to determine current UiView Map" : "UiView Map = " + m_s.UiViewMap;
    const std::string oldTip = m_s.TrayTip;
    if (m_s.UnderlayName.empty()) {
        m_s.UvULbl.SetCaption(label + ", Underlay NOT selected in UiView");
        m_s.RedrawChk.SetCaption("Can't automatically redraw, Underlay unknown");
        m_s.RedrawChk.Enabled = false;
        m_s.TrayTip = "Underlay NOT Selected in UiView";
        m_s.Deletestaleimages1.SetCaption("Delete stale images");
    } else {
        const std::string& u = m_s.UnderlayName;
        const std::string n = m_s.SaveGifChk.Checked ? u : u.substr(0, u.find('.'));
        m_s.UvULbl.SetCaption(label + ", underlay = " + n);
        m_s.RedrawChk.Enabled = true;
        m_s.RedrawChk.SetCaption("Redraw UiView when " + n + " updates");
        m_s.RedrawChk.Hint = "Forces local UiView to redraw when new " + n + " is sent to Target dir";
        if (Pos("Underlay unknown", m_s.TrayTip) > 0 || Pos(" NOT ", m_s.TrayTip) > 0)
            m_s.TrayTip = "Underlay = " + n;
        m_s.LoopRadar1.SetCaption("Loop " + n + " Radar");
        m_s.Deletestaleimages1.SetCaption("Delete stale " + n + " Images");
    }
    if (m_s.TrayTip != oldTip && m_s.Hooks.SetTrayTip)
        m_s.Hooks.SetTrayTip();
}

void THostLink::UIView32IsClosing()
{
    m_s.RedrawBtn.Enabled = false;
    if (m_s.ShutDownwhenUiViewterminates1.Checked && m_s.Hooks.Close) {
        // Said before the close, so an unattended station's journal tells why it ended.
        m_s.Sbar.SetPanel(0, "UI-View32 closed and \"Shut Down when UiView terminates\" is on: closing");
        m_s.Hooks.Close();
    }
}

void THostLink::ShutDownwhenUiViewterminates1Click()
{
    m_s.ShutDownwhenUiViewterminates1.Checked = !m_s.ShutDownwhenUiViewterminates1.Checked;
    SaveSettingsNow(m_s);
}

bool THostLink::Zoom(double left, double top, double right, double bottom, std::string* error)
{
    if (!m_client->Connected()) {
        if (error)
            *error = "not connected to UIView";
        return false;
    }
    if (!m_client->ActivateView(error))
        return false;
    return m_client->ShowArea(left, top, right, bottom, error);
}

std::unique_ptr<TclsUIV> MakeLinkFromSettings(const TShared& s)
{
    TIniFile ini(SettingsPath(s));
    const TLinkCommands commands = ReadLinkCommands(ini.Ini());
    // Any Link section wins, an empty one too: that is how a user turns the default off.
    bool hasSection = false;
    for (const std::string& name : ini.Ini().Sections())
        hasSection = hasSection || SameText(name, "Link");
    if (!hasSection) {
        if (auto wine = MakeWineLink(s.WinePrefix, ExecutableDir()))
            return wine;
    }
    return MakeLink(commands);
}

} // namespace sf
