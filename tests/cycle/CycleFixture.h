// A radar station on a fake clock: shared state with temporary program and underlay
// folders, and stand-ins for the web and the conversions that behave like the real
// operations at their interfaces (verdict flag, "Error <code> <reason>" status, files).
#pragma once
#include "core/Clock.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/RadarObj.h"
#include "core/Shared.h"
#include "core/Text.h"
#include "cycle/Cycle.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace sf::test {

inline constexpr const char* kBase = "http://127.0.0.1:8089/ridge/RadarImg/";
inline constexpr const char* kNatBase = "http://127.0.0.1:8089/ridge/Conus/RadarImg/";
inline const std::string kWorld = "0.0117\r\n0\r\n0\r\n-0.0117\r\n-92.5\r\n44.0\r\n";

/// One answer of the stand-in web server.
struct TWebAnswer {
    int Code = 200;
    std::string Body;
};

/// An archive listing page naming each image as the RIDGE server does.
inline std::string ListingPage(const std::vector<std::string>& names)
{
    std::string page = "<html><body><h1>Index</h1><pre>\n<a href=\"../\">Parent Directory</a>\n";
    for (auto& n : names)
        page += "<a href=\"" + n + ".gif\">" + n + ".gif</a>   10-May-2010 15:19  12K\n";
    return page + "</pre></body></html>\n";
}

inline TDateTime At(int y, int mo, int d, int h, int mi, int s = 0)
{
    TDateFields f;
    f.Year = y, f.Month = mo, f.Day = d, f.Hour = h, f.Minute = mi, f.Second = s;
    return EncodeDateTime(f);
}

inline void ExpectTime(TDateTime expected, TDateTime actual, const char* what = "")
{
    EXPECT_NEAR(expected, actual, 0.2 * kOneSecond) << what << " expected " << FormatDateTime("mm/dd hh:nn:ss", expected)
                                                    << " got " << FormatDateTime("mm/dd hh:nn:ss", actual);
}

class CycleFixture : public ::testing::Test {
protected:
    CycleFixture() : Clock(At(2010, 5, 10, 14, 21, 0)), S(Clock, Dialogs)
    {
        S.ProgramDir = Prog.Path();
        S.QuorServerPath = Quor.Path();
        S.QuorUnderlayPath = Quor.Path() + "Quor Underlays/";
        ForceDirectories(S.QuorUnderlayPath);
        S.RidgeBase = kBase;
        S.RidgeNatBase = kNatBase;
        S.SaveGifChk.Checked = false;
        S.LegendChk.Checked = true;
        S.ReadMemory = [this] {
            TMemoryStatus m;
            m.Load = MemLoad;
            m.TotalPhys = 1u << 30;
            m.AvailPhys = m.TotalPhys / 2;
            return m;
        };
        S.Hub.Listeners.push_back([this](const std::string& c, const std::string& t) { Shown.push_back(c + ": " + t); });
        S.Hooks.SaveList = [this] { ++Saves; };
        S.Hooks.RebuildGrid = [this] { ++GridBuilds; };
        S.Hooks.SetTrayTip = [this] { ++TrayTips; };
        Services.FetchFile = [this](const std::string& url, const std::string& path, TRadarObj& rec) {
            Fetch(url, path, rec);
        };
        Services.ScanSiteListing = [this](const std::string& p) { return Scan(p, false); };
        Services.ScanMosaicListing = [this](const std::string& p) { return Scan(p, true); };
        Services.ImageTimeFromName = [this](const std::string& n) { return TimeOf(n); };
        Services.ConvertSiteImage = [this](const std::string& p, TRadarObj& r) { return Convert(p, r, false); };
        Services.ConvertMosaicImage = [this](const std::string& p, TRadarObj& r) { return Convert(p, r, true); };
        Services.ClearMosaicImages = [this] { ++MosaicClears; };
    }

    /// Adds a record named from the source and product lines; due at once.
    TRadarObj& AddRecord(const std::string& radar, const std::string& product = "Short Range Reflectivity, N0R")
    {
        TRadarObj r = TRadarObj::Create(Clock);
        r.SetNames(radar, product, S.Naming());
        return *S.List.Add(radar + "\t" + product, r);
    }

    /// Serves a site record's listing, legend, world file and image.
    void ServeSite(const std::string& site, const std::vector<std::string>& names)
    {
        Web[std::string(kBase) + "N0R/" + site + "/"] = {200, ListingPage(names)};
        Web[std::string("http://127.0.0.1:8089/ridge/Legend/N0R/") + site + "_N0R_Legend_0.gif"] = {200, "GIF89a-legend"};
        Web[std::string(kBase) + "N0R/" + site + "_N0R_0.gfw"] = {200, kWorld};
        Web[std::string(kBase) + "N0R/" + site + "_N0R_0.gif"] = {200, "GIF89a-image"};
    }

    std::unique_ptr<TCycle> MakeCycle() { return std::make_unique<TCycle>(S, Services); }
    void RunCycle() { MakeCycle()->Run(); }

    bool InProg(const std::string& name) const { return FileExists(S.ProgramDir + name); }
    bool InUnderlays(const std::string& name) const { return FileExists(S.QuorUnderlayPath + name); }
    bool WasShown(const std::string& control, const std::string& text) const
    {
        return std::find(Shown.begin(), Shown.end(), control + ": " + text) != Shown.end();
    }
    int Fetched(const std::string& url) const
    {
        int n = 0;
        for (auto& u : Requests)
            n += u == url;
        return n;
    }
    std::string LogText() const
    {
        std::string all;
        for (auto& e : std::filesystem::directory_iterator(S.ProgramDir))
            if (e.path().filename().string().find("ErrorLog") != std::string::npos)
                all += Prog.Read(e.path().filename().string());
        return all;
    }

    TFakeClock Clock;
    TScriptedDialogs Dialogs;
    TTempDir Prog, Quor;
    TShared S;
    TCycleServices Services;
    std::map<std::string, TWebAnswer> Web;
    std::vector<std::string> Requests;
    std::vector<std::string> Shown; ///< "control: text" for every text change
    std::function<void(const std::string& url)> OnFetch; ///< runs after each stand-in fetch
    uint32_t MemLoad = 40;
    int Saves = 0, GridBuilds = 0, TrayTips = 0, MosaicClears = 0;
    bool ConvertResult = true;
    std::string ConvertThrows;
    std::vector<std::string> Converted; ///< paths handed to the conversions

private:
    void Fetch(const std::string& url, const std::string& path, TRadarObj& rec)
    {
        Requests.push_back(url);
        S.FetchResult = false;
        DeleteFile(path);
        auto it = Web.find(url);
        const TWebAnswer answer = it == Web.end() ? TWebAnswer{404, "<html>Not Found</html>"} : it->second;
        if (answer.Code == -1)
            throw std::runtime_error("Cannot create file " + path);
        if (answer.Code >= 400) {
            std::ofstream(std::filesystem::path(path), std::ios::binary) << answer.Body;
            rec.Status = "Error " + std::to_string(answer.Code) + (answer.Code == 404 ? " Not Found" : " Server Error");
        } else if (!answer.Body.empty()) {
            std::ofstream(std::filesystem::path(path), std::ios::binary) << answer.Body;
            S.FetchResult = true;
        }
        if (OnFetch)
            OnFetch(url);
    }

    std::string Scan(const std::string& path, bool mosaic)
    {
        std::string bytes;
        if (!ReadFileBytes(path, bytes))
            return {};
        std::string best;
        for (auto& line : SplitLines(bytes)) {
            const size_t a = UpperCase(line).find(".GIF\">");
            const size_t b = UpperCase(line).find(".GIF<");
            if (a == std::string::npos || b == std::string::npos || b < a + 6)
                continue;
            std::string name = line.substr(a + 6, b - a - 6);
            if (mosaic && (name.find("_small") != std::string::npos || UpperCase(name).find("CONUS_") == std::string::npos))
                continue;
            if (UpperCase(name) > UpperCase(best))
                best = name;
        }
        return best;
    }

    TDateTime TimeOf(const std::string& name)
    {
        const std::string d = GetField(name, 2, '_'), t = GetField(name, 3, '_');
        long long y = 0, mo = 0, dd = 0, h = 0, mi = 0;
        if (d.size() < 8 || !TryStrToInt(d.substr(0, 4), y) || !TryStrToInt(d.substr(4, 2), mo) ||
            !TryStrToInt(d.substr(6, 2), dd))
            return Clock.UTCNow() - 100;
        if (t.size() >= 4) {
            TryStrToInt(t.substr(0, 2), h);
            TryStrToInt(t.substr(2, 2), mi);
        }
        return At((int)y, (int)mo, (int)dd, (int)h, (int)mi);
    }

    bool Convert(const std::string& path, TRadarObj& rec, bool mosaic)
    {
        Converted.push_back(path);
        if (!ConvertThrows.empty())
            throw std::runtime_error(ConvertThrows);
        const std::string work = S.IsClient() ? ExtractFilePath(path) : S.ProgramDir;
        const std::string raw = work + rec.RemoteName + (mosaic ? ".png" : ".gif");
        if (!ConvertResult || !FileExists(raw)) {
            rec.Status = "Error converting " + rec.RemoteName;
            return false;
        }
        rec.SetBounds(600, 550);
        std::string name = ExtractFileName(path);
        if (!mosaic)
            name = LowerCase(name.substr(0, name.rfind('.')) + (S.SaveGifChk.Checked ? ".gif" : ".bmp"));
        // As on the map program's file system, a file whose name differs only in case is
        // overwritten in place.
        std::string target = S.QuorUnderlayPath + name;
        for (auto& e : FindFiles(S.QuorUnderlayPath + name))
            target = S.QuorUnderlayPath + e.Name;
        std::ofstream(std::filesystem::path(target), std::ios::binary) << "underlay";
        WriteLineFile(S.QuorUnderlayPath + name.substr(0, name.find('.') + 1) + "Sat", rec.Bounds);
        rec.Status = "Processed " + rec.RemoteName;
        return true;
    }
};

} // namespace sf::test
