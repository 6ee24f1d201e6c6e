// The demo server's answers in the iem layout: for each site and product the
// current PNG, its ".wld" and the JSON file with the scan time; the same three
// for the national composite.
#include "app/DemoServer.h"
#include "core/RadarObj.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include "imaging/Synthetic.h"
#include <cstdio>
#include <cstdlib>

namespace sf {

namespace {

bool OfferedSiteProduct(const std::string& product)
{
    for (const std::string& line : IemProducts())
        if (GetField(line, 1, ',') == product)
            return true;
    return false;
}

// A world file as the service's producer writes it: six decimals, lines 5 and 6 the outer
// corner of the top-left pixel (the synthetic world files already give that corner), LF
// line ends, and for a site a final LF.
std::string ProducerWorldText(const std::string& synthetic, bool finalNewline)
{
    std::string out;
    for (int i = 1; i <= 6; ++i) {
        float v = 0;
        const std::string line = Trim(GetField(synthetic, i, '\n'));
        if (i == 2 || i == 3)
            out += "0.0";
        else {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.6f", ParseFloatText(line, v) ? std::strtod(line.c_str(), nullptr) : 0.0);
            out += buf;
        }
        if (i < 6 || finalNewline)
            out += "\n";
    }
    return out;
}

} // namespace

std::string DemoIemMeta(TDateTime imageTime, const std::string& product, const std::string& site)
{
    std::string json = "{\"meta\": {\"valid\": \"" + FormatDateTime("yyyy-mm-dd'T'hh:nn:ss'Z'", imageTime)
        + "\", \"product\": \"" + product + "\"";
    if (!site.empty())
        json += ", \"site\": \"" + site + "\", \"vcp\": 212";
    return json + "}}\n";
}

TDemoAnswer DemoIemAnswer(const std::string& path, const std::string&, TDateTime utc, const TDemoRadarSource& src)
{
    const std::string sitePath = std::string("/") + kIemSitePath;
    const std::string compositePath = std::string("/") + kIemCompositePath;
    const TDateTime now = DemoImageTime(utc);
    std::string site, product, ext, rest;
    bool composite = false;
    if (StartsWith(path, compositePath)) {
        rest = path.substr(compositePath.size());
        composite = true;
    } else if (StartsWith(path, sitePath)) {
        rest = path.substr(sitePath.size());
        // <SSS>/<PROD>_0.<ext>
        if (FieldCount(rest, '/') != 2)
            return {};
        site = GetField(rest, 1, '/');
        rest = GetField(rest, 2, '/');
    } else {
        return {};
    }
    const size_t dot = rest.rfind('.');
    if (dot == std::string::npos || rest.find('/') != std::string::npos)
        return {};
    ext = rest.substr(dot);
    const std::string stem = rest.substr(0, dot);
    if (!EndsWith(stem, "_0"))
        return {};
    product = stem.substr(0, stem.size() - 2);
    if (composite ? (product != "n0q" && product != "n0r") : !OfferedSiteProduct(product))
        return {};
    if (!composite && (site.size() != 3 || !SyntheticSiteLocation(site).Known))
        return {};
    if (ext == ".json")
        return DemoFound("application/json", DemoIemMeta(now, UpperCase(product), site));
    if (ext == ".wld")
        return DemoFound("text/plain", composite ? ProducerWorldText(SyntheticMosaicWorldFile(), false)
                                                 : ProducerWorldText(SyntheticSiteWorldFile(site), true));
    if (ext == ".png") {
        if (composite)
            return DemoFound("image/png", src.CompositePng ? src.CompositePng(now) : std::string());
        return DemoFound("image/png", src.SitePng ? src.SitePng(site, product, now) : std::string());
    }
    return {};
}

} // namespace sf
