// The demo server's answers in the RIDGE layout: current site images with world files
// and legends, the site archive listings of the last hour, and the national mosaics
// with their listing.
#include "app/DemoServer.h"
#include "core/Text.h"
#include <vector>

namespace sf {

namespace {
constexpr int kSlotMinutes = 5;
constexpr int kListingImages = 13; // the last hour, both ends included

/// Parses "<prefix>_yyyymmdd_hhnn_..." back into a time; false when the name has none.
bool TimeOfName(const std::string& name, TDateTime& out)
{
    std::string d = GetField(name, 2, '_'), t = GetField(name, 3, '_');
    if (d.size() != 8 || t.size() < 4)
        return false;
    long long ymd = 0, hm = 0;
    if (!TryStrToInt(d, ymd) || !TryStrToInt(t.substr(0, 4), hm))
        return false;
    TDateFields f;
    f.Year = (int)(ymd / 10000);
    f.Month = (int)(ymd / 100 % 100);
    f.Day = (int)(ymd % 100);
    f.Hour = (int)(hm / 100);
    f.Minute = (int)(hm % 100);
    if (f.Month < 1 || f.Month > 12 || f.Day < 1 || f.Day > 31 || f.Hour > 23 || f.Minute > 59)
        return false;
    out = EncodeDateTime(f);
    return true;
}

std::vector<TDateTime> LastHour(TDateTime utc)
{
    std::vector<TDateTime> times;
    TDateTime newest = DemoImageTime(utc);
    for (int i = kListingImages - 1; i >= 0; --i)
        times.push_back(newest - i * kSlotMinutes * kOneMinute);
    return times;
}
} // namespace

TDemoAnswer DemoRidgeAnswer(const std::string& path, const std::string&, TDateTime utc, const TDemoRadarSource& src)
{
    const std::string site = "/ridge/RadarImg/", legend = "/ridge/Legend/", nat = "/ridge/Conus/RadarImg/";
    const TDateTime now = DemoImageTime(utc);

    if (SameText(path, nat)) {
        std::vector<std::string> files;
        for (TDateTime t : LastHour(utc)) {
            files.push_back(DemoTimedName("CONUS", t, "_N0R.gif"));
            files.push_back(DemoTimedName("CONUS", t, "_N0R_small.gif"));
        }
        files.push_back("ConUS.gfw");
        files.push_back("ConUS.gif");
        files.push_back("N0R_0.gfw");
        files.push_back("N0R_0.gif");
        return DemoFound("text/html", DemoListingPage(nat, files));
    }
    if (StartsWith(UpperCase(path), UpperCase(nat))) {
        std::string name = path.substr(nat.size());
        auto call = [](const auto& f, auto... args) { return f ? f(args...) : std::string(); };
        if (SameText(name, "ConUS.gif"))
            return DemoFound("image/gif", call(src.MosaicGif, now));
        if (SameText(name, "ConUS.gfw"))
            return DemoFound("text/plain", call(src.MosaicGifWorld));
        if (SameText(name, "N0R_0.gif"))
            return DemoFound("image/png", call(src.MosaicPng, now));
        if (SameText(name, "N0R_0.gfw"))
            return DemoFound("text/plain", call(src.MosaicPngWorld));
        TDateTime t = 0;
        if (StartsWith(UpperCase(name), "CONUS_") && EndsWith(name, ".gif") && TimeOfName(name, t) && t <= now)
            return DemoFound("image/gif", call(src.MosaicGif, t));
        return {};
    }
    if (StartsWith(path, legend)) {
        // /ridge/Legend/<product>/<site>_<product>_Legend_0.gif
        std::string rest = path.substr(legend.size());
        std::string product = GetField(rest, 1, '/'), file = GetField(rest, 2, '/');
        if (FieldCount(rest, '/') != 2 || !EndsWith(file, "_Legend_0.gif") || !src.Legend)
            return {};
        return DemoFound("image/gif", src.Legend(GetField(file, 1, '_'), product));
    }
    if (StartsWith(path, site)) {
        std::string rest = path.substr(site.size());
        int parts = FieldCount(rest, '/');
        std::string product = GetField(rest, 1, '/');
        if (parts == 2) {
            // <product>/<site>_<product>_0.gif or .gfw
            std::string file = GetField(rest, 2, '/');
            std::string id = GetField(file, 1, '_');
            if (file == id + "_" + product + "_0.gif" && src.SiteGif)
                return DemoFound("image/gif", src.SiteGif(id, product, now));
            if (file == id + "_" + product + "_0.gfw" && src.SiteWorld)
                return DemoFound("text/plain", src.SiteWorld(id, product));
            return {};
        }
        if (parts == 3) {
            std::string id = GetField(rest, 2, '/'), file = GetField(rest, 3, '/');
            if (id.empty() || product.empty())
                return {};
            if (file.empty()) {
                // The archive: every image of the last hour, named with its UTC time.
                if (!src.SiteWorld || src.SiteWorld(id, product).empty())
                    return {};
                std::vector<std::string> files;
                for (TDateTime t : LastHour(utc))
                    files.push_back(DemoTimedName(id, t, "_" + product + ".gif"));
                return DemoFound("text/html", DemoListingPage(site + product + "/" + id + "/", files));
            }
            TDateTime t = 0;
            if (TimeOfName(file, t) && t <= now && EndsWith(file, "_" + product + ".gif") && src.SiteGif)
                return DemoFound("image/gif", src.SiteGif(id, product, t));
            return {};
        }
    }
    return {};
}

} // namespace sf
