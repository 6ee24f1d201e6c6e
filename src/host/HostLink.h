// The main window's side of the link to UI-View32: connecting, the map redraw with
// its status texts, the view of what UI-View32 shows (map, underlay), and the
// reaction to UI-View32 closing.
#pragma once
#include "core/Shared.h"
#include "host/UiViewClient.h"
#include "host/WineRegistry.h"
#include <memory>
#include <string>

namespace sf {

class THostLink {
public:
    /// Takes the link adapter (the never-connecting one when null) and hooks its closing notification.
    THostLink(TShared& s, std::unique_ptr<TclsUIV> client);
    THostLink(const THostLink&) = delete;
    THostLink& operator=(const THostLink&) = delete;

    /// Sets s.Hooks.RedrawMap and s.Hooks.RefreshUiViewStatus to this object.
    void Wire();
    /// Captions and hints of the controls the link owns.
    void InitControls();

    /// Connects (no-op when connected); RedrawBtn is enabled exactly when the link is up.
    bool ConnectUiView();
    /// The redraw with its status texts; re-arms RedrawChk when connected.
    void RedrawMap();
    void RedrawBtnClick() { RedrawMap(); }
    /// Host discovery, then UvULbl, RedrawChk, TrayTip and the tray captions.
    void RefreshUiViewStatus();
    /// UI-View32 closes: RedrawBtn off; with the shutdown option on, the close path runs.
    void UIView32IsClosing();
    /// Toggles "Shut Down when UiView terminates" and saves the settings.
    void ShutDownwhenUiViewterminates1Click();
    /// The zoom's two view calls in order; false with a message on the first failure.
    bool Zoom(double left, double top, double right, double bottom, std::string* error = nullptr);

    TclsUIV& Client() { return *m_client; }
    TWineRegistry& Registry() { return m_registry; }
    /// The map server's ini as found by the latest discovery.
    const std::string& ServerIni() const { return m_serverIni; }

private:
    /// The redraw asked for while a link call ran, once no call runs.
    void RunPendingRedraw();
    /// Records and announces how a redraw ended.
    void RedrawEnded(bool ok, const std::string& text);
    TShared& m_s;
    std::unique_ptr<TclsUIV> m_client;
    TWineRegistry m_registry;
    std::string m_serverIni;
    std::string m_connectError; ///< the reason the latest connect failed
    bool m_redrawPending = false; ///< a redraw asked for while a link call ran
};

/// Saves the settings through the main object's hook (directly when none is wired).
void SaveSettingsNow(TShared& s);
/// The link adapter the settings file asks for (section Link); without one, the Wine
/// helper link when it can work in s.WinePrefix; else the never-connecting one.
std::unique_ptr<TclsUIV> MakeLinkFromSettings(const TShared& s);

} // namespace sf
