#include "app/Demo.h"
#include "app/ConsoleView.h"
#include "app/Main.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ListFile.h"
#include "core/Settings.h"
#include "host/UiViewClient.h"
#include <unistd.h>

namespace sf {

namespace {

constexpr const char* kServerClsid = "{6F1D3A52-5B7E-4C11-9E2A-3D4B5C6D7E8F}";

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
    const std::string drive = prefix + "drive_c/";
    const std::string server = drive + "Peak Systems/QuorServer9/";
    if (!ForceDirectories(server + "Quor Underlays/") || !ForceDirectories(drive + "UIView32/MAPS/")
        || !ForceDirectories(prefix + "dosdevices/")) {
        if (error)
            *error = "cannot create the demo host under " + prefix;
        return false;
    }
    const std::string link = prefix + "dosdevices/c:";
    unlink(link.c_str());
    if (symlink("../drive_c", link.c_str()) != 0) {
        if (error)
            *error = "cannot link " + link;
        return false;
    }
    const std::string user =
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
        "#arch=win32\n\n"
        "[Software\\\\Classes\\\\CLSID\\\\" + std::string(kServerClsid) + "\\\\InprocServer32] 1700000000\n"
        "#time=1d9a0b0c0d0e0f0\n"
        "@=\"C:\\\\Peak Systems\\\\QuorServer9\\\\QuorServer9.dll\"\n"
        "\"ThreadingModel\"=\"Apartment\"\n\n"
        "[Software\\\\Classes\\\\QuorServer9.clsMapServ\\\\Clsid] 1700000000\n"
        "@=\"" + std::string(kServerClsid) + "\"\n\n"
        "[Software\\\\VB and VBA Program Settings\\\\Peak Systems\\\\UI-View32] 1700000000\n"
        "\"Program Folder\"=\"C:\\\\UIView32\\\\\"\n";
    const std::string system = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n";
    return Write(prefix + "user.reg", user, error) && Write(prefix + "system.reg", system, error)
        && Write(drive + "UIView32/UiView32.ini", "[MAPS]\r\nLAST_MAP=C:\\UIView32\\MAPS\\!!QuorServer9.map\r\n", error)
        && Write(drive + "UIView32/MAPS/!!QuorServer9.map", "", error)
        && Write(server + "QuorServer9.dll", "", error)
        && Write(server + "QuorServer9.ini",
                 "[SETUP]\r\nUNDERLAY=C:\\Peak Systems\\QuorServer9\\Quor Underlays\\" + underlayName + "\r\n", error);
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
        TNaming naming{m_server->RidgeBase(), m_server->RidgeNatBase(), false};
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
    view.Note("Demo radar feed: " + m_server->RidgeBase() + " and " + m_server->RidgeNatBase());
    std::string underlays = m_main ? m_main->Shared().QuorUnderlayPath : std::string();
    if (underlays.empty())
        underlays = WinePrefix() + "drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    view.Note("Demo underlays are written to " + underlays);
}

} // namespace sf
