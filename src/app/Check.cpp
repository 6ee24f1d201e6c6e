#include "app/Check.h"
#include "app/Commands.h"
#include "app/ConsoleView.h"
#include "app/StationReasons.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ListFile.h"
#include "core/Settings.h"
#include "core/layouts/Layout.h"
#include "core/layouts/LayoutChain.h"
#include "core/layouts/WmsNames.h"
#include "core/SourceLists.h"
#include "core/StaleTemp.h"
#include "core/Text.h"
#include "cycle/CycleText.h"
#include "host/HostDiscovery.h"
#include "host/TargetDirs.h"
#include "host/UiViewClient.h"
#include "host/WineLink.h"
#include "net/Fetch.h"
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace sf {

namespace {

class TChecker {
public:
    TChecker(std::ostream& out) : m_out(out) {}
    void Ok(const std::string& item, const std::string& detail) { m_out << "ok    " << item << ": " << detail << "\n"; }
    void Note(const std::string& item, const std::string& detail)
    {
        m_out << "note  " << item << ": " << detail << "\n";
    }
    void Fail(const std::string& item, const std::string& reason)
    {
        m_out << "FAIL  " << item << ": " << reason << "\n";
        if (m_first.empty())
            m_first = item + ": " + reason;
    }
    const std::string& First() const { return m_first; }

private:
    std::ostream& m_out;
    std::string m_first;
};

bool Writable(const std::string& folder)
{
    return DirectoryExists(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
}

void CheckFolder(TChecker& c, const std::string& item, const std::string& folder, const std::string& missing)
{
    if (folder.empty())
        c.Fail(item, missing);
    else if (!DirectoryExists(folder))
        c.Fail(item, folder + " does not exist");
    else if (!Writable(folder))
        c.Fail(item, folder + " is not writable");
    else
        c.Ok(item, folder);
}

// The warning shapefiles are of use only where the map server reads them.
void CheckShapeFolder(TChecker& c, TShared& s)
{
    const std::string folder = Trim(s.TargetED.Caption());
    if (s.QuorServerPath.empty()) {
        const std::string stored = TIniFile(SettingsPath(s)).Ini().ReadString("Shp", "Dir", "");
        c.Note("shapefile folder", (stored.empty() ? folder : stored) + " (used once the map-server folder is found)");
    } else if (!StartsWith(folder, s.QuorServerPath)) {
        c.Note("shapefile folder", folder + " lies outside the map-server folder " + s.QuorServerPath
                                       + ", where the map server reads warning shapefiles; set Dir in the [Shp] section of "
                                       + SettingsPath(s) + " (default " + s.QuorServerPath + "ShpFiles)");
    } else {
        c.Ok("shapefile folder", folder);
    }
}

void CheckList(TChecker& c, TShared& s)
{
    int enabled = 0, inError = 0;
    for (int i = 0; i < s.List.Count(); ++i) {
        enabled += s.List[i].Enabled ? 1 : 0;
        inError += StartsWith(s.List[i].Status, "Error") ? 1 : 0;
    }
    const std::string detail = std::to_string(s.List.Count()) + " records, " + std::to_string(enabled) + " enabled, "
                               + std::to_string(inError) + " in error";
    if (s.List.Empty())
        c.Fail("download list", EmptyListHint());
    else if (enabled == 0)
        c.Fail("download list", detail + ": no record is enabled (stormfetch --enable KEY)");
    else if (inError > 0)
        c.Note("download list", detail + " (stormfetch --list shows them)");
    else
        c.Ok("download list", detail);
}

void CheckLink(TChecker& c, TShared& s)
{
    const TIniFile ini(SettingsPath(s));
    const TLinkCommands commands = ReadLinkCommands(ini.Ini());
    bool hasSection = false;
    for (const std::string& name : ini.Ini().Sections())
        hasSection = hasSection || SameText(name, "Link");
    // The same choice the program makes: a Link section wins, else the Wine helper when it can work.
    std::unique_ptr<TclsUIV> link;
    std::string which;
    if (!hasSection) {
        const char* path = std::getenv("PATH");
        const TWineTools tools = FindWineTools(HelperFolders(ExecutableDir()), path ? path : "");
        link = MakeWineLink(s.WinePrefix, ExecutableDir());
        if (link)
            which = "the Wine helper " + tools.Helper + " run by " + tools.Loader;
    }
    if (!link) {
        if (!commands.Configured()) {
            const char* path = std::getenv("PATH");
            c.Note("link", hasSection ? "the [Link] section of " + SettingsPath(s) + " is empty; redrawing is off"
                                      : "no [Link] commands in " + SettingsPath(s) +
                                            " and no usable Wine helper; the map is not redrawn after an update: "
                                            + WineHelperProblem(s.WinePrefix, HelperFolders(ExecutableDir()),
                                                                path ? path : ""));
            return;
        }
        link = MakeLink(commands);
        which = "the [Link] commands of " + SettingsPath(s);
    }
    if (!MapProgramRunning()) {
        c.Note("link", which + "; UI-View32 is not running, so Connect was not tried");
        return;
    }
    std::string error;
    if (link->Connect(&error))
        c.Ok("link", which + ": Connect succeeded");
    else
        c.Fail("link", which + ": Connect failed: " + (error.empty() ? std::string("no reason given") : error));
}

// The request the cycle makes first for the first enabled record in a layout of the
// station: the site listing in the RIDGE layout, the JSON file beside the image in the iem
// layout, the layer's capabilities in the nwswms layout.
std::string FirstNewnessURL(const TShared& s, TLayout layout)
{
    const TRadarObj* first = nullptr;
    for (int i = 0; i < s.List.Count() && !first; ++i)
        if (s.List[i].Enabled && (layout != TLayout::Ridge || !StartsWith(s.List[i].Radar, "!!")))
            first = &s.List[i];
    std::string image;
    if (first && layout == s.Layout) {
        image = first->ImageURL;
    } else if (first) {
        // A later layout of the list: the addresses the cycle derives when it asks that one.
        TNaming naming = s.Naming();
        naming.Layout = layout;
        image = LayoutOf(layout).Urls(*first, naming).Image;
    }
    if (layout == TLayout::Wms) // the layer's capabilities
        return WmsCapabilitiesURL(first && !image.empty() ? image
                                                          : WmsLayerAddress(s.WmsBase, "IL,Chicago,LOT", "LOT", "N0B"));
    if (layout == TLayout::Iem) {
        const std::string url = first ? IemMetaURL(image) : std::string();
        return url.empty() ? IemMetaURL(IemUrls(s.IemBase, false, "LOT", "N0B").Image) : url;
    }
    return SiteListingURL(s.RidgeBase, first ? first->RemoteName : std::string("LOT_N0R_0"));
}

// GET of the first newness request in one layout; false with the reason.
bool AskLayout(TShared& s, const std::string& url, std::string& reason, TRadarObj& probe)
{
    // Named as this process's temporary, so a check cut short leaves nothing past the next start.
    const std::string path = OwnTempPath(s.ProgramDir + "check.htm");
    TWebFetch web(s);
    bool ok = false;
    try {
        ok = web.FetchFile(url, path, &probe);
        reason = StartsWith(probe.Status, "Error") ? probe.Status : s.Sbar.Panel(0);
    } catch (const std::exception& e) {
        reason = e.what();
    }
    DeleteFile(path);
    return ok;
}

void CheckRadarBase(TChecker& c, TShared& s)
{
    const std::string limit = " (time-out " + std::to_string(s.RidgeTimer.Interval() / 1000) + " s)";
    if (s.Fallbacks.empty()) {
        const std::string url = FirstNewnessURL(s, s.Layout);
        TRadarObj probe = TRadarObj::Create(s.Clock);
        std::string reason;
        if (AskLayout(s, url, reason, probe)) {
            c.Ok("radar base URL", "GET " + url + " answered" + limit);
            return;
        }
        c.Fail("radar base URL", "GET " + url + " failed: " + reason + limit);
        if (s.Layout == TLayout::Ridge && RetiredRidgeAnswer(url, probe.Status))
            c.Note("source layout", RetiredRidgeHint());
        return;
    }
    // Several layouts: each is tried in order; the station works while one of them answers.
    const std::vector<TLayout> chain = LayoutChainOf(s.Layout, s.Fallbacks);
    bool any = false;
    for (TLayout layout : chain) {
        const std::string url = FirstNewnessURL(s, layout);
        TRadarObj probe = TRadarObj::Create(s.Clock);
        std::string reason;
        const std::string name = LayoutName(layout);
        if (AskLayout(s, url, reason, probe)) {
            any = true;
            c.Ok("radar base URL", name + ": GET " + url + " answered" + limit);
        } else {
            c.Note("radar base URL", name + ": GET " + url + " failed: " + reason + limit);
        }
    }
    if (!any)
        c.Fail("radar base URL", "none of the layouts " + LayoutListText(chain) + " answered");
}

} // namespace

std::string PrefixOrigin(const std::string& argument)
{
    if (!argument.empty())
        return "--wineprefix";
    const char* env = std::getenv("WINEPREFIX");
    return env && *env ? "$WINEPREFIX" : "the default ~/.wine";
}

bool MapProgramRunning()
{
    const QStringList pids = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool number = false;
        pid.toInt(&number);
        if (!number)
            continue;
        QFile f("/proc/" + pid + "/cmdline");
        if (!f.open(QIODevice::ReadOnly))
            continue;
        if (f.readAll().toLower().contains("uiview32.exe"))
            return true;
    }
    return false;
}

int RunSetupCheck(const TCheckOptions& options, std::ostream& out, std::ostream& err)
{
    TSystemClock clock;
    std::ostringstream quiet;
    THeadlessDialogs silent(quiet, quiet, false);
    TShared s(clock, silent);
    s.ProgramDir = options.ProgramDir;
    s.ExeName = options.ExeName;
    s.WinePrefix = ChooseWinePrefix(options.WinePrefixArg);
    TChecker c(out);

    const std::string chosen = "chosen by " + PrefixOrigin(options.WinePrefixArg);
    if (DirectoryExists(s.WinePrefix))
        c.Ok("Wine prefix", s.WinePrefix + " (" + chosen + ")");
    else
        c.Fail("Wine prefix", s.WinePrefix + " does not exist (" + chosen + "; use --wineprefix DIR)");

    // What loading says in the error log (a line it cannot read, a backup it keeps) is a note here.
    std::vector<std::string> said;
    s.Hub.Listeners.push_back([&said](const std::string& control, const std::string& text) {
        if (control == "Log")
            said.push_back(text);
    });
    auto notes = [&](const std::string& item) {
        for (const std::string& text : said)
            c.Note(item, text);
        said.clear();
    };
    HostDiscovery(s);
    said.clear();
    std::string settingsError;
    if (!LoadSettings(s, &settingsError))
        c.Fail("settings file", settingsError);
    notes("settings file");
    if (s.UiViewFolder.empty() || !DirectoryExists(s.UiViewFolder))
        c.Fail("UI-View32 folder", "not found in " + s.WinePrefix);
    else
        c.Ok("UI-View32 folder", s.UiViewFolder);

    if (s.UiViewMap.empty())
        c.Fail("map on show", "Unable to determine current UiView Map");
    else if (UpperCase(s.UiViewMap).find("QUORSERVER") == std::string::npos)
        c.Fail("map on show", s.UiViewMap + " is not a map-server map: QuorServer not selected in UiView,Maps,LoadMap!");
    else
        c.Ok("map on show", s.UiViewMap + " (a map-server map)");

    if (s.QuorServerPath.empty() || !DirectoryExists(s.QuorServerPath))
        c.Fail("map-server folder", "Cannot find QuorServer directory!");
    else
        c.Ok("map-server folder", s.QuorServerPath);
    CheckFolder(c, "underlay folder", s.QuorUnderlayPath, "not found (the map server's \"Quor Underlays\" folder)");
    CheckShapeFolder(c, s);

    if (s.UnderlayName.empty())
        c.Fail("underlay selected", "no underlay is selected in the map server");
    else
        c.Ok("underlay selected", s.UnderlayName);

    std::string error;
    if (!LoadSourceLists(s, &error))
        c.Fail("source lists", error);
    said.clear();
    if (!LoadList(s))
        c.Fail("download list", "cannot read " + s.ProgramDir + kListFileReadName);
    else
        CheckList(c, s);
    notes("download list");

    LoadTargetList(s);
    if (s.TargetCmb.Items.empty())
        c.Note("target folders", "none listed; the first start fills in the underlay folder");
    for (const std::string& folder : s.TargetCmb.Items)
        CheckFolder(c, "target folder", folder, "empty entry");

    CheckLink(c, s);
    std::string layouts;
    for (TLayout layout : LayoutChainOf(s.Layout, s.Fallbacks))
        layouts += (layouts.empty() ? "" : ", then ") + std::string(LayoutName(layout)) + " at "
            + LayoutOf(layout).Base(s.Naming());
    c.Ok("source layout", layouts + " (stormfetch --layout " + LayoutNames("|") + " chooses)");
    CheckRadarBase(c, s);

    out.flush();
    if (!c.First().empty()) {
        err << "stormfetch: the set-up check failed: " << c.First() << std::endl;
        return 1;
    }
    out << "The set-up check found nothing that stops the station." << std::endl;
    return 0;
}

} // namespace sf
