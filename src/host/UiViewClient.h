// The link to the map program. The map program's own automation does not reach
// this process, so the link is an interface with the abilities the program uses:
// connect (attach or start), redraw, the two view calls of the zoom, and a
// notification when the map program closes. Each call reports failure with a message.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sf {

class TIniText;

class TclsUIV {
public:
    virtual ~TclsUIV() = default;
    /// Attaches to the running map program or starts it; a no-op once connected.
    virtual bool Connect(std::string* error) = 0;
    virtual bool Connected() const = 0;
    /// Asks the map program to redraw its map, reloading the underlay.
    virtual bool Redraw(std::string* error) = 0;
    /// First view call of the zoom: obtain the view object and activate it.
    virtual bool ActivateView(std::string* error) = 0;
    /// Second view call of the zoom: show the area left, top, right, bottom.
    virtual bool ShowArea(double left, double top, double right, double bottom, std::string* error) = 0;
    /// True while a link call is running (calls pump the event loop).
    virtual bool Busy() const { return false; }
    /// Called when the map program announces that it closes.
    std::function<void()> OnClosing;
    /// Called with a status text while a call takes long (the program shows it).
    std::function<void(const std::string&)> OnSlow;
    /// Called with a text worth keeping in the error log (a watch that ended abnormally).
    std::function<void(const std::string&)> OnNotice;
};

/// No map program configured: connecting fails, so the link stays down.
class TNoLink : public TclsUIV {
public:
    bool Connect(std::string* error) override;
    bool Connected() const override { return false; }
    bool Redraw(std::string* error) override;
    bool ActivateView(std::string* error) override;
    bool ShowArea(double, double, double, double, std::string* error) override;
};

/// Accepts every call and records it ("connect", "redraw", "activate",
/// "area l t r b"); for the demonstration feed and tests.
class TAcceptLink : public TclsUIV {
public:
    bool Connect(std::string* error) override;
    bool Connected() const override { return m_connected; }
    bool Redraw(std::string* error) override;
    bool ActivateView(std::string* error) override;
    bool ShowArea(double left, double top, double right, double bottom, std::string* error) override;
    /// Plays the map program's closing announcement.
    void SimulateClosing();
    std::vector<std::string> Calls;

private:
    bool m_connected = false;
};

/// Commands of the settings file's Link section, or of the Wine helper.
struct TLinkCommands {
    std::string Connect, Redraw, Zoom, Watch;
    int TimeoutMs = 10000;        ///< a command still running then is killed
    int ConnectTimeoutMs = 10000; ///< the same for Connect, which may have to start Wine first
    int SlowMs = 5000;            ///< a command running this long is announced through OnSlow
    std::vector<std::pair<std::string, std::string>> Environment; ///< set for every command
    bool Configured() const { return !Connect.empty() || !Redraw.empty() || !Zoom.empty(); }
};

/// Reads section Link, keys Connect, Redraw, Zoom and Watch.
TLinkCommands ReadLinkCommands(const TIniText& ini);
/// The command link when any command is configured, else the link that never connects.
std::unique_ptr<TclsUIV> MakeLink(const TLinkCommands& commands);

} // namespace sf
