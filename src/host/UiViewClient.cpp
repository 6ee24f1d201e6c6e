#include "host/UiViewClient.h"
#include "core/IniFile.h"
#include "host/CommandLink.h"

namespace sf {

namespace {
bool NotConnected(std::string* error)
{
    if (error)
        *error = "no map program link is configured";
    return false;
}
} // namespace

bool TNoLink::Connect(std::string* error) { return NotConnected(error); }
bool TNoLink::Redraw(std::string* error) { return NotConnected(error); }
bool TNoLink::ActivateView(std::string* error) { return NotConnected(error); }
bool TNoLink::ShowArea(double, double, double, double, std::string* error) { return NotConnected(error); }

bool TAcceptLink::Connect(std::string*)
{
    if (!m_connected)
        Calls.push_back("connect");
    m_connected = true;
    return true;
}

bool TAcceptLink::Redraw(std::string*)
{
    Calls.push_back("redraw");
    return true;
}

bool TAcceptLink::ActivateView(std::string*)
{
    Calls.push_back("activate");
    return true;
}

bool TAcceptLink::ShowArea(double left, double top, double right, double bottom, std::string*)
{
    Calls.push_back("area " + LinkNumber(left) + " " + LinkNumber(top) + " " + LinkNumber(right) + " " +
                    LinkNumber(bottom));
    return true;
}

void TAcceptLink::SimulateClosing()
{
    if (OnClosing)
        OnClosing();
}

TLinkCommands ReadLinkCommands(const TIniText& ini)
{
    TLinkCommands c;
    c.Connect = ini.ReadString("Link", "Connect", "");
    c.Redraw = ini.ReadString("Link", "Redraw", "");
    c.Zoom = ini.ReadString("Link", "Zoom", "");
    c.Watch = ini.ReadString("Link", "Watch", "");
    return c;
}

std::unique_ptr<TclsUIV> MakeLink(const TLinkCommands& commands)
{
    if (commands.Configured())
        return std::make_unique<TCommandLink>(commands);
    return std::make_unique<TNoLink>();
}

} // namespace sf
