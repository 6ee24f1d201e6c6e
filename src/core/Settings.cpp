#include "core/Settings.h"
#include "core/layouts/LayoutChain.h"
#include <algorithm>
#include <cctype>
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ListHandlers.h"
#include "core/Log.h"
#include "core/StoredFiles.h"
#include "core/Text.h"
#include <climits>

namespace sf {

namespace {

const char* const kUrl = "URL";
const char* const kUser = "User";
const char* const kShp = "Shp";

// The longest time-out whose interval in milliseconds still fits the timer.
constexpr long long kMaxWebTimeOut = INT_MAX / 1000;

int ClampInt(long long v, long long lo, long long hi)
{
    return (int)(v < lo ? lo : (v > hi ? hi : v));
}

// Where the map server's usual shapefile folder lies on this machine.
std::string BuiltInShapeFolder(const TShared& s)
{
    if (!s.WinePrefix.empty() && DirectoryExists(IncludeTrailingSlash(s.WinePrefix) + "drive_c")) {
        const std::string mapped = WinePathToLinux(s.WinePrefix, kBuiltInShpFolder);
        if (!mapped.empty())
            return IncludeTrailingSlash(mapped);
    }
    return s.ProgramDir + "ShpFiles/";
}

bool IsWindowsPath(const std::string& text)
{
    return text.size() >= 3 && std::isalpha((unsigned char)text[0]) && text[1] == ':' &&
           (text[2] == '\\' || text[2] == '/');
}

// A folder written as a Windows path (an ini carried over from a Windows station)
// lies inside the Wine prefix; mapped there when the prefix has that drive.
std::string HostFolder(const TShared& s, const std::string& text)
{
    if (IsWindowsPath(text) && !s.WinePrefix.empty()) {
        const std::string mapped = WinePathToLinux(s.WinePrefix, text);
        if (!mapped.empty())
            return IncludeTrailingSlash(mapped);
    }
    return text;
}

// An integer key as the program stores it: 32 bits; a value outside them is no
// number and yields the default, as any other malformed value does.
int ReadInt(const TIniText& ini, const char* section, const char* key, int def)
{
    const long long v = ini.ReadInteger(section, key, def);
    return (v < INT_MIN || v > INT_MAX) ? def : (int)v;
}

// The source layouts and the iem base; a layout value that is no list of known names
// (ParseLayoutList) keeps the default layout alone. A refused list (a value with a comma)
// leaves its reason in listError; a single unknown name stays silent, as it always was.
void ReadLayout(TShared& s, const TIniText& ini, std::string& listError)
{
    s.Layout = TLayout::Ridge;
    s.Fallbacks.clear();
    std::vector<TLayout> chain;
    std::string error;
    const std::string value = ini.ReadString(kUrl, "Layout", LayoutName(TLayout::Ridge));
    if (ParseLayoutList(value, chain, error)) {
        s.Layout = chain.front();
        s.Fallbacks.assign(chain.begin() + 1, chain.end());
    } else if (value.find(',') != std::string::npos) {
        listError = "Layout=" + Trim(value) + ": " + error + "; the default layout " + LayoutName(TLayout::Ridge)
            + " alone is used";
    }
    const std::string base = Trim(ini.ReadString(kUrl, "IEM", kDefaultIemBase));
    s.IemBase = base.empty() ? std::string(kDefaultIemBase) : IncludeTrailingSlash(base);
    const std::string wms = Trim(ini.ReadString(kUrl, "WMS", kDefaultWmsBase));
    s.WmsBase = wms.empty() ? std::string(kDefaultWmsBase) : IncludeTrailingSlash(wms);
}

// Written once a station uses them, so a file of the default layout keeps its keys as they were.
void WriteLayout(const TShared& s, TIniText& ini)
{
    const std::vector<TLayout> chain = LayoutChainOf(s.Layout, s.Fallbacks);
    const auto uses = [&](TLayout l) { return std::find(chain.begin(), chain.end(), l) != chain.end(); };
    const bool beyondRidge = s.Layout != TLayout::Ridge || !s.Fallbacks.empty();
    if (beyondRidge || ini.HasKey(kUrl, "Layout"))
        ini.WriteString(kUrl, "Layout", LayoutListText(chain));
    if (s.IemBase != kDefaultIemBase || ini.HasKey(kUrl, "IEM") || beyondRidge)
        ini.WriteString(kUrl, "IEM", s.IemBase);
    if (s.WmsBase != kDefaultWmsBase || ini.HasKey(kUrl, "WMS") || uses(TLayout::Wms))
        ini.WriteString(kUrl, "WMS", s.WmsBase);
}

} // namespace

std::string SettingsPath(const TShared& s)
{
    const std::string name = ExtractFileName(s.ExeName);
    return s.ProgramDir + name.substr(0, name.find('.')) + ".ini";
}

bool LoadSettings(TShared& s, std::string* error)
{
    s.LoadingSettings = true;
    const TIniFile file(SettingsPath(s));
    const TIniText& ini = file.Ini();
    s.Stored.SettingsHeld = !file.ReadError().empty();

    s.WindowLeft = ReadInt(ini, kUser, "Left", 50);
    s.WindowTop = ReadInt(ini, kUser, "top", 50);
    s.WindowWidth = ReadInt(ini, kUser, "Width", 594);
    s.WindowHeight = ReadInt(ini, kUser, "Height", 395);

    s.RidgeBase = ini.ReadString(kUrl, "RIDGE", kDefaultRidgeBase);
    s.RidgeNatBase = ini.ReadString(kUrl, "RIDGENAT", kDefaultRidgeNatBase);
    s.SelectRidge = ReadInt(ini, kUrl, "SelectRidge", 0);
    s.ProxyHost = ini.ReadString(kUrl, "ProxyHost", "");
    s.ProxyPort = ini.ReadString(kUrl, "ProxyPort", "80");
    std::string layoutError;
    ReadLayout(s, ini, layoutError);

    s.TargetCmb.SetCaption(ini.ReadString(kUser, "Target", ""));
    s.RadarCmb.SetCaption(ini.ReadString(kUser, "Radar", "IL,Chicago,LOT"));
    s.ProductCmb.SetCaption(ini.ReadString(kUser, "Product", "N0R, Short Range Reflectivity"));

    s.RedrawChk.Checked = ini.ReadBool(kUser, "Redraw", true);
    s.Minimizeonstartup1.Checked = ini.ReadBool(kUser, "Minimize", false);
    s.Logerrors1.Checked = ini.ReadBool(kUser, "LogErrors", false);
    s.ShutDownwhenUiViewterminates1.Checked = ini.ReadBool(kUser, "UiViewShutdown", true);
    s.Removestaleunderlaysatstartup1.Checked = ini.ReadBool(kUser, "RemoveStale", false);
    s.SaveGifChk.Checked = ini.ReadBool(kUser, "NativeFmt", true);

    s.HintPauseMS = ReadInt(ini, kUser, "HintPauseMS", 6000);
    s.AccumChk.Checked = ini.ReadBool(kUser, "Accumulate", false);

    // A zero interval would time every fetch out at once.
    const int timeOut = ClampInt(ReadInt(ini, kUser, "WebTimeOut", 7), 1, kMaxWebTimeOut);
    s.RidgeTimer.SetInterval(timeOut * 1000);

    s.LegendChk.Checked = ini.ReadBool(kUser, "Legend", false);
    // A negative count is no number of days: the default.
    s.KeepLogDays = ReadInt(ini, kUser, "KeepLogDays", 30);
    if (s.KeepLogDays < 0)
        s.KeepLogDays = 30;

    s.TrayTip = ini.ReadString(kUser, "Caption", "");
    if (!s.TrayTip.empty() && s.Hooks.SetTrayTip)
        s.Hooks.SetTrayTip();

    // Only 0 (Server) and 1 (Client) are modes; anything else takes the default, so a
    // damaged value never stops a server from going on line.
    int mode = ReadInt(ini, kUser, "Mode", 0);
    if (mode != 0 && mode != 1)
        mode = 0;
    if (mode != s.ModeGrp.ItemIndex) {
        s.ModeGrp.ItemIndex = mode;
        ModeSwitch(s);
    }
    s.WindowCaption.SetCaption(std::string(kVersionText) + (mode == 1 ? " Client mode" : " Server mode"));

    s.TorChk.Checked = ini.ReadBool(kShp, "Tornado", false);
    s.SVRChk.Checked = ini.ReadBool(kShp, "Severe", false);
    s.FFWChk.Checked = ini.ReadBool(kShp, "Flood", false);
    s.SMWChk.Checked = ini.ReadBool(kShp, "Marine", false);
    s.ShpURLEd.SetCaption(ini.ReadString(kShp, "URL", kDefaultShpURL));

    if (!s.QuorServerPath.empty())
        s.TargetED.SetCaption(HostFolder(s, ini.ReadString(kShp, "Dir", s.QuorServerPath + "ShpFiles")));
    else if (s.TargetED.Caption() == kBuiltInShpFolder)
        s.TargetED.SetCaption(BuiltInShapeFolder(s));

    const std::string folder = Trim(s.TargetED.Caption());
    // A Windows path the prefix does not map is never created as a local folder name.
    if (!folder.empty() && !IsWindowsPath(folder) && !DirectoryExists(folder))
        ForceDirectories(folder);

    // Lines the file keeps but nothing reads: said once, so a damaged file is not taken in silence.
    if (const std::vector<int>& odd = ini.OddLines(); !odd.empty())
        AppendLog(s, file.Path() + " line " + std::to_string(odd.front()) +
                         " is not a setting ([section], key=value or ; comment) and is not read" +
                         (odd.size() > 1 ? " (" + std::to_string(odd.size() - 1) + " more such lines)" : ""));

    if (!layoutError.empty())
        AppendLog(s, file.Path() + " [URL] " + layoutError);

    s.LoadingSettings = false;
    if (s.Stored.SettingsHeld && error)
        *error = CannotReadText(file.Path(), file.ReadError());
    return !s.Stored.SettingsHeld;
}

bool SaveSettings(TShared& s, std::string* error)
{
    TIniFile file(SettingsPath(s));
    TIniText& ini = file.Ini();
    // Writing over a file that was not loaded, or that cannot be read now, would replace
    // what the user keeps in it (other sections included) with this run's values only.
    const bool held = s.Stored.SettingsHeld && PathPresent(file.Path());
    if (held || !file.ReadError().empty()) {
        if (error)
            *error = held ? HeldFileText(file.Path()) : "Unable to write to " + file.Path() + ": " + file.ReadError();
        return false;
    }

    ini.WriteString(kUrl, "RIDGE", s.RidgeBase);
    ini.WriteString(kUrl, "RIDGENAT", s.RidgeNatBase);
    ini.WriteInteger(kUrl, "SelectRidge", s.SelectRidge);
    ini.WriteString(kUrl, "ProxyHost", s.ProxyHost);
    ini.WriteString(kUrl, "ProxyPort", s.ProxyPort);
    WriteLayout(s, ini);

    ini.WriteString(kUser, "Version", kVersionText);
    ini.WriteBool(kUser, "Redraw", s.RedrawChk.Checked);
    ini.WriteBool(kUser, "Minimize", s.Minimizeonstartup1.Checked);
    ini.WriteBool(kUser, "LogErrors", s.Logerrors1.Checked);
    ini.WriteBool(kUser, "UiViewShutDown", s.ShutDownwhenUiViewterminates1.Checked);
    ini.WriteBool(kUser, "RemoveStale", s.Removestaleunderlaysatstartup1.Checked);
    ini.WriteBool(kUser, "NativeFmt", s.SaveGifChk.Checked);
    ini.WriteInteger(kUser, "HintPauseMS", s.HintPauseMS);
    ini.WriteBool(kUser, "Accumulate", s.AccumChk.Checked);
    ini.WriteInteger(kUser, "Mode", s.ModeGrp.ItemIndex);
    ini.WriteString(kUser, "Target", s.TargetCmb.Caption());
    ini.WriteString(kUser, "Radar", s.RadarCmb.Caption());
    ini.WriteString(kUser, "Product", s.ProductCmb.Caption());
    ini.WriteString(kUser, "QuorServerPath", s.QuorServerPath);
    ini.WriteString(kUser, "QuorUnderlayPath", s.QuorUnderlayPath);
    ini.WriteInteger(kUser, "WebTimeOut", s.RidgeTimer.Interval() / 1000);
    ini.WriteInteger(kUser, "Width", s.WindowWidth);
    ini.WriteInteger(kUser, "Height", s.WindowHeight);
    ini.WriteInteger(kUser, "top", s.WindowTop);
    ini.WriteInteger(kUser, "Left", s.WindowLeft);
    ini.WriteInteger(kUser, "Remaining", s.LastMemLoad < 0 ? 100 : 100 - s.LastMemLoad);
    ini.WriteBool(kUser, "Legend", s.LegendChk.Checked);
    ini.WriteString(kUser, "Caption", s.TrayTip);

    ini.WriteBool(kShp, "Tornado", s.TorChk.Checked);
    ini.WriteBool(kShp, "Severe", s.SVRChk.Checked);
    ini.WriteBool(kShp, "Flood", s.FFWChk.Checked);
    ini.WriteBool(kShp, "Marine", s.SMWChk.Checked);
    ini.WriteBool(kShp, "LSR", s.LSRChk.Checked);
    ini.WriteString(kShp, "URL", s.ShpURLEd.Caption());
    ini.WriteString(kShp, "Dir", s.TargetED.Caption());
    // Written after the keys older versions know, so their files only grow by one line.
    ini.WriteInteger(kUser, "KeepLogDays", s.KeepLogDays);

    if (file.Save()) {
        s.Stored.SettingsHeld = false;
        return true;
    }
    if (error)
        *error = "Unable to write to " + file.Path();
    return false;
}

void ModeSwitch(TShared& s)
{
    if (s.IsClient()) {
        AppendLog(s, std::string(kVersionText) + " in client mode", TLogKind::Note);
        s.DownloadBtn.SetCaption("Process");
        s.DownloadBtn.Hint = "Process selected radar images from server";
        s.WindowCaption.SetCaption(std::string(kVersionText) + " Client mode");
    } else {
        s.DownloadBtn.SetCaption("Download");
        s.DownloadBtn.Hint = "Download selected radar images";
        AppendLog(s, std::string(kVersionText) + " in server mode", TLogKind::Note);
        s.WindowCaption.SetCaption(std::string(kVersionText) + " Server mode");
    }
    if (!s.LoadingSettings)
        SaveSettingsForUser(s);
}

} // namespace sf
