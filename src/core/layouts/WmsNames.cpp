#include "core/layouts/WmsNames.h"
#include "core/Text.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sf {

namespace {

struct TSuffix {
    const char* Code;
    const char* Suffix;
};
// Product codes of the download list and the site layers that carry them.
const TSuffix kSiteSuffixes[] = {
    {"N0R", "sr_bref"}, {"N0B", "sr_bref"}, // super-resolution base reflectivity
    {"N0V", "sr_bvel"}, {"N0U", "sr_bvel"}, // super-resolution base velocity
    {"N0Z", "brefl"},                       // long-range reflectivity
    {"N1P", "boha"},                        // one-hour precipitation
    {"NTP", "bdsa"},                        // storm-total precipitation
    {"N0H", "bdhc"},                        // hydrometeor class
    {"TZL", "bref1"}, {"TV0", "bvel"},      // TDWR reflectivity and velocity
};

constexpr double kCompositeDegreesPerPixel = 0.01;
constexpr int kMinSide = 100;

bool IsIdText(const std::string& id)
{
    if (id.size() < 3 || id.size() > 4)
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

double Round6(double v)
{
    return std::round(v * 1e6) / 1e6;
}

std::string Contains(const std::string& upper, std::initializer_list<const char*> words, const char* region)
{
    for (const char* w : words)
        if (upper.find(w) != std::string::npos)
            return region;
    return {};
}

} // namespace

bool TGeoBox::Valid() const
{
    return std::isfinite(West) && std::isfinite(East) && std::isfinite(South) && std::isfinite(North) && West < East
        && South < North && West >= -360 && East <= 360 && South >= -90 && North <= 90;
}

std::string WmsIcao(const std::string& state, const std::string& siteId)
{
    const std::string id = UpperCase(Trim(siteId));
    if (!IsIdText(id))
        return {};
    if (id.size() == 4)
        return id;
    const std::string st = UpperCase(Trim(state));
    if (st == "GU")
        return "PGUA";
    if (st == "PR")
        return "TJUA";
    if (st == "AK" || st == "HI")
        return "P" + id;
    return "K" + id;
}

std::string WmsSiteSuffix(const std::string& code)
{
    const std::string u = UpperCase(Trim(code));
    for (const TSuffix& s : kSiteSuffixes)
        if (u == s.Code)
            return s.Suffix;
    return {};
}

bool WmsTdwrProduct(const std::string& code)
{
    const std::string u = UpperCase(Trim(code));
    return u == "TZL" || u == "TV0";
}

std::string WmsCompositeLayer(const std::string& radarLine, const std::string& code)
{
    const std::string u = UpperCase(radarLine);
    std::string region = Contains(u, {"ALASKA", "!!AK"}, "alaska");
    if (region.empty())
        region = Contains(u, {"HAWAII", "!!HI"}, "hawaii");
    if (region.empty())
        region = Contains(u, {"CARIB", "PUERTO", "!!PR"}, "carib");
    if (region.empty())
        region = Contains(u, {"GUAM", "!!GU"}, "guam");
    if (region.empty())
        region = "conus";
    return region + (UpperCase(Trim(code)) == "NCR" ? "_cref_qcd" : "_bref_qcd");
}

std::string WmsLayerAddress(const std::string& base, const std::string& radarLine, const std::string& siteId,
                            const std::string& code)
{
    if (StartsWith(radarLine, "!!")) {
        const std::string layer = WmsCompositeLayer(radarLine, code);
        return base + layer.substr(0, layer.find('_')) + "/" + layer + "/ows";
    }
    const std::string suffix = WmsSiteSuffix(code);
    if (suffix.empty())
        return {};
    std::string workspace;
    if (WmsTdwrProduct(code)) {
        // TDWR ids are the airport's three letters; the service prefixes a "t".
        const std::string id = UpperCase(Trim(siteId));
        if (id.size() == 4 && id[0] == 'T')
            workspace = LowerCase(id);
        else if (id.size() == 3 && IsIdText(id))
            workspace = "t" + LowerCase(id);
    } else {
        workspace = LowerCase(WmsIcao(GetField(radarLine, 1, ','), siteId));
    }
    if (workspace.empty())
        return {};
    const std::string layer = workspace + "_" + suffix;
    return base + workspace + "/" + layer + "/ows";
}

std::string WmsLayerOf(const std::string& layerAddress)
{
    if (!EndsWith(layerAddress, "/ows"))
        return {};
    const std::string path = layerAddress.substr(0, layerAddress.size() - 4);
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

std::string WmsCapabilitiesURL(const std::string& layerAddress)
{
    return layerAddress + "?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetCapabilities";
}

std::string WmsGetMapURL(const std::string& layerAddress, const TGeoBox& box, int width, int height,
                         const std::string& time)
{
    // Version 1.1.1 with EPSG:4326 takes the box in longitude, latitude order (1.3.0 swaps it).
    return layerAddress + "?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap&LAYERS=" + WmsLayerOf(layerAddress)
        + "&STYLES=&SRS=EPSG:4326&BBOX=" + WmsNumber(box.West) + "," + WmsNumber(box.South) + ","
        + WmsNumber(box.East) + "," + WmsNumber(box.North) + "&WIDTH=" + std::to_string(width)
        + "&HEIGHT=" + std::to_string(height) + "&FORMAT=image/png&TRANSPARENT=TRUE&TIME=" + time;
}

std::string WmsLegendURL(const std::string& layerAddress)
{
    return layerAddress + "?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetLegendGraphic&LAYER=" + WmsLayerOf(layerAddress)
        + "&FORMAT=image/png";
}

TGeoBox WmsSiteBox(const TGeoBox& b)
{
    const double cx = (b.West + b.East) / 2, cy = (b.South + b.North) / 2;
    const double half = std::max(b.East - b.West, b.North - b.South) / 2;
    return {Round6(cx - half), Round6(cy - half), Round6(cx + half), Round6(cy + half)};
}

TGeoBox WmsCompositeBox(const TGeoBox& b)
{
    return {Round6(b.West), Round6(b.South), Round6(b.East), Round6(b.North)};
}

void WmsImageSize(const TGeoBox& box, bool mosaic, int& width, int& height)
{
    if (!mosaic) {
        width = height = kWmsSiteSide;
        return;
    }
    const auto side = [](double degrees) {
        const double px = std::round(degrees / kCompositeDegreesPerPixel);
        return (int)std::clamp(px, (double)kMinSide, (double)kWmsMaxSide);
    };
    width = side(box.East - box.West);
    height = side(box.North - box.South);
}

std::string WmsWorldFile(const TGeoBox& box, int width, int height)
{
    const double dx = (box.East - box.West) / width, dy = (box.North - box.South) / height;
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.12f\r\n0.0\r\n0.0\r\n%.12f\r\n%.12f\r\n%.12f\r\n", dx, -dy, box.West + dx / 2,
                  box.North - dy / 2);
    return buf;
}

std::string WmsNumber(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", Round6(value));
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

} // namespace sf
