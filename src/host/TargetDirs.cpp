#include "host/TargetDirs.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/StoredFiles.h"
#include "core/Text.h"
#include "host/HostDiscovery.h"
#include "host/HostLink.h"

namespace sf {

namespace {

bool ServerMissing(const TShared& s)
{
    return s.QuorUnderlayPath.empty() || s.QuorUnderlayPath == "-1";
}

std::string ListPath(const TShared& s)
{
    return s.ProgramDir + kTargetListFile;
}

int IndexOf(const std::vector<std::string>& items, const std::string& path)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (SameText(items[i], path))
            return int(i);
    return -1;
}

// The file exists but was not loaded: it is neither seeded nor written.
bool TargetListHeld(const TShared& s)
{
    return s.Stored.TargetsHeld && PathPresent(ListPath(s));
}

void RefreshStatus(TShared& s)
{
    if (s.Hooks.RefreshUiViewStatus)
        s.Hooks.RefreshUiViewStatus();
}

} // namespace

void InitTargetControls(TShared& s)
{
    s.TargetCmb.Hint = "Copy radar images to these directories";
    s.AddTargetBtn.SetCaption("Add");
    s.AddTargetBtn.Hint = "Add \\QuorServerX\\Quor Underlays\\ target directory to the list";
    s.TargetDelBtn.SetCaption("Delete");
    s.TargetDelBtn.Hint = "Delete an existing \\QuorServerX\\Quor Underlays\\ target directory";
}

bool LoadTargetList(TShared& s, std::string* error)
{
    std::string bytes;
    bool found = false;
    if (!LoadStoredFile(ListPath(s), bytes, found, s.Stored.TargetsHeld, error))
        return false;
    if (!found)
        return true;
    std::vector<std::string> items;
    for (const std::string& line : SplitLines(bytes))
        if (!Trim(line).empty())
            items.push_back(line);
    s.TargetCmb.Items = std::move(items);
    return true;
}

bool SaveTargetList(TShared& s)
{
    if (TargetListHeld(s)) {
        const std::string msg = HeldFileText(ListPath(s));
        s.Sbar.SetPanel(0, msg);
        AppendLog(s, msg);
        return false;
    }
    std::string bytes;
    for (const std::string& item : s.TargetCmb.Items)
        if (!item.empty())
            bytes += item + "\r\n";
    if (SaveFileAtomic(ListPath(s), bytes)) {
        s.Stored.TargetsHeld = false;
        return true;
    }
    const std::string msg = "Unable to write to " + ListPath(s);
    s.Sbar.SetPanel(0, msg);
    AppendLog(s, msg);
    return false;
}

void SeedTargetList(TShared& s)
{
    try {
        // A list that exists but was not loaded is not empty, only unknown: seeding it
        // would lose the other machines' folders.
        if (s.TargetCmb.Items.empty() && !TargetListHeld(s)) {
            if (!s.QuorUnderlayPath.empty() && DirectoryExists(s.QuorUnderlayPath)) {
                s.TargetCmb.Items = {s.QuorUnderlayPath};
                SaveTargetList(s);
            } else if (s.UiViewFolder.empty() || !DirectoryExists(s.UiViewFolder)) {
                s.Dialogs.ErrorBox("Cannot find UIView directory.  UiView must be installed before proceeding\rAborting...");
                if (s.Hooks.Close)
                    s.Hooks.Close();
            }
        }
    } catch (...) {
        // Seeding is a convenience; the list can still be edited by hand.
    }
    if (s.TargetCmb.Items.size() == 1)
        s.TargetCmb.SetCaption(s.TargetCmb.Items.front());
}

void AddTargetBtnClick(TShared& s)
{
    const std::string version = kVersionText;
    const std::string product = version.substr(0, version.find(' '));
    const auto chosen = s.Dialogs.BrowseFolder(product + " Target Directory", "/");
    if (chosen && !chosen->empty()) {
        const std::string path = CanonicalFolder(*chosen);
        if (IndexOf(s.TargetCmb.Items, path) < 0) {
            s.TargetCmb.Items.push_back(path);
            s.TargetCmb.SetCaption(path);
            SaveTargetList(s);
            SaveSettingsNow(s);
        }
    }
    if (ServerMissing(s))
        RefreshStatus(s);
    if (ServerMissing(s))
        ReportMissingServer(s);
}

void TargetDelBtnClick(TShared& s)
{
    const std::string path = Trim(s.TargetCmb.Caption());
    const int i = path.empty() ? -1 : IndexOf(s.TargetCmb.Items, path);
    if (i >= 0 && s.Dialogs.AskYesNo("Delete directory " + path + "?")) {
        s.TargetCmb.Items.erase(s.TargetCmb.Items.begin() + i);
        SaveTargetList(s);
        s.TargetCmb.SetCaption("");
        SaveSettingsNow(s);
    }
    RefreshStatus(s);
    if (ServerMissing(s))
        ReportMissingServer(s);
}

void ReportMissingServer(TShared& s)
{
    AppendLog(s, "Cannot find QuorServer");
    s.Dialogs.ErrorBox("Cannot find QuorServer!\r\rUiView32 2.0.3 and QuorServer6 or later must be installed!\r"
                       "Press add btn and select local QuorServer directory.");
    s.Sbar.SetPanel(0, "Cannot find QuorServer directory! Press Target directories, add btn and select local QuorServer dir");
    s.Sbar.SetPanel(1, "ERROR");
    s.Shape1.BrushColor = clRed;
    s.StateLbl.SetCaption("Processing suspended, cannot find local QuorServer directory!");
}

} // namespace sf
