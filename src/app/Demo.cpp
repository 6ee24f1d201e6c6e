#include "app/Demo.h"
#include "app/ConsoleView.h"
#include "app/Main.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ListFile.h"
#include "core/Settings.h"
#include "core/layouts/LayoutChain.h"
#include <algorithm>
#include "host/FakePrefix.h"
#include "host/UiViewClient.h"

namespace sf {

namespace {

struct TSeed {
    const char* Radar;
    const char* Product;
    bool Accumulate;
};
// LOT accumulates, so the series for a loop grows; one more site; both mosaic paths.
const TSeed kSeeds[] = {
    {"IL,Chicago,LOT", "Short Range Reflectivity, N0R", true},
    {"WI,Milwaukee,MKX", "Short Range Reflectivity, N0R", false},
    {"!!ConUS,Iowa State University", ", ", false},
    {"!!N0R_0,National reflectivity mosaic", ", ", false},
};

bool Write(const std::string& path, const std::string& text, std::string* error)
{
    if (!ForceDirectories(ExtractFilePath(path)) || !SaveFileAtomic(path, text)) {
        if (error)
            *error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

bool BuildDemoHost(const std::string& prefix, const std::string& underlayName, std::string* error)
{
    // UI-View32 whose last map is a map-server map, and the map server with its
    // underlay folder, as their installers leave them in a Wine prefix.
    TFakePrefixOptions host;
    host.Underlay = underlayName;
    host.CreateUnderlay = false; // the first conversion writes it
    // The map's name in capitals: the tray's loop and zoom items look for "QUORSERVE" in
    // exact case, so a mixed-case map name would keep them disabled.
    host.LastMap = "C:\\UIView32\\MAPS\\!!QUORSERVER9.MAP";
    return WriteFakePrefix(prefix, host, error);
}

TDemoFeed::TDemoFeed(std::string programDir, const IClock& clock, TDemoRadarSource source)
    : m_programDir(IncludeTrailingSlash(programDir)), m_clock(clock),
      m_server(std::make_unique<TDemoServer>(clock, std::move(source)))
{
}

TDemoFeed::~TDemoFeed() = default;

bool TDemoFeed::Prepare(std::string* error)
{
    if (!BuildDemoHost(WinePrefix(), "LOT_N0R_0.bmp", error))
        return false;
    if (!m_server->Start(error))
        return false;

    // The demo's own settings: the feed's addresses always; the first run also picks
    // BMP underlays with the legend strip.
    TIniFile ini(m_programDir + SettingsName);
    const bool fresh = !ini.Ini().HasKey("User", "Version");
    ini.Ini().WriteString("URL", "RIDGE", m_server->RidgeBase());
    ini.Ini().WriteString("URL", "RIDGENAT", m_server->RidgeNatBase());
    ini.Ini().WriteInteger("URL", "SelectRidge", 0);
    const std::vector<TLayout> chain = LayoutChainOf(Layout, Fallbacks);
    ini.Ini().WriteString("URL", "Layout", LayoutListText(chain));
    ini.Ini().WriteString("URL", "IEM", m_server->IemBase());
    if (std::find(chain.begin(), chain.end(), TLayout::Wms) != chain.end() || ini.Ini().HasKey("URL", "WMS"))
        ini.Ini().WriteString("URL", "WMS", m_server->WmsBase());
    ini.Ini().WriteString("Shp", "URL", m_server->ShapefileBase());
    if (fresh) {
        ini.Ini().WriteBool("Shp", "Severe", true);
        ini.Ini().WriteBool("User", "NativeFmt", false);
        ini.Ini().WriteBool("User", "Legend", true);
        ini.Ini().WriteBool("User", "LogErrors", true);
        ini.Ini().WriteString("User", "Version", "Stormfetch 2.9.1");
    }
    if (!ini.Save()) {
        if (error)
            *error = "cannot write " + ini.Path();
        return false;
    }

    if (!FileExists(m_programDir + kListFileReadName)) {
        DownloadList list;
        TNaming naming{m_server->RidgeBase(), m_server->RidgeNatBase(), false, Layout, m_server->IemBase(),
                       m_server->WmsBase()};
        for (const auto& seed : kSeeds) {
            TRadarObj r = TRadarObj::Create(m_clock);
            r.SetNames(seed.Radar, seed.Product, naming);
            r.Accumulate = seed.Accumulate;
            list.Add(std::string(seed.Radar) + "\t" + seed.Product, std::move(r));
        }
        if (!Write(m_programDir + kListFileWriteName, ListText(list), error))
            return false;
    }
    return true;
}

void TDemoFeed::Attach(TMain& main)
{
    m_main = &main;
    main.UseLink(std::make_unique<TAcceptLink>());
}

void TDemoFeed::Started(TConsoleView& view)
{
    if (Layout == TLayout::Iem)
        view.Note("Demo radar feed (iem layout): " + m_server->IemBase());
    else if (Layout == TLayout::Wms)
        view.Note("Demo radar feed (nwswms layout): " + m_server->WmsBase());
    else
        view.Note("Demo radar feed: " + m_server->RidgeBase() + " and " + m_server->RidgeNatBase());
    if (!Fallbacks.empty())
        view.Note("Demo layouts asked in order: " + LayoutListText(LayoutChainOf(Layout, Fallbacks)));
    std::string underlays = m_main ? m_main->Shared().QuorUnderlayPath : std::string();
    if (underlays.empty())
        underlays = WinePrefix() + "drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    view.Note("Demo underlays are written to " + underlays);
}

} // namespace sf
