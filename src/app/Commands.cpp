#include "app/Commands.h"
#include "core/Files.h"
#include "core/Grid.h"
#include "core/ListFile.h"
#include "core/ListHandlers.h"
#include "core/Settings.h"
#include "core/SourceLayout.h"
#include "core/layouts/LayoutChain.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include <algorithm>

namespace sf {

namespace {

constexpr int kBadInput = 2;
constexpr const char* kDefaultProductLine = "N0R, Short Range Reflectivity";
constexpr int kRefused = 1;

std::string SiteOfLine(const std::string& line)
{
    if (StartsWith(line, "!!"))
        return Trim(GetField(line.substr(2), 1, ','));
    return Trim(GetField(line, 3, ','));
}

std::string PadRight(const std::string& text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The rows of a table with each column as wide as its widest cell, two blanks apart.
std::vector<std::string> Table(const std::vector<std::vector<std::string>>& rows)
{
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) {
            if (widths.size() <= c)
                widths.push_back(0);
            widths[c] = std::max(widths[c], row[c].size());
        }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? PadRight(row[c], widths[c] + 2) : row[c];
        lines.push_back(line);
    }
    return lines;
}

TCommandResult Refused(const std::vector<std::string>& errors, const std::string& fallback)
{
    return {kRefused, {}, errors.empty() ? fallback : errors.front()};
}

TCommandResult AddCommand(TShared& s, TCommandDialogs& dialogs, const std::vector<std::string>& args)
{
    std::string radar, product, error;
    if (!ResolveRadar(s.RadarCmb.Items, args.at(0), radar, error))
        return {kBadInput, {}, error};
    // The built-in product list has no N0R: the default is the selector's own first text.
    std::vector<std::string> products = s.ProductCmb.Items;
    products.push_back(s.ProductCmb.Caption());
    products.push_back(kDefaultProductLine);
    if (!ResolveProduct(products, args.size() > 1 ? args[1] : "N0R", product, error))
        return {kBadInput, {}, error};
    // The selectors show what the command chose, as if the user had picked it.
    s.RadarCmb.SetCaption(radar);
    s.ProductCmb.SetCaption(product);
    const int before = s.List.Count();
    bool wired = false;
    const auto errors = ClickAsCommand(dialogs, s.AddBtn, wired);
    if (!wired)
        return {kRefused, {}, "not available"};
    if (s.List.Count() != before + 1)
        return Refused(errors, "Record not added");
    TCommandResult added{0, {}, "Added " + RecordKey(s.List[s.List.Count() - 1])};
    // A whole line is kept as typed; a site the source list does not know is most likely a typo.
    const std::string site = SiteOfLine(radar);
    const bool known = std::any_of(s.RadarCmb.Items.begin(), s.RadarCmb.Items.end(),
                                   [&](const std::string& item) { return SameText(SiteOfLine(item), site); });
    if (!known)
        added.Out.push_back("Warning: " + (site.empty() ? "\"" + radar + "\"" : site) +
                            " is not in the radar source list (stormfetch --sources lists it); the line is kept as typed");
    return added;
}

// remove, enable, disable, accumulate: the grid's row of the record, then its handler.
TCommandResult RecordCommand(TShared& s, TCommandDialogs& dialogs, const std::string& verb,
                             const std::vector<std::string>& args)
{
    std::string error;
    const int index = FindRecord(s.List, args.at(0), error);
    if (index < 0)
        return {kBadInput, {}, error};
    const std::string key = RecordKey(s.List[index]);
    const TControl* control = nullptr;
    std::string done;
    if (verb == "remove") {
        control = &s.DeleteBtn;
        done = "Removed " + key;
    } else if (verb == "enable" || verb == "disable") {
        const bool want = verb == "enable";
        if (s.List[index].Enabled == want)
            return {0, {}, key + " is already " + verb + "d"};
        control = &s.Disabledownload1;
        done = key + (want ? " enabled" : " disabled");
    } else {
        const bool want = args.at(1) == "on";
        if (s.List[index].Accumulate == want)
            return {0, {}, key + " already has accumulate " + args[1]};
        control = &s.Accumulateimages1;
        done = key + " accumulate " + args[1];
    }
    const int before = s.List.Count();
    const TRadarObj* record = &s.List[index];
    const bool enabled = record->Enabled, accumulate = record->Accumulate;
    s.RadarGrid.Row = index + 1;
    bool wired = false;
    const auto errors = ClickAsCommand(dialogs, *control, wired);
    if (!wired)
        return {kRefused, {}, "not available"};
    const bool changed = verb == "remove" ? s.List.Count() == before - 1
                                          : index < s.List.Count() && &s.List[index] == record
                                                && (record->Enabled != enabled || record->Accumulate != accumulate);
    if (!changed)
        return Refused(errors, key + " was not changed");
    return {0, {}, done};
}

// layout NAME[,NAME...]: stores [URL] Layout and readdresses every record for it at once, so the
// next tick of a running copy already fetches from the chosen layout.
TCommandResult LayoutCommand(TShared& s, const std::vector<std::string>& args)
{
    std::vector<TLayout> chain;
    std::string why;
    if (!ParseLayoutList(args.at(0), chain, why))
        return {kBadInput, {}, why + " (" + LayoutNames(", ") + ")"};
    const std::string name = LayoutListText(chain);
    if (chain == LayoutChainOf(s.Layout, s.Fallbacks))
        return {0, {}, "The source layout is already " + name};
    s.Layout = chain.front();
    s.Fallbacks.assign(chain.begin() + 1, chain.end());
    // The other layout's source alternates mean nothing here.
    s.SelectRidge = 0;
    const TNaming naming = s.Naming();
    const TDateTime due = s.Clock.UTCNow() - kOneMinute;
    for (int i = 0; i < s.List.Count(); ++i) {
        TRadarObj& r = s.List[i];
        // The underlay keeps its name, so maps that show it need no change.
        const std::string localName = r.LocalName;
        r.SetNames(r.Radar, r.Product, naming);
        r.LocalName = localName;
        if (r.Enabled)
            r.NextAttempt = due;
    }
    std::string error;
    if (!SaveSettings(s, &error))
        return {kRefused, {}, error};
    SaveList(s);
    // Each layout offers its own products (and the iem one the TDWR sites).
    (void)LoadSourceLists(s);
    RebuildGrid(s);
    return {0, {}, "Source layout " + name + " stored in " + SettingsPath(s) + "; " + std::to_string(s.List.Count())
                       + " records readdressed"};
}

} // namespace

std::vector<std::string> ClickAsCommand(TCommandDialogs& dialogs, const TControl& control, bool& wired)
{
    dialogs.BeginCommand();
    wired = control.Click();
    return dialogs.EndCommand();
}

std::string RecordKey(const TRadarObj& r)
{
    if (StartsWith(r.Radar, "!!"))
        return SiteOfLine(r.Radar);
    const std::string code = FieldCount(r.Product, ',') < 2 ? std::string() : Trim(GetField(r.Product, 2, ','));
    return Trim(SiteOfLine(r.Radar) + " " + code);
}

int FindRecord(const DownloadList& list, const std::string& key, std::string& error)
{
    const std::string wanted = Trim(key);
    int found = -1;
    std::string sites; // the source lines of the records with that key
    int same = 0;
    for (int i = 0; i < list.Count(); ++i) {
        if (!SameText(RecordKey(list[i]), wanted))
            continue;
        sites += (same++ ? "; " : "") + list[i].Radar;
        found = i;
    }
    // Acting on one of them would be a guess: the user sees which records share the key.
    if (same > 1) {
        error = "more than one record has the key \"" + wanted + "\" (" + sites + "); nothing was done";
        return -1;
    }
    if (found >= 0)
        return found;
    // A site id alone ("LOT") names the record when it is the only one of that site.
    if (!wanted.empty() && wanted.find(' ') == std::string::npos) {
        std::string keys;
        int matches = 0;
        for (int i = 0; i < list.Count(); ++i) {
            const std::string k = RecordKey(list[i]);
            if (!SameText(k.substr(0, k.find(' ')), wanted))
                continue;
            keys += (matches++ ? ", " : "") + k;
            found = i;
        }
        if (matches == 1)
            return found;
        if (matches > 1) {
            error = "\"" + wanted + "\" names more than one record (" + keys + "); give the whole key";
            return -1;
        }
    }
    error = "no record with the key \"" + wanted + "\" (--list shows the keys)";
    return -1;
}

bool ResolveRadar(const std::vector<std::string>& radars, const std::string& text, std::string& line,
                  std::string& error)
{
    const std::string wanted = Trim(text);
    if (wanted.empty()) {
        error = "Radar not selected!";
        return false;
    }
    for (const std::string& item : radars)
        if (SameText(Trim(item), wanted)) {
            line = Trim(item);
            return true;
        }
    if (wanted.find(',') != std::string::npos) {
        line = wanted; // a whole source line, taken as typed like the selector takes it
        return true;
    }
    for (const std::string& item : radars)
        if (SameText(SiteOfLine(item), StartsWith(wanted, "!!") ? wanted.substr(2) : wanted)) {
            line = Trim(item);
            return true;
        }
    error = "unknown radar site \"" + wanted + "\" (--sources lists the sites)";
    return false;
}

bool ResolveProduct(const std::vector<std::string>& products, const std::string& text, std::string& line,
                    std::string& error)
{
    const std::string wanted = Trim(text);
    if (wanted.empty()) {
        error = "Product not selected!";
        return false;
    }
    if (wanted.find(',') != std::string::npos) {
        line = wanted;
        return true;
    }
    for (const std::string& item : products)
        if (SameText(Trim(GetField(item, 1, ',')), wanted)) {
            line = Trim(item);
            return true;
        }
    error = "unknown product \"" + wanted + "\" (--sources lists the products)";
    return false;
}

std::string EmptyListHint()
{
    return "The download list is empty: nothing will be downloaded. Add a site with: stormfetch --add LOT N0R";
}

std::vector<std::string> ListTable(TShared& s)
{
    if (s.List.Empty())
        return {EmptyListHint()};
    const TDateTime localNow = s.Clock.LocalNow();
    const TDateTime offset = localNow - s.Clock.UTCNow();
    std::vector<std::vector<std::string>> rows = {{"Key", "Status", "Last image", "Next attempt", "Accum", "Enable"}};
    for (int i = 0; i < s.List.Count(); ++i) {
        const TRadarObj& r = s.List[i];
        rows.push_back({RecordKey(r), r.Status, GridCellText(r, 2, localNow, offset),
                        GridCellText(r, 5, localNow, offset), GridCellText(r, 6, localNow, offset),
                        GridCellText(r, 7, localNow, offset)});
    }
    return Table(rows);
}

std::vector<std::string> SourcesText(const TShared& s)
{
    auto origin = [&](const char* name) {
        return FileExists(s.ProgramDir + name) ? std::string(" (from ") + s.ProgramDir + name + ")"
                                               : std::string(" (built-in)");
    };
    std::vector<std::string> lines = {"Radar sources" + origin("Radars.txt") + ":"};
    for (const std::string& item : s.RadarCmb.Items)
        lines.push_back("  " + PadRight(SiteOfLine(item), 8) + item);
    lines.push_back("Products" + origin("Products.txt") + ":");
    bool hasDefault = false;
    for (const std::string& item : s.ProductCmb.Items) {
        lines.push_back("  " + PadRight(Trim(GetField(item, 1, ',')), 8) + item);
        hasDefault = hasDefault || SameText(Trim(GetField(item, 1, ',')), "N0R");
    }
    if (!hasDefault)
        lines.push_back("  " + PadRight("N0R", 8) + kDefaultProductLine + " (the default)");
    return lines;
}

void WireListClicks(TShared& s)
{
    s.AddBtn.OnClick = [&s] { AddBtnClick(s); };
    s.DeleteBtn.OnClick = [&s] { DeleteBtnClick(s); };
    s.DeleteRecord1.OnClick = [&s] { DeleteBtnClick(s); };
    s.Accumulateimages1.OnClick = [&s] { Accumulateimages1Click(s); };
    s.Disabledownload1.OnClick = [&s] { Disabledownload1Click(s); };
}

TCommandResult RunListCommand(TShared& s, TCommandDialogs& dialogs, const std::string& verb,
                              const std::vector<std::string>& args)
{
    if (verb == "list")
        return {0, ListTable(s), {}};
    if (verb == "sources")
        return {0, SourcesText(s), {}};
    if (verb == "add" && !args.empty())
        return AddCommand(s, dialogs, args);
    if ((verb == "remove" || verb == "enable" || verb == "disable") && args.size() == 1)
        return RecordCommand(s, dialogs, verb, args);
    if (verb == "layout" && args.size() == 1)
        return LayoutCommand(s, args);
    if (verb == "accumulate" && args.size() == 2 && (args[1] == "on" || args[1] == "off"))
        return RecordCommand(s, dialogs, verb, args);
    return {kBadInput, {}, "unknown command \"" + verb + "\" or wrong arguments"};
}

} // namespace sf
